// The editor widget on one very long line (a dump, a minified config, a
// long DKIM record): showing an 8,000,000-character line up to its first
// painted screen, and each keystroke on a 5,000,000-character line with the
// repaint it causes: typing in the middle, Left, Home and End, a click.
#include "benchsize.h"
#include "document/textbuffer.h"
#include "editor/namehighlighter.h"
#include "editor/textview.h"
#include "widgetbenchmain.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

// A base64 key record repeated, with a Hangul name now and then, as a long
// TXT record or a minified configuration carries them.
QString longLine(int length)
{
    const QString unit
        = QStringLiteral("MIIBIjANBgkqhkiG9w0BAQEFAAOCAQ8AMIIBCgKCAQEA 예제.한국 v=spf1 include:");
    QString text;
    text.reserve(length);
    while (text.size() < length)
        text += unit;
    text.truncate(length);
    return text;
}

struct LongLineView {
    explicit LongLineView(int length)
    {
        QFont font(QStringLiteral("NanumGothicCoding"));
        font.setPixelSize(13);
        view.setFont(font);
        view.resize(1000, 700);
        view.show();
        QCoreApplication::processEvents();
        buffer.setPlainText(longLine(length) + QStringLiteral("\nnext line"));
    }
    void show()
    {
        view.setBuffer(&buffer);
        view.setFocus();
        view.viewport()->repaint();
    }
    void press(Qt::Key key, const QString &text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(&view, &press);
        view.viewport()->repaint();
    }
    TextBuffer buffer;
    TextView view;
};

const int kShownLength = benchsize::pick(8'000'000, 200'000);
const int kEditedLength = benchsize::pick(5'000'000, 200'000);

void BM_LongLineSetBufferAndFirstPaint(benchmark::State &state)
{
    LongLineView shown(kShownLength);
    for (auto _ : state) {
        shown.show();
        state.PauseTiming();
        shown.view.setBuffer(nullptr);
        shown.view.viewport()->repaint();
        state.ResumeTiming();
    }
    state.counters["chars"] = kShownLength;
}

// Each keystroke below is timed with the repaint that follows it.
void typeInTheMiddle(benchmark::State &state, bool highlighted)
{
    LongLineView shown(kEditedLength);
    NameHighlighter highlighter(&shown.buffer, namecodec::FileKind::WebServer);
    if (highlighted)
        shown.view.setHighlighter(&highlighter);
    shown.show();
    const int middle = kEditedLength / 2;
    shown.view.setTextCursor({middle, middle});
    for (auto _ : state)
        shown.press(Qt::Key_X, QStringLiteral("x"));
    shown.view.setHighlighter(nullptr);
    state.counters["chars"] = kEditedLength;
}

void BM_LongLineTypeInTheMiddle(benchmark::State &state)
{
    typeInTheMiddle(state, false);
}

// The same with the colours and name marks a configuration file gets: a
// line this long is shown plain, so typing costs what it did.
void BM_LongLineTypeInTheMiddleHighlighted(benchmark::State &state)
{
    typeInTheMiddle(state, true);
}

void BM_LongLineLeft(benchmark::State &state)
{
    LongLineView shown(kEditedLength);
    shown.show();
    const int middle = kEditedLength / 2;
    shown.view.setTextCursor({middle, middle});
    for (auto _ : state)
        shown.press(Qt::Key_Left);
}

// Home from the line's end and End from its start: each jumps the whole line.
void BM_LongLineHomeAndEnd(benchmark::State &state)
{
    LongLineView shown(kEditedLength);
    shown.show();
    bool home = true;
    for (auto _ : state) {
        shown.press(home ? Qt::Key_Home : Qt::Key_End);
        home = !home;
    }
}

void BM_LongLineClick(benchmark::State &state)
{
    LongLineView shown(kEditedLength);
    shown.show();
    QScrollBar *h = shown.view.horizontalScrollBar();
    h->setValue(h->maximum() / 2);
    int x = 100;
    for (auto _ : state) {
        const QPointF at(x, 10);
        QMouseEvent press(QEvent::MouseButtonPress, at, shown.view.viewport()->mapToGlobal(at),
            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, shown.view.viewport()->mapToGlobal(at),
            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(shown.view.viewport(), &press);
        QCoreApplication::sendEvent(shown.view.viewport(), &release);
        shown.view.viewport()->repaint();
        x = x == 100 ? 700 : 100; // two places, so that no click is a double-click's second
    }
}

BENCHMARK(BM_LongLineSetBufferAndFirstPaint)
    ->Iterations(benchsize::pick(10, 1))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongLineTypeInTheMiddle)->Iterations(benchsize::pick(50, 2))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongLineTypeInTheMiddleHighlighted)
    ->Iterations(benchsize::pick(50, 2))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongLineLeft)->Iterations(benchsize::pick(200, 2))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongLineHomeAndEnd)->Iterations(benchsize::pick(50, 2))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongLineClick)->Iterations(benchsize::pick(50, 2))->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
