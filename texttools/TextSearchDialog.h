#pragma once
// The text search dialog: colours every occurrence of a string in the plan
// pane, in a colour of the user's choice, and closes. Every opening starts
// with "FULL" in red; nothing survives a closing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class RichTextBox;

class frmSeach : public QDialog {
    Q_OBJECT
public:
    // `target` is the plan pane searched; the dialog is centred over
    // `mainWindow` and is modal to it.
    frmSeach(RichTextBox& target, QWidget* mainWindow);
    ~frmSeach() override;

    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label1 = nullptr;  // the colour swatch
    QPushButton* Command1 = nullptr;

    // The display colour: the swatch's background as a colour reference
    // (0x00BBGGRR; 255 is red).
    unsigned displayColor() const { return m_color; }

    void Text1_GotFocus();
    void Label1_Click();
    void Command1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    void setSwatchColor(unsigned colorRef);

    RichTextBox& m_target;
    QWidget* m_main;
    unsigned m_color = 255;
};

namespace texttools {

// Puts the plan pane back as the last analysis left it, from the hidden
// snapshot box; every highlight added by searches since then is gone. An
// empty snapshot empties the pane.
void ClearHighlight(RichTextBox& txtResults, const RichTextBox& snapshot);

}  // namespace texttools
