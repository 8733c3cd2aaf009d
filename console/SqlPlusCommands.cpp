#include "SqlPlusCommands.h"

#include <array>

namespace console {

namespace {

struct CommandName {
    const char* name;
    int shortest;  // the shortest abbreviation SQL*Plus accepts
    Command command;
};

// SQL*Plus's command list with its documented abbreviations.
constexpr std::array kCommands{
    CommandName{"REMARK", 3, Command::Remark},
    CommandName{"PROMPT", 3, Command::Prompt},
    CommandName{"SET", 3, Command::Set},
    CommandName{"SHOW", 3, Command::Show},
    CommandName{"SPOOL", 3, Command::Spool},
    CommandName{"DEFINE", 3, Command::Define},
    CommandName{"UNDEFINE", 5, Command::Undefine},
    CommandName{"WHENEVER", 8, Command::Whenever},
    CommandName{"EXIT", 4, Command::Exit},
    CommandName{"QUIT", 4, Command::Exit},
    CommandName{"CONNECT", 4, Command::Connect},
    CommandName{"DISCONNECT", 4, Command::Disconnect},
    CommandName{"START", 3, Command::Start},
    CommandName{"RUN", 1, Command::Run},
    CommandName{"EXECUTE", 4, Command::Execute},
    CommandName{"ACCEPT", 3, Command::Accept},
    CommandName{"COLUMN", 3, Command::Formatting},
    CommandName{"BREAK", 3, Command::Formatting},
    CommandName{"BTITLE", 3, Command::Formatting},
    CommandName{"TTITLE", 3, Command::Formatting},
    CommandName{"CLEAR", 2, Command::Formatting},
    CommandName{"COMPUTE", 4, Command::Formatting},
    CommandName{"REPHEADER", 4, Command::Formatting},
    CommandName{"REPFOOTER", 4, Command::Formatting},
    CommandName{"TIMING", 4, Command::Formatting},
    CommandName{"PAUSE", 3, Command::Formatting},
    CommandName{"ATTRIBUTE", 4, Command::Formatting},
    CommandName{"DESCRIBE", 4, Command::Describe},
    CommandName{"HOST", 2, Command::Other},
    CommandName{"APPEND", 1, Command::Other},
    CommandName{"CHANGE", 1, Command::Other},
    CommandName{"DEL", 3, Command::Other},
    CommandName{"EDIT", 2, Command::Other},
    CommandName{"INPUT", 1, Command::Other},
    CommandName{"LIST", 1, Command::Other},
    CommandName{"GET", 3, Command::Other},
    CommandName{"SAVE", 3, Command::Other},
    CommandName{"STORE", 5, Command::Other},
    CommandName{"VARIABLE", 3, Command::Other},
    CommandName{"PRINT", 3, Command::Other},
    CommandName{"PASSWORD", 5, Command::Other},
    CommandName{"HELP", 4, Command::Other},
    CommandName{"COPY", 4, Command::Other},
    CommandName{"STARTUP", 7, Command::Other},
    CommandName{"SHUTDOWN", 8, Command::Other},
    CommandName{"RECOVER", 7, Command::Other},
    CommandName{"ARCHIVE", 7, Command::Other},
    CommandName{"XQUERY", 6, Command::Other},
    CommandName{"HISTORY", 4, Command::Other},
};

QString firstLineWord(const QString& line) {
    qsizetype end = 0;
    while (end < line.size() && !line.at(end).isSpace() && line.at(end) != QLatin1Char(';'))
        ++end;
    return line.left(end);
}

}  // namespace

bool abbreviates(const QString& word, const char* name, int shortest) {
    const QString full = QString::fromLatin1(name);
    return word.size() >= shortest && word.size() <= full.size() &&
           full.startsWith(word, Qt::CaseInsensitive);
}

std::optional<Command> commandOf(const QString& line) {
    if (line.startsWith(QLatin1Char('@')))
        return Command::Start;
    if (line.startsWith(QLatin1Char('!')) || line.startsWith(QLatin1Char('$')))
        return Command::Other;  // HOST
    const QString word = firstLineWord(line);
    if (word.isEmpty())
        return std::nullopt;
    for (const CommandName& name : kCommands) {
        if (!abbreviates(word, name.name, name.shortest))
            continue;
        if (name.command == Command::Set) {
            const QStringList words = commandWords(line);
            const QString option = words.size() > 1 ? words.at(1).toUpper() : QString();
            if (option == QLatin1String("TRANSACTION") || option == QLatin1String("ROLE") ||
                option == QLatin1String("CONSTRAINT") || option == QLatin1String("CONSTRAINTS"))
                return std::nullopt;
        }
        return name.command;
    }
    return std::nullopt;
}

QStringList commandWords(const QString& text) {
    QStringList words;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && text.at(i).isSpace())
            ++i;
        if (i >= text.size())
            break;
        const QChar c = text.at(i);
        QString word;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            ++i;
            while (i < text.size()) {
                if (text.at(i) == c) {
                    if (i + 1 < text.size() && text.at(i + 1) == c) {
                        word += c;  // a doubled quote stands for itself
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word += text.at(i++);
            }
        } else {
            while (i < text.size() && !text.at(i).isSpace())
                word += text.at(i++);
        }
        words.append(word);
    }
    return words;
}

QString commandArgument(const QString& line) {
    QString trimmed = line.trimmed();
    qsizetype start = 0;
    if (trimmed.startsWith(QLatin1String("@@")))
        start = 2;
    else if (trimmed.startsWith(QLatin1Char('@')) || trimmed.startsWith(QLatin1Char('!')) ||
             trimmed.startsWith(QLatin1Char('$')))
        start = 1;
    else
        start = firstLineWord(trimmed).size();
    QString argument = trimmed.mid(start).trimmed();
    if (argument.endsWith(QLatin1Char(';')))
        argument.chop(1);
    return argument.trimmed();
}

}  // namespace console
