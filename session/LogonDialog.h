#pragma once
// The logon dialog: user ID, password and host string; opens the database
// and reports a refused logon while staying open for another try. Shown
// modally by the connect command, which reads the outcome from LogonOK,
// LogonUser and LogonHost afterwards. A fresh dialog is made for every
// opening, so the fields always start empty.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class fdlgOraLogon : public QDialog {
    Q_OBJECT
public:
    // `main` is the main window the dialog is centred on.
    explicit fdlgOraLogon(QWidget* main = nullptr);
    ~fdlgOraLogon() override;

    QLabel* lblUsrID = nullptr;
    QLineEdit* txtUsrID = nullptr;
    QLabel* lblPasswd[2] = {nullptr, nullptr};
    QLineEdit* txtPasswd = nullptr;
    QLineEdit* txtHost = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* lblMessage = nullptr;

    void cmdOk_Click();
    void cmdCancel_Click();

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    void txtUsrID_KeyDown(int key);
    void txtPasswd_KeyDown(int key);
    void txtHost_KeyDown(int key);
    void GotFocus(QLineEdit* field);

    bool m_loaded = false;
    bool m_unloading = false;
};
