#pragma once
// A rich text box: a QTextEdit with the members Quorvel's code works with.
// Positions are character positions of the document, a line break counting
// as one character; Text() gives the plain text with LF line breaks and
// PlainTextCRLF() the same text with CR LF, as the clipboard receives it.

#include "ColorRichSearch.h"

#include <QString>
#include <QTextCursor>
#include <QTextEdit>

class RichTextBox : public QTextEdit, public ColorRichSearch::Box {
    Q_OBJECT
public:
    explicit RichTextBox(QWidget* parent = nullptr);

    QString Text() const override;    // plain text, LF between lines
    void setText(const QString& t);   // replaces the content with plain text
    QString PlainTextCRLF() const;    // plain text, CR LF between lines
    int TextLength() const override;  // characters, a line break counting one

    // Case-insensitive substring search from `start` to the end; the
    // zero-based position of the first occurrence, or -1.
    int Find(const QString& what, int start) const override;

    int SelStart() const;
    void setSelStart(int pos) override;  // caret to pos, nothing selected
    int SelLength() const;
    void setSelLength(int length) override;
    // The colour as decimal text of a colour reference (0x00BBGGRR: "255" is red).
    void setSelColor(const QString& colorText) override;
    void setSelBold(bool bold) override;
    void SetFocus() override;

    // The complete formatted content, for a snapshot that restores the box
    // exactly (text, colours, bold).
    QString TextRTF() const;
    void setTextRTF(const QString& formatted);

    // Many selection and format changes in a row (the highlighter): the
    // selection is kept apart from the caret, the changes form one edit
    // and the document is laid out once, when the last batch ends; then
    // the caret takes the batch's selection. Batches nest.
    void beginBatch() override;
    void endBatch() override;

private:
    QTextCursor selection() const;
    void putSelection(const QTextCursor& c);
    void applyFormat(const QTextCharFormat& f);

    QString m_batchText;  // the plain text while a batch runs
    int m_batch = 0;
    QTextCursor m_batchCursor;
};
