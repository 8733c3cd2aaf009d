#pragma once
// A pseudo-terminal for the console tests: the test plays the user at the
// master side; the code under test gets the slave as its terminal.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>
#include <QByteArray>
#include <QString>

class Pty {
public:
    Pty() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0)
            m_slaveName = QByteArray(name);
    }
    ~Pty() {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    int master() const { return m_master; }
    int slave() const { return m_slave; }
    const QByteArray& slaveName() const { return m_slaveName; }

    // Types `text` as the user would.
    void type(const QByteArray& text) const {
        const ssize_t written = ::write(m_master, text.constData(), text.size());
        (void)written;
    }

    // What the terminal has shown so far, read until it holds `needle` or
    // until nothing more arrives within `timeoutMs`.
    QByteArray readUntil(const QByteArray& needle, int timeoutMs = 10000) {
        while (!m_shown.contains(needle)) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN))
                break;
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_shown.append(buffer, n);
        }
        return m_shown;
    }

    // Everything shown, after reading what has arrived without waiting.
    QByteArray shown() {
        readUntil(QByteArray("\x01never\x02"), 0);
        return m_shown;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_slaveName;
    QByteArray m_shown;
};
