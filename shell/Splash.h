#pragma once
// The splash window and the program's only entry point. It refuses to run
// beside another copy of the program, shows the splash picture for a
// moment, then opens the main window and closes itself.

#include <QPixmap>
#include <QWidget>
#include <functional>

class QLabel;
class QTimer;

class FrmStart : public QWidget {
    Q_OBJECT
public:
    explicit FrmStart(QWidget* parent = nullptr);
    ~FrmStart() override;

    // Centres the splash, checks for another running copy and either
    // refuses (message, splash closed, returns false) or starts the timer
    // and shows the splash (returns true).
    bool Form_Load();
    // The hand-over to the main window; acts on the first tick only.
    void Timer1_Timer();

    QLabel* Picture1 = nullptr;
    QTimer* Timer1 = nullptr;

    // True when another copy of the program runs. By default it takes the
    // per-user lock, which this process then holds until it ends.
    using InstanceCheck = std::function<bool()>;
    void setInstanceCheck(InstanceCheck check) { m_anotherCopyRunning = std::move(check); }
    // Opens the main window and returns when its start-up has finished
    // (logon included). By default it creates and loads the main window.
    using MainWindowStarter = std::function<void()>;
    void setMainWindowStarter(MainWindowStarter starter) { m_startMainWindow = std::move(starter); }

    // The splash picture: product name and version on a dark red-brown
    // ground, 400 x 250 pixels.
    static QPixmap splashArtwork();

private:
    InstanceCheck m_anotherCopyRunning;
    MainWindowStarter m_startMainWindow;
    bool m_handedOver = false;
};
