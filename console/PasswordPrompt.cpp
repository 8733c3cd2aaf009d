#include "PasswordPrompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <string>

namespace console {

namespace {

// The terminal whose echo is off, for the signal handler to switch it back on.
int g_quietFd = -1;
termios g_saved{};

const int kRestoringSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};

extern "C" void restoreTerminalAndRedeliver(int signal) {
    if (g_quietFd >= 0)
        tcsetattr(g_quietFd, TCSAFLUSH, &g_saved);
    // The original disposition ends the program as the signal would have.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

// Echo off for one line, with the signals that end the program switching it
// back on first; the destructor undoes both.
class QuietTerminal {
public:
    QuietTerminal(int fd, const termios& saved) : m_fd(fd) {
        g_saved = saved;
        g_quietFd = fd;
        struct sigaction restore {};
        restore.sa_handler = restoreTerminalAndRedeliver;
        sigemptyset(&restore.sa_mask);
        for (size_t i = 0; i < std::size(kRestoringSignals); ++i)
            sigaction(kRestoringSignals[i], &restore, &m_previous[i]);
        termios quiet = saved;
        // ECHONL still shows the Enter, so the next output starts on a new line.
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL | ICANON;
        // TCSAFLUSH: anything typed before the prompt, which was echoed, is dropped.
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ~QuietTerminal() {
        tcsetattr(m_fd, TCSAFLUSH, &g_saved);
        g_quietFd = -1;
        for (size_t i = 0; i < std::size(kRestoringSignals); ++i)
            sigaction(kRestoringSignals[i], &m_previous[i], nullptr);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;

private:
    int m_fd;
    struct sigaction m_previous[std::size(kRestoringSignals)]{};
};

}  // namespace

PasswordAnswer readPassword(int fd, const QString& prompt) {
    PasswordAnswer answer;
    termios saved{};
    if (fd < 0 || tcgetattr(fd, &saved) != 0)
        return answer;

    std::string line;
    bool ended = false;  // a newline arrived
    {
        const QuietTerminal quiet(fd, saved);
        writeAll(fd, prompt.toLocal8Bit());
        char c = 0;
        for (;;) {
            const ssize_t n = ::read(fd, &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (c == '\n') {
                ended = true;
                break;
            }
            line.push_back(c);
        }
    }
    if (!ended && line.empty()) {
        // End of input at once (Ctrl+D): the user gave no password.
        writeAll(fd, QByteArrayLiteral("\n"));
        answer.status = PasswordAnswer::Status::Cancelled;
        return answer;
    }
    answer.status = PasswordAnswer::Status::Given;
    answer.password = QString::fromLocal8Bit(line);
    return answer;
}

PasswordAnswer askPassword(const QString& prompt) {
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    const PasswordAnswer answer = readPassword(fd, prompt);
    ::close(fd);
    return answer;
}

bool askMissingPassword(Logon& logon, QTextStream& err) {
    if (logon.passwordGiven)
        return true;
    const PasswordAnswer answer = askPassword(QStringLiteral("Enter password: "));
    switch (answer.status) {
        case PasswordAnswer::Status::Given:
            logon.password = answer.password;
            logon.passwordGiven = true;
            return true;
        case PasswordAnswer::Status::Cancelled:
            err << "quorvel-sql: no password given\n";
            return false;
        case PasswordAnswer::Status::NoTerminal:
            break;
    }
    err << "quorvel-sql: no terminal to ask for the password on; "
           "give it as user/password@host\n";
    return false;
}

}  // namespace console
