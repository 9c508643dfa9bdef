// Whole-document conversion in the editor, end to end: a 20 MB zone file
// open in a real Quorel window is saved to a temporary copy, converted by
// libnamecodec and loaded back into the window (commands 32802 and 32805).
// Each pass also runs the namecodec tool on the same file, so that the
// editor's time is read against the library's own in the same run and load.
#include "../tests/support/scriptedprompter.h"
#include "app/quorelapp.h"
#include "benchsize.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "generate.h"
#include "memory.h"
#include "namecodec/namecodec.h"
#include "paintgap.h"
#include "widgetbenchmain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

namespace {

const std::int64_t kZoneBytes = benchsize::pick<std::int64_t>(20 * 1024 * 1024, 256 * 1024);

struct Editor {
    QTemporaryDir dir;
    QString eucKrPath;
    QString punycodePath;
    std::unique_ptr<QSettings> user, machine;
    ScriptedPrompter prompter;
    std::unique_ptr<CQuorelApp> app;
    CQuorelDoc *doc = nullptr;
    qint64 bytes = 0;

    Editor()
    {
        eucKrPath = dir.filePath(QStringLiteral("big.zone"));
        punycodePath = dir.filePath(QStringLiteral("big-puny.zone"));
        benchgen::writeZone(eucKrPath.toStdString(), kZoneBytes);
        bytes = QFileInfo(eucKrPath).size();
        int line = 0;
        if (ConvertFile(QFile::encodeName(eucKrPath).constData(), QFile::encodeName(punycodePath).constData(),
                4, 2, 0, &line)
            != 0)
            qFatal("the library refused the benchmark file at line %d", line);

        const QString install = dir.filePath(QStringLiteral("install"));
        QDir().mkpath(install + QStringLiteral("/temp"));
        user = std::make_unique<QSettings>(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        machine
            = std::make_unique<QSettings>(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
        user->setValue(QStringLiteral("EnvOption/ProPathName"), install);
        AppOptions options;
        options.showSplash = false;
        app = std::make_unique<CQuorelApp>(*user, *machine, prompter, options);
        app->InitInstance({});
        prompter.questionAnswer = true; // the 20 MB question
        doc = app->OpenDocumentFile(eucKrPath);
        if (!doc)
            qFatal("the benchmark file did not open");
        QCoreApplication::processEvents();
        openMegabytes = residentMegabytes();
    }

    double openMegabytes = 0;
};

Editor &editor()
{
    return benchfixture::shared<Editor>();
}

void setComment(int keep)
{
    while (editor().app->commentOption() != keep)
        editor().app->OnToggleComment();
}

QString encodingName(namecodec::Encoding encoding)
{
    return encoding == namecodec::Encoding::Punycode ? QStringLiteral("punycode") : QStringLiteral("euc-kr");
}

// Milliseconds the namecodec tool takes for the same conversion of the same
// file, from start to exit.
qint64 toolMilliseconds(
    const QString &source, namecodec::Encoding from, namecodec::Encoding to, bool keepComment)
{
    QStringList arguments {QStringLiteral("convert"), QStringLiteral("--from"), encodingName(from),
        QStringLiteral("--to"), encodingName(to)};
    if (keepComment)
        arguments << QStringLiteral("--keep-comment");
    arguments << source << editor().dir.filePath(QStringLiteral("tool-out.zone"));
    QProcess tool;
    QElapsedTimer clock;
    clock.start();
    tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/namecodec"), arguments);
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        qFatal("the namecodec tool failed: %s", tool.readAllStandardError().constData());
    return clock.elapsed();
}

void convert(benchmark::State &state, const QString &source, namecodec::Encoding from, namecodec::Encoding to)
{
    Editor &e = editor();
    setComment(static_cast<int>(state.range(0)));
    PaintGapProbe probe;
    qint64 longestGap = 0;
    qint64 toolTotal = 0;
    QElapsedTimer editorClock;
    qint64 editorTotal = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!e.doc->loadTextFromFile(source))
            state.SkipWithError("cannot load the source text");
        QCoreApplication::processEvents();
        toolTotal += toolMilliseconds(source, from, to, state.range(0) != 0);
        probe.start();
        editorClock.start();
        state.ResumeTiming();
        if (!e.app->OnConvertDocument(from, to))
            state.SkipWithError("conversion failed");
        QCoreApplication::processEvents(); // the window repaints with the new text
        state.PauseTiming();
        editorTotal += editorClock.elapsed();
        longestGap = std::max(longestGap, probe.stop());
        state.ResumeTiming();
    }
    const double passes = static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
    state.counters["tool_ms"] = static_cast<double>(toolTotal) / passes;
    state.counters["editor_ms"] = static_cast<double>(editorTotal) / passes;
    state.counters["editor_over_tool"]
        = toolTotal > 0 ? static_cast<double>(editorTotal) / static_cast<double>(toolTotal) : 0;
    state.counters["max_paint_gap_ms"] = static_cast<double>(longestGap);
    state.counters["MB"] = static_cast<double>(QFileInfo(source).size()) / (1024.0 * 1024.0);
    state.counters["lines"] = e.doc->textBuffer()->lineCount();
}

void BM_EditorToPunycode(benchmark::State &state)
{
    convert(state, editor().eucKrPath, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
}

void BM_EditorToEucKr(benchmark::State &state)
{
    convert(state, editor().punycodePath, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949);
}

// Resident memory after three conversions in a row, each kept for undo,
// against what the window held with the file just opened. Without comments,
// so that every text is the same size and only what is kept can grow.
void BM_EditorMemoryThreeConversions(benchmark::State &state)
{
    Editor &e = editor();
    setComment(0);
    double after = 0;
    for (auto _ : state) {
        if (!e.doc->loadTextFromFile(e.eucKrPath))
            state.SkipWithError("cannot load the source text");
        const namecodec::Encoding order[] = {namecodec::Encoding::Cp949, namecodec::Encoding::Punycode,
            namecodec::Encoding::Cp949, namecodec::Encoding::Punycode};
        for (int step = 0; step < 3; ++step) {
            if (!e.app->OnConvertDocument(order[step], order[step + 1]))
                state.SkipWithError("conversion failed");
            QCoreApplication::processEvents();
        }
        // Texts let go are freed by the application's own pools; count what stays.
        for (QThreadPool *pool : qApp->findChildren<QThreadPool *>())
            pool->waitForDone();
        // Kept texts are compressed by threads of their own: give them time.
        QThread::sleep(benchsize::pick(2, 0));
        after = residentMegabytes();
    }
    state.counters["open_MB"] = e.openMegabytes;
    state.counters["after_three_MB"] = after;
    state.counters["growth"] = e.openMegabytes > 0 ? after / e.openMegabytes : 0;
}

BENCHMARK(BM_EditorToPunycode)
    ->ArgName("keep_comment")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(benchsize::pick(3, 1))
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorToEucKr)
    ->ArgName("keep_comment")
    ->Arg(0)
    ->Iterations(benchsize::pick(3, 1))
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorMemoryThreeConversions)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
