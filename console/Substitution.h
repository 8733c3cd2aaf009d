#pragma once
// SQL*Plus substitution variables: `&name` and `&&name` in a statement or a
// command are replaced by the variable's value before it runs.
//
// As SQL*Plus does it: names are letters, digits, "_", "$" and "#" (case does
// not matter); a "." right after the name (the CONCAT character) ends it and
// is dropped; "&" before anything else stays as it is; `&&name` keeps a value
// it was given for the rest of the session; SET DEFINE OFF (or SET SCAN OFF)
// stops all substitution and SET DEFINE c changes the prefix; SET ESCAPE c
// makes "c&" a plain "&". Quoted text is substituted too. Comments inside a
// statement are left alone, since a value there changes nothing.

#include <QChar>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace console {

class Substitution {
public:
    // Asks for the value of an undefined variable; nothing when there is no
    // one to ask.
    using Ask = std::function<std::optional<QString>(const QString& name)>;

    void define(const QString& name, const QString& value);
    bool undefine(const QString& name);
    std::optional<QString> value(const QString& name) const;
    // Every variable, by upper-case name.
    const QMap<QString, QString>& variables() const { return m_values; }

    // SET DEFINE ON|OFF|c (and SET SCAN ON|OFF): false for a value it does
    // not take. The same for CONCAT and ESCAPE.
    bool setDefine(const QString& value);
    bool setConcat(const QString& value);
    bool setEscape(const QString& value);

    struct Result {
        QString text;
        QStringList undefined;  // names that had no value and got none
    };
    // Substitutes `text` (a statement when `sql` is true: comments inside it
    // are skipped). `ask` may be empty.
    Result substitute(const QString& text, bool sql, const Ask& ask = {});

private:
    QMap<QString, QString> m_values;
    QChar m_prefix = QLatin1Char('&');
    bool m_enabled = true;
    QChar m_concat = QLatin1Char('.');
    QChar m_escape;  // none unless SET ESCAPE
};

}  // namespace console
