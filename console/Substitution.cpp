#include "Substitution.h"

namespace console {

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c == QLatin1Char('#');
}

// ON, OFF or one character that is not alphanumeric or blank. Returns false
// for anything else; `on` and `character` tell which.
bool readSwitch(const QString& value, bool& on, QChar& character, QChar byDefault) {
    const QString upper = value.trimmed().toUpper();
    if (upper == QLatin1String("ON")) {
        on = true;
        character = byDefault;
        return true;
    }
    if (upper == QLatin1String("OFF")) {
        on = false;
        return true;
    }
    QString text = value.trimmed();
    if (text.size() == 3 &&
        (text.front() == QLatin1Char('\'') || text.front() == QLatin1Char('"')) &&
        text.back() == text.front())
        text = text.mid(1, 1);
    if (text.size() != 1 || text.front().isLetterOrNumber() || text.front().isSpace())
        return false;
    on = true;
    character = text.front();
    return true;
}

}  // namespace

void Substitution::define(const QString& name, const QString& value) {
    m_values.insert(name.toUpper(), value);
}

bool Substitution::undefine(const QString& name) {
    return m_values.remove(name.toUpper()) > 0;
}

std::optional<QString> Substitution::value(const QString& name) const {
    const auto found = m_values.constFind(name.toUpper());
    if (found == m_values.constEnd())
        return std::nullopt;
    return *found;
}

bool Substitution::setDefine(const QString& value) {
    return readSwitch(value, m_enabled, m_prefix, QLatin1Char('&'));
}

bool Substitution::setConcat(const QString& value) {
    bool on = true;
    QChar character = m_concat;
    if (!readSwitch(value, on, character, QLatin1Char('.')))
        return false;
    m_concat = on ? character : QChar();
    return true;
}

bool Substitution::setEscape(const QString& value) {
    bool on = true;
    QChar character = m_escape;
    if (!readSwitch(value, on, character, QLatin1Char('\\')))
        return false;
    m_escape = on ? character : QChar();
    return true;
}

Substitution::Result Substitution::substitute(const QString& text, bool sql, const Ask& ask) {
    Result result;
    if (!m_enabled) {
        result.text = text;
        return result;
    }
    result.text.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool inText = false;  // inside '...' of a statement, where "--" is no comment
    while (i < n) {
        const QChar c = text.at(i);
        if (sql && c == QLatin1Char('\''))
            inText = !inText;
        if (sql && !inText && c == QLatin1Char('-') && i + 1 < n &&
            text.at(i + 1) == QLatin1Char('-')) {
            const qsizetype eol = text.indexOf(QLatin1Char('\n'), i);
            const qsizetype end = eol < 0 ? n : eol;
            result.text += text.mid(i, end - i);
            i = end;
            continue;
        }
        if (sql && !inText && c == QLatin1Char('/') && i + 1 < n &&
            text.at(i + 1) == QLatin1Char('*')) {
            const qsizetype close = text.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype end = close < 0 ? n : close + 2;
            result.text += text.mid(i, end - i);
            i = end;
            continue;
        }
        if (!m_escape.isNull() && c == m_escape && i + 1 < n && text.at(i + 1) == m_prefix) {
            result.text += m_prefix;
            i += 2;
            continue;
        }
        if (c != m_prefix) {
            result.text += c;
            ++i;
            continue;
        }
        const bool keep = i + 1 < n && text.at(i + 1) == m_prefix;
        qsizetype start = i + (keep ? 2 : 1);
        qsizetype end = start;
        while (end < n && isNameChar(text.at(end)))
            ++end;
        if (end == start) {
            // "&" before a blank or punctuation is not a variable.
            result.text += text.mid(i, start - i);
            i = start;
            continue;
        }
        const QString name = text.mid(start, end - start);
        if (!m_concat.isNull() && end < n && text.at(end) == m_concat)
            ++end;
        std::optional<QString> found = value(name);
        if (!found && ask) {
            found = ask(name);
            if (found && keep)
                define(name, *found);
        }
        if (found) {
            result.text += *found;
        } else {
            if (!result.undefined.contains(name.toUpper()))
                result.undefined.append(name.toUpper());
            result.text += text.mid(i, end - i);
        }
        i = end;
    }
    return result;
}

}  // namespace console
