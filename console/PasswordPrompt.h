#pragma once
// Asks for a password on the terminal without showing what is typed.

#include "ConsoleArgs.h"

#include <QString>
#include <QTextStream>

namespace console {

struct PasswordAnswer {
    enum class Status {
        Given,       // `password` holds the line typed (possibly empty)
        NoTerminal,  // there is no terminal to ask on
        Cancelled,   // end of input before a line was entered
    };
    Status status = Status::NoTerminal;
    QString password;
};

// Writes `prompt` to the terminal `fd` and reads one line from it with echo
// off, then puts the terminal back as it was, also when the program is
// interrupted while waiting. An `fd` that is not a terminal gives NoTerminal
// and nothing is read from it.
PasswordAnswer readPassword(int fd, const QString& prompt);

// The same on the process's controlling terminal (/dev/tty), whatever
// standard input is redirected from.
PasswordAnswer askPassword(const QString& prompt);

// Asks on the terminal for the password `logon` left out, as SQL*Plus does.
// False, after a message on `err`, when there is none to be had: no terminal,
// or the input ended at the prompt.
bool askMissingPassword(Logon& logon, QTextStream& err);

}  // namespace console
