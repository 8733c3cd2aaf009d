#include "ScriptReader.h"

#include "SqlPlusCommands.h"

namespace console {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c == QLatin1Char('#');
}

// The closing delimiter of q'<open>...<close>'.
QChar qClosing(QChar open) {
    switch (open.unicode()) {
        case '[':
            return QLatin1Char(']');
        case '{':
            return QLatin1Char('}');
        case '<':
            return QLatin1Char('>');
        case '(':
            return QLatin1Char(')');
        default:
            return open;
    }
}

// A line that ends with " -" continues an SQL*Plus command on the next line.
bool continuesCommand(const QString& line) {
    const QString trimmed = line.trimmed();
    return trimmed.size() >= 2 && trimmed.endsWith(QLatin1Char('-')) &&
           trimmed.at(trimmed.size() - 2).isSpace();
}

}  // namespace

// One character of a literal, quoted name or comment at `i`: moves past it
// and ends the quote where it closes; `end` follows a closed literal.
void ScriptReader::scanQuoted(const QString& line, qsizetype& i, qsizetype& end) {
    const QChar c = line.at(i);
    switch (m_quote) {
        case Quote::BlockComment:
            if (c == QLatin1Char('*') && i + 1 < line.size() &&
                line.at(i + 1) == QLatin1Char('/')) {
                m_quote = Quote::None;
                ++i;
            }
            ++i;
            return;
        case Quote::Single:
            if (c == QLatin1Char('\'')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('\'')) {
                    i += 2;
                    return;
                }
                m_quote = Quote::None;
                end = i + 1;
                m_lastWasTerminator = false;
            }
            ++i;
            return;
        case Quote::QQuote:
            if (c == m_qClose && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('\'')) {
                m_quote = Quote::None;
                ++i;
                end = i + 1;
                m_lastWasTerminator = false;
            }
            ++i;
            return;
        case Quote::Double:
            if (c == QLatin1Char('"')) {
                m_quote = Quote::None;
                end = i + 1;
                m_lastWasTerminator = false;
            }
            ++i;
            return;
        case Quote::None:
            return;
    }
}

qsizetype ScriptReader::scan(const QString& line, qsizetype from) {
    qsizetype end = 0;
    m_lastWasTerminator = false;
    QString lastWord;
    qsizetype lastWordEnd = -1;
    qsizetype i = from;
    while (i < line.size()) {
        const QChar c = line.at(i);
        if (m_quote != Quote::None) {
            scanQuoted(line, i, end);
            continue;
        }
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const QChar next = i + 1 < line.size() ? line.at(i + 1) : QChar();
        if (c == QLatin1Char('-') && next == QLatin1Char('-'))
            break;  // the rest of the line is a comment
        if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            m_quote = Quote::BlockComment;
            i += 2;
            continue;
        }
        end = i + 1;
        m_lastWasTerminator = !m_sqlTerminator.isNull() && c == m_sqlTerminator;
        if (c == QLatin1Char('\'')) {
            const QString prefix = lastWordEnd == i ? lastWord.toUpper() : QString();
            if ((prefix == QLatin1String("Q") || prefix == QLatin1String("NQ")) &&
                i + 1 < line.size()) {
                m_quote = Quote::QQuote;
                m_qClose = qClosing(line.at(i + 1));
                i += 2;
            } else {
                m_quote = Quote::Single;
                ++i;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            m_quote = Quote::Double;
            ++i;
            continue;
        }
        if (isWordChar(c)) {
            const qsizetype start = i;
            while (i < line.size() && isWordChar(line.at(i)))
                ++i;
            lastWord = line.mid(start, i - start);
            lastWordEnd = i;
            noteWord(lastWord);
            end = i;
            continue;
        }
        ++i;
    }
    return end;
}

void ScriptReader::noteWord(const QString& word) {
    if (m_firstWords.size() < 4)
        m_firstWords.append(word.toUpper());
}

bool ScriptReader::isBlock() const {
    if (m_firstWords.isEmpty())
        return false;
    const QString& first = m_firstWords.front();
    if (first == QLatin1String("BEGIN") || first == QLatin1String("DECLARE"))
        return true;
    qsizetype at = 1;
    auto word = [&](qsizetype i) {
        return i < m_firstWords.size() ? m_firstWords.at(i) : QString();
    };
    if (first == QLatin1String("WITH")) {
        return word(1) == QLatin1String("FUNCTION") || word(1) == QLatin1String("PROCEDURE");
    }
    if (first != QLatin1String("CREATE"))
        return false;
    if (word(at) == QLatin1String("OR") && word(at + 1) == QLatin1String("REPLACE"))
        at += 2;
    if (word(at) == QLatin1String("EDITIONABLE") || word(at) == QLatin1String("NONEDITIONABLE"))
        ++at;
    static const QStringList kinds{QStringLiteral("FUNCTION"), QStringLiteral("PROCEDURE"),
                                   QStringLiteral("PACKAGE"),  QStringLiteral("TRIGGER"),
                                   QStringLiteral("TYPE"),     QStringLiteral("LIBRARY"),
                                   QStringLiteral("JAVA")};
    return kinds.contains(word(at));
}

std::optional<ScriptItem> ScriptReader::take(ScriptItem::Kind kind) {
    ScriptItem item;
    item.kind = kind;
    item.text = m_lines.join(QLatin1Char('\n')).trimmed();
    item.line = m_startLine;
    m_lines.clear();
    m_firstWords.clear();
    m_quote = Quote::None;
    if (item.text.isEmpty())
        return std::nullopt;
    return item;
}

std::optional<ScriptItem> ScriptReader::commandLine(const QString& line) {
    if (m_command.isEmpty())
        m_commandLine = m_lineNumber;
    const bool remark = commandOf(line.trimmed()) == Command::Remark && m_command.isEmpty();
    // A REMARK is never continued: its next line may well be a statement.
    if (!remark && continuesCommand(line)) {
        QString part = line.trimmed();
        part.chop(1);
        m_command += part;
        return std::nullopt;
    }
    ScriptItem item;
    item.kind = ScriptItem::Kind::Command;
    item.text = (m_command + line.trimmed()).trimmed();
    item.line = m_commandLine;
    m_command.clear();
    return item;
}

std::optional<ScriptItem> ScriptReader::addLine(const QString& input) {
    ++m_lineNumber;
    if (!m_command.isEmpty())
        return commandLine(input);

    QString line = input;
    if (m_lines.isEmpty()) {
        if (m_skippingComment) {
            const qsizetype close = line.indexOf(QLatin1String("*/"));
            if (close < 0)
                return std::nullopt;
            m_skippingComment = false;
            // Whatever follows the comment on its last line starts afresh.
            line = QString(close + 2, QLatin1Char(' ')) + line.mid(close + 2);
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--")))
            return std::nullopt;
        if (trimmed == QLatin1String("/")) {
            ScriptItem item;
            item.kind = ScriptItem::Kind::RunAgain;
            item.line = m_lineNumber;
            return item;
        }
        if (!m_blockTerminator.isNull() && trimmed == QString(m_blockTerminator))
            return std::nullopt;
        if (trimmed.startsWith(QLatin1String("/*"))) {
            // A comment alone between statements is skipped; one that runs on
            // into a statement on the same line stays with it.
            const qsizetype close = trimmed.indexOf(QLatin1String("*/"), 2);
            if (close < 0) {
                m_skippingComment = true;
                return std::nullopt;
            }
            const QString rest = trimmed.mid(close + 2).trimmed();
            if (rest.isEmpty() || rest.startsWith(QLatin1String("--")))
                return std::nullopt;
        } else if (commandOf(trimmed)) {
            return commandLine(line);
        }
        m_startLine = m_lineNumber;
        m_firstWords.clear();
        m_quote = Quote::None;
    }

    const QString trimmed = line.trimmed();
    const bool outsideText = m_quote == Quote::None || m_quote == Quote::BlockComment;
    if (outsideText && trimmed == QLatin1String("/"))
        return take(isBlock() ? ScriptItem::Kind::Block : ScriptItem::Kind::Sql);
    if (outsideText && !m_blockTerminator.isNull() && trimmed == QString(m_blockTerminator))
        return take(ScriptItem::Kind::Buffered);

    const qsizetype end = scan(line);
    if (m_lastWasTerminator && m_quote == Quote::None && !isBlock()) {
        m_lines.append(line.left(end - 1));
        return take(ScriptItem::Kind::Sql);
    }
    m_lines.append(line);
    return std::nullopt;
}

std::optional<ScriptItem> ScriptReader::finish() {
    if (!m_command.isEmpty()) {
        ScriptItem item;
        item.kind = ScriptItem::Kind::Command;
        item.text = m_command.trimmed();
        item.line = m_commandLine;
        m_command.clear();
        return item;
    }
    m_skippingComment = false;
    return take(isBlock() ? ScriptItem::Kind::Block : ScriptItem::Kind::Sql);
}

QString firstWord(const QString& statement) {
    qsizetype i = 0;
    const qsizetype n = statement.size();
    while (i < n) {
        const QChar c = statement.at(i);
        if (c.isSpace() || c == QLatin1Char('(')) {
            ++i;
        } else if (statement.mid(i, 2) == QLatin1String("--")) {
            const qsizetype eol = statement.indexOf(QLatin1Char('\n'), i);
            i = eol < 0 ? n : eol + 1;
        } else if (statement.mid(i, 2) == QLatin1String("/*")) {
            const qsizetype close = statement.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
        } else {
            break;
        }
    }
    qsizetype end = i;
    while (end < n && isWordChar(statement.at(end)))
        ++end;
    return statement.mid(i, end - i).toUpper();
}

bool isQuery(const QString& statement) {
    const QString word = firstWord(statement);
    return word == QLatin1String("SELECT") || word == QLatin1String("WITH");
}

bool isTraceable(const QString& statement) {
    const QString word = firstWord(statement);
    return isQuery(statement) || word == QLatin1String("INSERT") ||
           word == QLatin1String("UPDATE") || word == QLatin1String("DELETE") ||
           word == QLatin1String("MERGE");
}

}  // namespace console
