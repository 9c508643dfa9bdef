// The update-notes window over notes files just under its 8 MiB limit: how
// long it takes until the notes are in it and painted, the longest the GUI
// thread is held on the way, how much resident memory that costs; the
// reader alone; and one auto-scroll tick over what the window shows. Run
// one opening shape per process (--benchmark_filter) for memory figures that
// no earlier shape has touched.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "benchsize.h"
#include "memory.h"
#include "panes/updateinfodialog.h"
#include "widgetbenchmain.h"

namespace {

// Just under CUpdateInfoDialog::kMaxNotesBytes, so the window reads it.
const qsizetype kNotesBytes = benchsize::pick<qsizetype>(CUpdateInfoDialog::kMaxNotesBytes - 64, 64 * 1024);

QByteArray repeated(const QByteArray &head, const QByteArray &unit)
{
    QByteArray rtf = head;
    rtf.reserve(kNotesBytes);
    while (rtf.size() + unit.size() + 1 < kNotesBytes)
        rtf += unit;
    return rtf + '}';
}

// The shapes of notes a broken or hostile update could bring.
enum Shape {
    Pars,
    OneParagraph,
    Runs,
    FormattedParagraphs,
    ControlWords,
    PlainLines,
    TextParagraphs,
    // These show next to nothing: the reader goes through all 8 MiB.
    Groups,
    Picture,
    ControlSymbols,
    UnbrokenHangul,
    LongWords,
    kShapes
};
const char *const kShapeNames[]
    = {"pars", "one_paragraph", "runs", "formatted_paragraphs", "control_words", "plain_lines",
        "text_paragraphs", "groups", "picture", "control_symbols", "unbroken_hangul", "long_words"};

QByteArray notes(int shape)
{
    const QByteArray head = "{\\rtf1\\ansi\\ansicpg949 ";
    switch (shape) {
    case Pars: // 1.4 million empty paragraphs
        return repeated(head, "\\par\r\n");
    case OneParagraph: // short Hangul words in code page 949 escapes, never a paragraph break
        return repeated(head, "\\'c1\\'d9\\'b9\\'d9\\'b2\\'de \\'c1\\'a4\\'ba\\'b8 ");
    case Runs: // one paragraph whose format changes every character
        return repeated(head, "\\b a\\b0 b");
    case FormattedParagraphs: // short paragraphs of ten runs each
        return repeated(
            head, "\\b 1\\b0 . \\i fix\\i0  \\ul a\\ulnone  b \\b c\\b0  d \\i e\\i0  f\\par\r\n");
    case ControlWords: // no text at all, only control words
        return repeated(head, "\\b\\i\\ul\\b0\\i0\\ulnone ");
    case PlainLines: { // not RTF: lines of UTF-8 text
        QByteArray text = repeated({}, QStringLiteral("변경 사항 한 줄\n").toUtf8());
        text.chop(1);
        return text;
    }
    case TextParagraphs: // paragraphs of 50 Hangul syllables, one run each
        return repeated(head,
            QByteArray("\\'c7\\'d1\\'b1\\'db \\'b5\\'b5\\'b8\\'de\\'c0\\'ce ").repeated(10) + "\\par\r\n");
    case Groups: // empty groups, each saving and restoring the state
        return repeated(head, "{}{\\b}");
    case Picture: // a picture's hex data, never shown
        return repeated(head + "{\\pict\\pngblip ", "89504e470d0a1a0a0000000d4948445200000100\r\n") + '}';
    case ControlSymbols: // control symbols that show nothing
        return repeated(head, "\\-\\|\\:");
    case UnbrokenHangul: // one word: Hangul never broken by a space
        return repeated(head, "\\'c7\\'d1");
    default: // words just short enough to be wrapped at word boundaries
        return repeated(
            head, QByteArray("\\'c7\\'d1").repeated(int(CUpdateInfoDialog::kLongestWrappedWord)) + ' ');
    }
}

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Lets the peak start again from what is resident now (Linux 4.0 and later).
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

struct NotesDir {
    explicit NotesDir(int shape)
    {
        QFile f(dir.filePath(CUpdateInfoDialog::kNotesFileName));
        f.open(QIODevice::WriteOnly);
        f.write(notes(shape));
        bytes = f.size();
    }
    QTemporaryDir dir;
    qint64 bytes = 0;
};

bool stillReading(const CUpdateInfoDialog &dialog)
{
    const QTextDocument *doc = dialog.notes()->document();
    return doc->blockCount() == 1 && doc->firstBlock().text() == CUpdateInfoDialog::kReadingNotes;
}

// Opening the window until the notes are in it and painted. The GUI thread
// is busy in stretches: making and showing the window (open_ms), then each
// turn of the event loop while the notes are read elsewhere, the one that
// puts them in included; longest_ms is the longest of them all, what the
// main window waits for at most. The figures start with a window already
// made once in the process (over no notes), as the main window has loaded
// its fonts by the time anyone asks for the notes.
void BM_OpenNotes(benchmark::State &state)
{
    const int shape = static_cast<int>(state.range(0));
    state.SetLabel(kShapeNames[shape]);
    const NotesDir files(shape);
    {
        QTemporaryDir none;
        CUpdateInfoDialog warm(none.path());
        warm.show();
        QCoreApplication::processEvents();
        warm.repaint();
    }
    QCoreApplication::processEvents();
    double addedMb = -1, peakAddedMb = -1;
    int blocks = 0, lines = 0;
    qint64 longestNs = 0, openNs = 0;
    auto stretch = [&longestNs](const auto &work) {
        QElapsedTimer clock;
        clock.start();
        work();
        const qint64 ns = clock.nsecsElapsed();
        longestNs = std::max(longestNs, ns);
        return ns;
    };
    for (auto _ : state) {
        const bool first = addedMb < 0;
        state.PauseTiming();
        const double before = residentMegabytes();
        resetPeak();
        state.ResumeTiming();
        std::unique_ptr<CUpdateInfoDialog> dialog;
        openNs += stretch([&] {
            dialog = std::make_unique<CUpdateInfoDialog>(files.dir.path());
            dialog->show();
            QCoreApplication::processEvents();
            dialog->repaint();
        });
        while (stillReading(*dialog)) {
            QThread::usleep(200);
            stretch([] { QCoreApplication::processEvents(); });
        }
        stretch([&] {
            QCoreApplication::processEvents();
            dialog->repaint();
        });
        state.PauseTiming();
        if (first) {
            addedMb = residentMegabytes() - before;
            peakAddedMb = peakMegabytes() - before;
        }
        blocks = dialog->notes()->document()->blockCount();
        lines = dialog->lineCount();
        dialog.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["open_ms"] = static_cast<double>(openNs) / 1e6 / static_cast<double>(state.iterations());
    state.counters["longest_ms"] = static_cast<double>(longestNs) / 1e6;
    state.counters["file_mb"] = static_cast<double>(files.bytes) / (1024.0 * 1024.0);
    state.counters["blocks"] = blocks;
    state.counters["lines"] = lines;
    state.counters["added_mb"] = addedMb;
    state.counters["peak_added_mb"] = peakAddedMb;
}

// The reader alone, with the window's limits.
void BM_ReadNotes(benchmark::State &state)
{
    const int shape = static_cast<int>(state.range(0));
    state.SetLabel(kShapeNames[shape]);
    const QByteArray bytes = notes(shape);
    qsizetype paragraphs = 0;
    for (auto _ : state)
        paragraphs = rtf::read(bytes, CUpdateInfoDialog::kNotesLimits).paragraphs.size();
    state.counters["paragraphs"] = static_cast<double>(paragraphs);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_AutoScrollTick(benchmark::State &state)
{
    const int shape = static_cast<int>(state.range(0));
    state.SetLabel(kShapeNames[shape]);
    const NotesDir files(shape);
    CUpdateInfoDialog dialog(files.dir.path());
    dialog.show();
    while (stillReading(dialog))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
    for (auto _ : state)
        dialog.OnTimer(CUpdateInfoDialog::kAutoScrollTimer);
    state.counters["lines"] = dialog.lineCount();
}

BENCHMARK(BM_OpenNotes)
    ->DenseRange(0, kShapes - 1)
    ->Iterations(benchsize::pick(5, 1))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNotes)
    ->DenseRange(0, kShapes - 1)
    ->Iterations(benchsize::pick(5, 1))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AutoScrollTick)
    ->DenseRange(0, kShapes - 1)
    ->Iterations(benchsize::pick(50, 2))
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
