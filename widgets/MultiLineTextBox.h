#pragma once
// A multi-line text box whose text joins its lines with CR LF, both ways.

#include <QPlainTextEdit>
#include <QString>

class MultiLineTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineTextBox(QWidget* parent = nullptr);
    QString Text() const;
    void setText(const QString& text);
};
