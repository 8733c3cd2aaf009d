#pragma once
// The about box: the product logo, name and version. Modal, centred over
// the main window; it zooms open from the pointer and shut towards it.

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmVersion : public QDialog {
    Q_OBJECT
public:
    explicit frmVersion(QWidget* main);

    // Centres the box over the main window and draws the opening zoom.
    void Form_Load();

    // The text of Text1, every line ended by CR LF.
    static QString aboutText();

    QLabel* Picture1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

    void done(int result) override;

private:
    void Command1_Click();
    void Form_QueryUnload();

    QWidget* m_main = nullptr;
    bool m_unloaded = false;
};
