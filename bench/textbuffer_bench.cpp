// The line-list text model on a converted 20 MB zone file: 1.13 million
// lines, about 45 MB as UTF-16. Filling it is what opening and converting
// wait for; mapping positions after an edit is what every keystroke pays.
#include "benchmain.h"
#include "benchsize.h"
#include "document/textbuffer.h"

#include <QFile>
#include <QString>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

const int kLines = benchsize::pick(1'130'000, 20'000);

// Zone records of about 19 characters, a Hangul owner on every seventh
// line, an empty line now and then.
const QString &zoneText()
{
    static const QString text = [] {
        QString out;
        out.reserve(qsizetype(kLines) * 20);
        for (int i = 0; i < kLines; ++i) {
            if (i % 97 == 96) {
                out += u'\n';
                continue;
            }
            out += i % 7 == 0 ? QStringLiteral("메일") : QStringLiteral("ww");
            out += QString::number(i);
            out += QStringLiteral("\tA\t1.");
            out += QString::number(i % 250);
            out += u'.';
            out += QString::number(i / 250 % 250);
            out += u'\n';
        }
        out.chop(1);
        return out;
    }();
    return text;
}

// Resident memory of the process in bytes, from the kernel's own count.
double residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024.0;
    }
    return 0;
}

void addTextCounters(benchmark::State &state, const TextBuffer &buffer)
{
    state.counters["lines"] = buffer.lineCount();
    state.counters["utf16_MB"] = 2.0 * buffer.length() / 1e6;
}

// Runs first: what a filled buffer holds beyond the text's own UTF-16.
void BM_FilledMemory(benchmark::State &state)
{
    const QString &text = zoneText();
    for (auto _ : state) {
        const double before = residentBytes();
        auto buffer = std::make_unique<TextBuffer>();
        buffer->setPlainText(text);
        const double grown = residentBytes() - before;
        state.counters["resident_MB"] = grown / 1e6;
        state.counters["bytes_per_line_over_text"] = (grown - 2.0 * buffer->length()) / buffer->lineCount();
        addTextCounters(state, *buffer);
    }
}
BENCHMARK(BM_FilledMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SetPlainText(benchmark::State &state)
{
    const QString &text = zoneText();
    for (auto _ : state) {
        state.PauseTiming();
        auto buffer = std::make_unique<TextBuffer>();
        state.ResumeTiming();
        buffer->setPlainText(text);
        state.PauseTiming();
        addTextCounters(state, *buffer);
        buffer.reset(); // freeing a million lines is not part of filling
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SetPlainText)->Iterations(benchsize::pick(5, 1))->Unit(benchmark::kMillisecond);

void BM_ToPlainText(benchmark::State &state)
{
    TextBuffer buffer;
    buffer.setPlainText(zoneText());
    for (auto _ : state) {
        const QString text = buffer.toPlainText();
        benchmark::DoNotOptimize(text.constData());
    }
    addTextCounters(state, buffer);
}
BENCHMARK(BM_ToPlainText)->Iterations(benchsize::pick(5, 1))->Unit(benchmark::kMillisecond);

// A keystroke near the top, then the view maps the lines on screen around
// it: only the starts up to there are recomputed.
void BM_TypeThenMapNearby(benchmark::State &state)
{
    TextBuffer buffer;
    buffer.setPlainText(zoneText());
    const int at = buffer.lineStart(1000) + 2;
    for (auto _ : state) {
        buffer.replace(at, at, QStringLiteral("x"), {at, at}, true);
        benchmark::DoNotOptimize(buffer.lineOf(buffer.lineStart(1040) + 3));
    }
}
BENCHMARK(BM_TypeThenMapNearby)->Unit(benchmark::kMicrosecond);

// The worst case: a keystroke near the top, then a position at the end (the
// view jumping to the last line) recomputes every start below the edit.
void BM_TypeThenMapAtEnd(benchmark::State &state)
{
    TextBuffer buffer;
    buffer.setPlainText(zoneText());
    const int at = buffer.lineStart(1000) + 2;
    for (auto _ : state) {
        buffer.replace(at, at, QStringLiteral("x"), {at, at}, true);
        benchmark::DoNotOptimize(buffer.lineOf(buffer.length()));
        benchmark::DoNotOptimize(buffer.lineStart(buffer.lineCount() - 1));
    }
}
BENCHMARK(BM_TypeThenMapAtEnd)->Unit(benchmark::kMillisecond);

// A line break typed near the top moves every line below it once.
void BM_SplitLineNearTop(benchmark::State &state)
{
    TextBuffer buffer;
    buffer.setPlainText(zoneText());
    const int at = buffer.lineStart(1000) + 2;
    for (auto _ : state)
        buffer.replace(at, at, QStringLiteral("\n"), {at, at}, true);
    state.counters["lines"] = buffer.lineCount();
}
BENCHMARK(BM_SplitLineNearTop)->Iterations(benchsize::pick(50, 1))->Unit(benchmark::kMillisecond);

// "모두 바꾸기" of 100,000 matches as one edit block, found one after the
// other, then taken back with one undo.
void BM_ReplaceAllInBlockThenUndo(benchmark::State &state)
{
    TextBuffer buffer;
    buffer.setPlainText(zoneText());
    const QString what = QStringLiteral("\tA\t1.");
    const QString with = QStringLiteral("\tIN\tA\t10.");
    double undoSeconds = 0;
    for (auto _ : state) {
        buffer.beginEditBlock();
        int at = 0;
        for (int i = 0; i < 100'000; ++i) {
            at = buffer.find(what, at, TextBuffer::FindCaseSensitively);
            if (at < 0)
                break;
            buffer.replace(at, at + static_cast<int>(what.size()), with, {at, at});
            at += static_cast<int>(with.size());
        }
        buffer.endEditBlock();
        const auto started = std::chrono::steady_clock::now();
        buffer.undo();
        undoSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    state.counters["undo_ms"] = benchmark::Counter(undoSeconds * 1000.0, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ReplaceAllInBlockThenUndo)->Iterations(benchsize::pick(3, 1))->Unit(benchmark::kMillisecond);

// Searching the whole text for a name that is not there.
void BM_FindAbsent(benchmark::State &state)
{
    TextBuffer buffer;
    buffer.setPlainText(zoneText());
    const auto flags = TextBuffer::FindFlags::fromInt(static_cast<int>(state.range(0)));
    const int from = flags.testFlag(TextBuffer::FindBackward) ? buffer.length() : 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(buffer.find(QStringLiteral("xn--3e0b707e"), from, flags));
}
BENCHMARK(BM_FindAbsent)
    ->Arg(0)
    ->Arg(TextBuffer::FindCaseSensitively)
    ->Arg(TextBuffer::FindBackward)
    ->Iterations(benchsize::pick(3, 1))
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchmain::run(argc, argv);
}
