#pragma once
// The schema browser: lists the tables of the logged-on user and shows the
// primary key columns of one named table. It only reads the data
// dictionary and keeps nothing between openings.

#include "MultiLineTextBox.h"

#include <QDialog>
#include <QString>
#include <functional>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;

class frm_mainkey : public QDialog {
    Q_OBJECT
public:
    // `connectCommand` is the main window's connect command, run by either
    // search when no database is open. The window is centred over
    // `mainWindow` and modal to it.
    frm_mainkey(QWidget* mainWindow, std::function<void()> connectCommand);
    ~frm_mainkey() override;

    // ---- Controls (in the client area below the menu bar)
    QWidget* client = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbTableList = nullptr;
    QPushButton* cmdAllTeble = nullptr;
    QPushButton* cmdMainkey = nullptr;
    QGroupBox* Frame1 = nullptr;
    MultiLineTextBox* Text2 = nullptr;
    QLabel* Label1 = nullptr;

    // ---- Menus
    QMenuBar* menuBar = nullptr;
    QMenu* mnuSearch = nullptr;
    QAction* mnuAllTebleSearch = nullptr;
    QAction* mnuMeinkeySearch = nullptr;
    QAction* mnuExit = nullptr;
    QAction* munE = nullptr;

    void cmdMainkey_Click();
    void cmdAllTeble_Click();
    void mnuMeinkeySearch_Click();
    void mnuAllTebleSearch_Click();
    void mnuExit_Click();
    void munE_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    // True when a database is open; otherwise runs the connect command.
    bool connectedOrLogon();
    void showBusy();
    static void reportFailure(const QString& description);

    QWidget* m_main;
    std::function<void()> m_connect;
};
