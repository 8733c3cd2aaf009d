#include "RichTextBox.h"

#include "ColorRef.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <stdexcept>

RichTextBox::RichTextBox(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
}

QString RichTextBox::Text() const {
    // During a batch only formats change, so the text read when it began
    // still holds; outside one the document is read afresh, whatever way
    // it was changed.
    return m_batch ? m_batchText : toPlainText();
}

void RichTextBox::setText(const QString& t) {
    // Through the document, so that nothing of the old formatting (nor the
    // insertion format left at the caret) carries over to the new text.
    document()->setPlainText(t);
    setCurrentCharFormat(QTextCharFormat());
}

QString RichTextBox::PlainTextCRLF() const {
    QString t = Text();
    t.replace(QChar('\n'), QStringLiteral("\r\n"));
    return t;
}

int RichTextBox::TextLength() const {
    return document()->characterCount() - 1;
}

int RichTextBox::Find(const QString& what, int start) const {
    const QString& text = Text();
    if (start < 0)
        start = 0;
    if (start > text.size())
        return -1;
    return static_cast<int>(text.indexOf(what, start, Qt::CaseInsensitive));
}

QTextCursor RichTextBox::selection() const {
    return m_batch ? m_batchCursor : textCursor();
}

void RichTextBox::putSelection(const QTextCursor& c) {
    if (m_batch)
        m_batchCursor = c;
    else
        setTextCursor(c);
}

int RichTextBox::SelStart() const {
    return selection().selectionStart();
}

void RichTextBox::setSelStart(int pos) {
    QTextCursor c = selection();
    c.setPosition(qBound(0, pos, TextLength()));
    putSelection(c);
}

int RichTextBox::SelLength() const {
    const QTextCursor c = selection();
    return c.selectionEnd() - c.selectionStart();
}

void RichTextBox::setSelLength(int length) {
    QTextCursor c = selection();
    const int start = c.selectionStart();
    c.setPosition(start);
    c.setPosition(qBound(start, start + qMax(0, length), TextLength()), QTextCursor::KeepAnchor);
    putSelection(c);
}

void RichTextBox::setSelColor(const QString& colorText) {
    // The colour arrives as the decimal text of a colour reference; text
    // that is not a number is a type mismatch, as in the window system.
    bool ok = false;
    const qlonglong ref = colorText.trimmed().toLongLong(&ok);
    if (!ok || ref < 0 || ref > 0xFFFFFF)
        throw std::invalid_argument("型が一致しません。");
    QTextCharFormat f;
    f.setForeground(platform::fromColorRef(static_cast<unsigned>(ref)));
    applyFormat(f);
}

void RichTextBox::setSelBold(bool bold) {
    QTextCharFormat f;
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    applyFormat(f);
}

void RichTextBox::applyFormat(const QTextCharFormat& f) {
    QTextCursor c = selection();
    if (c.hasSelection())
        c.mergeCharFormat(f);
    else if (!m_batch)
        mergeCurrentCharFormat(f);  // no selection: the format of what is typed next
}

void RichTextBox::SetFocus() {
    setFocus(Qt::OtherFocusReason);
}

QString RichTextBox::TextRTF() const {
    return toHtml();
}

void RichTextBox::setTextRTF(const QString& formatted) {
    setHtml(formatted);
}

void RichTextBox::beginBatch() {
    if (m_batch++ == 0) {
        m_batchText = toPlainText();
        m_batchCursor = textCursor();
        m_batchCursor.beginEditBlock();
    }
}

void RichTextBox::endBatch() {
    if (m_batch == 0 || --m_batch != 0)
        return;
    m_batchCursor.endEditBlock();
    m_batchText.clear();
    setTextCursor(m_batchCursor);
}
