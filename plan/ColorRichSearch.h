#pragma once
// The highlighter: colours every occurrence of a search text in a rich text
// box and makes it bold.

#include <QString>

class RichTextBox;

namespace ColorRichSearch {

// Searches `box` from `start` for `what` (case-insensitive substring),
// colours each occurrence with `colorText` (decimal colour reference) and
// sets it bold, stepping by the length of the search text (at least one),
// so that every non-overlapping occurrence is marked. Leaves the caret at
// the end of the text; gives the box the focus only when the scan passes
// the end. Returns the number of occurrences coloured.
qint32 ColorAllMatches(RichTextBox& box, const QString& what, const QString& colorText,
                       qint32 start);

}  // namespace ColorRichSearch
