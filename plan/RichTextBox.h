#pragma once
// A rich text box: a QTextEdit with the members Quorvel's code works with.
// Positions are character positions of the document, a line break counting
// as one character; Text() gives the plain text with LF line breaks and
// PlainTextCRLF() the same text with CR LF, as the clipboard receives it.

#include <QString>
#include <QTextEdit>

class RichTextBox : public QTextEdit {
    Q_OBJECT
public:
    explicit RichTextBox(QWidget* parent = nullptr);

    QString Text() const;           // plain text, LF between lines
    void setText(const QString& t);  // replaces the content with plain text
    QString PlainTextCRLF() const;  // plain text, CR LF between lines
    int TextLength() const;         // characters, a line break counting one

    // Case-insensitive substring search from `start` to the end; the
    // zero-based position of the first occurrence, or -1.
    int Find(const QString& what, int start) const;

    int SelStart() const;
    void setSelStart(int pos);  // caret to pos, nothing selected
    int SelLength() const;
    void setSelLength(int length);
    // The colour as decimal text of a colour reference (0x00BBGGRR: "255" is red).
    void setSelColor(const QString& colorText);
    void setSelBold(bool bold);
    void SetFocus();

    // The complete formatted content, for a snapshot that restores the box
    // exactly (text, colours, bold).
    QString TextRTF() const;
    void setTextRTF(const QString& formatted);
};
