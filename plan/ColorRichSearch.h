#pragma once
// The highlighter: colours every occurrence of a search text in a rich text
// box and makes it bold.

#include <QString>

namespace ColorRichSearch {

// What the highlighter needs of a rich text box. Positions are character
// positions of its plain text, a line break counting as one character.
class Box {
public:
    virtual ~Box() = default;
    virtual QString Text() const = 0;
    virtual int TextLength() const = 0;
    // Case-insensitive substring search from `start` to the end; the
    // position of the first occurrence, or -1.
    virtual int Find(const QString& what, int start) const = 0;
    virtual void setSelStart(int pos) = 0;  // caret to pos, nothing selected
    virtual void setSelLength(int length) = 0;
    // The colour as the decimal text of a colour reference (255 is red);
    // raises for text that is not one.
    virtual void setSelColor(const QString& colorText) = 0;
    virtual void setSelBold(bool bold) = 0;
    virtual void SetFocus() = 0;
    // Many selection and format changes in a row: a box may gather them
    // into one edit, ended by the last endBatch(). Batches nest.
    virtual void beginBatch() {}
    virtual void endBatch() {}
};

// Searches `box` from `start` for `what` (case-insensitive substring) and
// colours every occurrence with `colorText` (decimal colour reference) and
// bold, overlapping occurrences included: the next search starts one
// character after the start of the latest occurrence. Leaves the caret at
// the end of the text; gives the box the focus only when the scan passes
// the end, which an occurrence ending on the text's end counts as. Returns
// the number of occurrences coloured. Raises what the box raises; marks
// already set stay.
qint32 ColorAllMatches(Box& box, const QString& what, const QString& colorText, qint32 start);

}  // namespace ColorRichSearch
