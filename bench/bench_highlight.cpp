// Marking every FULL in a plan text of about 1 MB holding 10,000 of them,
// against loading the same text into the pane with no marks.
#include "ColorRichSearch.h"
#include "RichTextBox.h"

#include <benchmark/benchmark.h>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextDocument>

namespace {

QString planText() {
    // Plan lines of about 100 characters; every tenth line holds no FULL,
    // so that 10,000 of the lines hold one each.
    QString text;
    int full = 0;
    for (int i = 0; full < 10000 || text.size() < 1'000'000; ++i) {
        const bool withFull = full < 10000 && i % 10 != 9;
        QString line =
            QStringLiteral("%1%2.%3 TABLE ACCESS %4 SALES_HISTORY_%5 TABLE ")
                .arg(QString(2 * (i % 8 + 1), QChar(' ')))
                .arg(i % 8 + 2)
                .arg(i % 5 + 1)
                .arg(withFull ? QStringLiteral("FULL") : QStringLiteral("BY INDEX ROWID"))
                .arg(i, 6, 10, QChar('0'));
        line += QString(100 - line.size() > 0 ? 100 - line.size() : 0, QChar('.'));
        text += line + QStringLiteral("\r\n");
        full += withFull ? 1 : 0;
    }
    return text;
}

// Until the pane is laid out to its end and painted.
void settle(RichTextBox& box) {
    benchmark::DoNotOptimize(box.document()->documentLayout()->documentSize());
    box.viewport()->repaint();
    QCoreApplication::processEvents();
}

const QString& text() {
    static const QString t = planText();
    return t;
}

void BM_LoadPlainText(benchmark::State& state) {
    RichTextBox box;
    box.show();
    for (auto _ : state) {
        box.setText(text());
        settle(box);
    }
    state.counters["chars"] = double(text().size());
}

void BM_ColorAllMatches(benchmark::State& state) {
    RichTextBox box;
    box.show();
    qint32 count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        box.setText(text());
        settle(box);
        state.ResumeTiming();
        count =
            ColorRichSearch::ColorAllMatches(box, QStringLiteral("FULL"), QStringLiteral("255"), 0);
        settle(box);
    }
    state.counters["marked"] = count;
}

}  // namespace

BENCHMARK(BM_LoadPlainText)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ColorAllMatches)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
