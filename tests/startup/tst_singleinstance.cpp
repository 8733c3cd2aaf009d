// One copy per user: the lock across processes, a lock left by a killed
// copy, the refusal path of a second start, and the built program itself.
//
// The test program doubles as the other process: started with
// --hold-lock <path> it takes the lock and waits to be killed; started with
// --second-start it runs the splash's start-up as the program does and
// reports what the user would have seen.
#include "MsgBoxRecorder.h"
#include "SingleInstance.h"
#include "Splash.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int holdLock(const QString& path) {
    SingleInstance lock(path);
    std::printf("%s\n", lock.tryAcquire() ? "locked" : "refused");
    std::fflush(stdout);
    // Wait to be killed (or for the parent to close our input).
    char buf[16];
    while (std::fread(buf, 1, sizeof buf, stdin) > 0) {
    }
    return 0;
}

int secondStart(int argc, char** argv) {
    QApplication app(argc, argv);
    MsgBoxRecorder rec;
    int mainWindows = 0;
    auto* splash = new FrmStart;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->setMainWindowStarter([&] { ++mainWindows; });
    const bool started = splash->Form_Load();
    bool anyVisible = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        anyVisible = anyVisible || w->isVisible();
    const AskedBox box = rec.count() ? rec.last() : AskedBox{};
    std::printf("%s|%d|%s|%d|%s|%s\n", started ? "started" : "refused", rec.count(),
                box.prompt.toUtf8().constData(), box.style, box.title.toUtf8().constData(),
                anyVisible ? "window" : "nowindow");
    std::fflush(stdout);
    if (started)
        delete splash;
    return started ? 3 : 0;
}

// A child process of this test program.
class Child {
public:
    Child(const QStringList& args,
          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        m_proc.setProcessEnvironment(env);
        m_proc.start(QCoreApplication::applicationFilePath(), args);
    }
    ~Child() { kill(); }
    QProcess& proc() { return m_proc; }
    QString readLine(int timeoutMs = 10000) {
        while (!m_proc.canReadLine() && m_proc.waitForReadyRead(timeoutMs)) {
        }
        return QString::fromUtf8(m_proc.readLine()).trimmed();
    }
    void kill() {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.kill();
            m_proc.waitForFinished(5000);
        }
    }

private:
    QProcess m_proc;
};

QProcessEnvironment envWithRuntimeDir(const QString& dir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

}  // namespace

class tst_singleinstance : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString lockPath() const { return m_dir.filePath(QStringLiteral("Quorvel.lock")); }

private slots:
    void init() { QFile::remove(lockPath()); }

    void aLiveCopyRefusesAnother() {
        Child first({QStringLiteral("--hold-lock"), lockPath()});
        QCOMPARE(first.readLine(), QStringLiteral("locked"));
        SingleInstance here(lockPath());
        QVERIFY(!here.tryAcquire());
        QVERIFY(!here.holdsLock());
        Child third({QStringLiteral("--hold-lock"), lockPath()});
        QCOMPARE(third.readLine(), QStringLiteral("refused"));
    }

    void aLongRunningCopyStillRefuses() {
        // The first copy has been running for hours: its lock is old, but
        // its owner lives, so it still counts.
        Child first({QStringLiteral("--hold-lock"), lockPath()});
        QCOMPARE(first.readLine(), QStringLiteral("locked"));
        QFile f(lockPath());
        QVERIFY(f.open(QIODevice::ReadWrite));
        const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-3 * 3600);
        QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(QFileInfo(lockPath()).lastModified().secsTo(QDateTime::currentDateTime()) > 3600);
        SingleInstance here(lockPath());
        QVERIFY(!here.tryAcquire());
    }

    void aKilledCopyLeavesNoStuckLock() {
        {
            Child first({QStringLiteral("--hold-lock"), lockPath()});
            QCOMPARE(first.readLine(), QStringLiteral("locked"));
            first.kill();  // no clean-up: the lock file stays behind
        }
        QVERIFY(QFileInfo::exists(lockPath()));
        SingleInstance here(lockPath());
        QVERIFY(here.tryAcquire());
        QVERIFY(here.holdsLock());
    }

    void releasingLetsTheNextCopyStart() {
        SingleInstance a(lockPath());
        QVERIFY(a.tryAcquire());
        QVERIFY(a.tryAcquire());  // asking again keeps it
        SingleInstance b(lockPath());
        QVERIFY(!b.tryAcquire());
        a.release();
        QVERIFY(!QFileInfo::exists(lockPath()));
        QVERIFY(b.tryAcquire());
    }

    void anUnusableLockPlaceDoesNotStopTheProgram() {
        SingleInstance nowhere(QStringLiteral("/nonexistent-dir/for/sure/Quorvel.lock"));
        QVERIFY(nowhere.tryAcquire());
    }

    void theLockIsPerUserInTheRuntimeDirectory() {
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
        const QString path = SingleInstance::defaultLockPath();
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(path, QDir(m_dir.path()).filePath(QStringLiteral("Quorvel.lock")));
    }

    void aSecondStartShowsOnlyTheRefusal() {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QString path = QDir(runtime.path()).filePath(QStringLiteral("Quorvel.lock"));
        Child first({QStringLiteral("--hold-lock"), path});
        QCOMPARE(first.readLine(), QStringLiteral("locked"));

        Child second({QStringLiteral("--second-start")}, envWithRuntimeDir(runtime.path()));
        QCOMPARE(second.readLine(),
                 QStringLiteral("refused|1|このアプリケーションはすでに開かれています。|48|"
                                "APP Load Error|nowindow"));
        QVERIFY(second.proc().waitForFinished(10000));
        QCOMPARE(second.proc().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.proc().exitCode(), 0);

        // Once the first copy is gone, the next start goes ahead.
        first.kill();
        Child third({QStringLiteral("--second-start")}, envWithRuntimeDir(runtime.path()));
        QVERIFY(third.readLine().startsWith(QStringLiteral("started|0|")));
    }

    void theProgramHoldsTheLockWhileItRuns() {
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const QString path = QDir(runtime.path()).filePath(QStringLiteral("Quorvel.lock"));
        QProcess program;
        // Qt reports each window it makes accessible: the logon dialog's
        // line shows that the splash has handed over to the main window.
        QProcessEnvironment env = envWithRuntimeDir(runtime.path());
        env.insert(QStringLiteral("QT_LOGGING_RULES"),
                   QStringLiteral("qt.accessibility.cache=true"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QUORVEL_BINARY), {});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(path), 10000);
        // Past the splash's tick: the program now sits in its logon dialog.
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT(
            (log += program.readAllStandardError()).contains("obj=fdlgOraLogon"), 10000);
        QCOMPARE(program.state(), QProcess::Running);

        SingleInstance here(path);
        QVERIFY(!here.tryAcquire());
        Child second({QStringLiteral("--second-start")}, envWithRuntimeDir(runtime.path()));
        QVERIFY(second.readLine().startsWith(QStringLiteral("refused|1|")));

        program.kill();
        QVERIFY(program.waitForFinished(5000));
        QVERIFY(here.tryAcquire());
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--hold-lock") == 0)
        return holdLock(QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "--second-start") == 0)
        return secondStart(argc, argv);
    QApplication app(argc, argv);
    tst_singleinstance t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_singleinstance.moc"
