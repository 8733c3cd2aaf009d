#include "ColorRichSearch.h"

namespace ColorRichSearch {
namespace {

class Batch {
public:
    explicit Batch(Box& box) : m_box(box) { m_box.beginBatch(); }
    ~Batch() { m_box.endBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    Box& m_box;
};

}  // namespace

qint32 ColorAllMatches(Box& box, const QString& what, const QString& colorText, qint32 start) {
    qint32 count = 0;
    bool passedEnd = false;
    {
        // One edit for all marks: the document is laid out once, at the end.
        Batch batch(box);
        const qint64 length = box.Text().size();
        qint64 p = start;
        while (p <= length) {
            const int found = box.Find(what, static_cast<int>(p));
            if (found < 0)
                break;
            box.setSelStart(found);
            box.setSelLength(static_cast<int>(what.size()));
            box.setSelColor(colorText);
            box.setSelBold(true);
            ++count;
            // One character on: an occurrence that overlaps this one is
            // coloured too, and an empty search text still ends the scan.
            p = found + 1;
            // An occurrence that ends on the text's end leaves nothing to
            // search: the scan has passed the end.
            if (!what.isEmpty() && found + what.size() >= length) {
                p = length + 1;
                break;
            }
        }
        passedEnd = p > length;
        box.setSelStart(box.TextLength());
    }
    if (passedEnd)
        box.SetFocus();
    return count;
}

}  // namespace ColorRichSearch
