// Text tools and schema browser commands of the main window. Each dialog is
// created afresh for every opening, so it always starts in its designed
// state, and is gone when it closes.
#include "ClipboardCommands.h"
#include "MainWindow.h"
#include "RichTextBox.h"
#include "SchemaBrowser.h"
#include "TextSearchDialog.h"

#include <QGuiApplication>

void frmEXPLAIN::mnuStrken_Click() {
    frmSeach dialog(*txtResults, this);
    dialog.exec();
}

void frmEXPLAIN::mnuStrkenD_Click() {
    texttools::ClearHighlight(*txtResults, *RichTextBox1);
}

void frmEXPLAIN::mnuMainkey_Click() {
    frm_mainkey browser(this, [this] { mnuDBLogIn_Click(); });
    browser.exec();
}

void frmEXPLAIN::mnuCBSI_Click() {
    ClipboardCommands::PasteIntoPane(*txtSQL, QGuiApplication::clipboard());
}

void frmEXPLAIN::mnuCBSC_Click() {
    ClipboardCommands::CopyPane(*txtSQL, QGuiApplication::clipboard());
}

void frmEXPLAIN::mnuCBPC_Click() {
    ClipboardCommands::CopyPane(*txtResults, QGuiApplication::clipboard());
}
