// The editor widget over a 1.13-million-line zone file: how long showing a
// new buffer takes up to the first painted screen, and how long a page-down
// takes with the repaint of a screenful of lines never laid out before.
#include "benchsize.h"
#include "document/textbuffer.h"
#include "editor/textview.h"
#include "widgetbenchmain.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

const int kLines = benchsize::pick(1'130'000, 20'000);

QString makeZone()
{
    QString text;
    text.reserve(qsizetype(kLines) * 34);
    text += QStringLiteral("$ORIGIN 예제.한국.\n$TTL 3600\n");
    for (int i = 2; i < kLines; ++i) {
        text += i % 6 == 5 ? QStringLiteral("메일%1\tIN\tCNAME\t메일.예제.한국.").arg(i)
                           : QStringLiteral("호스트%1\tIN\tA\t10.%2.%3.%4")
                                 .arg(i)
                                 .arg(i % 250)
                                 .arg(i / 250 % 250)
                                 .arg(i % 7);
        if (i + 1 < kLines)
            text += QLatin1Char('\n');
    }
    return text;
}

TextBuffer &zone()
{
    static TextBuffer *buffer = [] {
        auto *b = new TextBuffer;
        b->setPlainText(makeZone());
        return b;
    }();
    return *buffer;
}

struct ShownView {
    ShownView()
    {
        QFont font(QStringLiteral("NanumGothicCoding"));
        font.setPixelSize(13);
        view.setFont(font);
        view.resize(1000, 700);
        view.show();
        QCoreApplication::processEvents();
    }
    TextView view;
};

void BM_SetBuffer(benchmark::State &state)
{
    TextBuffer &buffer = zone();
    ShownView shown;
    for (auto _ : state) {
        shown.view.setBuffer(&buffer);
        state.PauseTiming();
        shown.view.setBuffer(nullptr);
        state.ResumeTiming();
    }
    state.counters["lines"] = buffer.lineCount();
}

void BM_SetBufferAndFirstPaint(benchmark::State &state)
{
    TextBuffer &buffer = zone();
    ShownView shown;
    for (auto _ : state) {
        shown.view.setBuffer(&buffer);
        shown.view.viewport()->repaint();
        state.PauseTiming();
        shown.view.setBuffer(nullptr);
        shown.view.viewport()->repaint();
        state.ResumeTiming();
    }
    state.counters["lines"] = buffer.lineCount();
}

void BM_PageDownRepaint(benchmark::State &state)
{
    TextBuffer &buffer = zone();
    ShownView shown;
    shown.view.setBuffer(&buffer);
    shown.view.setFocus();
    shown.view.viewport()->repaint();
    // Far from the start so that every page is new to the layout cache.
    const int start = buffer.lineStart(kLines * 44 / 100);
    shown.view.setTextCursor({start, start});
    shown.view.viewport()->repaint();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(&shown.view, &press);
        shown.view.viewport()->repaint();
    }
    state.counters["lines_per_page"] = shown.view.verticalScrollBar()->pageStep();
    shown.view.setBuffer(nullptr);
}

BENCHMARK(BM_SetBuffer)->Iterations(benchsize::pick(20, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetBufferAndFirstPaint)->Iterations(benchsize::pick(20, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageDownRepaint)->Iterations(benchsize::pick(100, 5))->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
