// Opening a 20 MB code page 949 zone file until its text is on screen, and
// saving it, through the real application, main window and editor view.
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>

#include "app/quorelapp.h"
#include "benchsize.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "editor/quorelview.h"
#include "editor/widgetprompter.h"
#include "memory.h"
#include "namecodec/codec.h"
#include "paintgap.h"
#include "widgetbenchmain.h"

namespace {

const qint64 kTargetBytes = benchsize::pick<qint64>(20'000'000, 200'000);

// A zone file of realistic lines: Hangul owners, comments and data.
QByteArray makeZone()
{
    QString text = QStringLiteral("$TTL 86400\n$ORIGIN 한글도메인.kr.\n");
    QByteArray bytes;
    bytes.reserve(kTargetBytes + 256);
    auto append = [&bytes](const QString &s) {
        const auto encoded
            = namecodec::encodeText(std::u16string_view(reinterpret_cast<const char16_t *>(s.constData()),
                                        static_cast<std::size_t>(s.size())),
                namecodec::Encoding::Cp949);
        bytes += QByteArray::fromStdString(*encoded);
    };
    append(text);
    for (int i = 0; bytes.size() < kTargetBytes; ++i) {
        append(QStringLiteral("쇼핑몰%1\tIN\tA\t192.0.%2.%3\t; 고객센터 %1번 호스트\n")
                   .arg(i)
                   .arg((i / 250) % 250)
                   .arg(i % 250));
    }
    return bytes;
}

struct Fixture {
    QTemporaryDir dir;
    QString zonePath;
    std::unique_ptr<QSettings> user, machine;
    WidgetPrompter prompter;
    std::unique_ptr<CQuorelApp> app;

    Fixture()
    {
        zonePath = dir.filePath(QStringLiteral("big.zone"));
        QFile f(zonePath);
        f.open(QIODevice::WriteOnly);
        f.write(makeZone());
        f.close();
        user = std::make_unique<QSettings>(dir.filePath(QStringLiteral("u.ini")), QSettings::IniFormat);
        machine = std::make_unique<QSettings>(dir.filePath(QStringLiteral("m.ini")), QSettings::IniFormat);
        AppOptions options;
        options.showSplash = false;
        app = std::make_unique<CQuorelApp>(*user, *machine, prompter, options);
        app->InitInstance({});
        QCoreApplication::processEvents();
    }
    void closeAll()
    {
        for (CQuorelDoc *doc : app->documents())
            qobject_cast<CChildFrame *>(doc->frame())->closeWithoutAsking();
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
};

Fixture &fixture()
{
    return benchfixture::shared<Fixture>();
}

void OpenUntilShown(benchmark::State &state)
{
    Fixture &f = fixture();
    state.counters["bytes"] = static_cast<double>(QFile(f.zonePath).size());
    PaintGapProbe probe;
    qint64 longestGap = 0;
    double growth = -1;
    for (auto _ : state) {
        const double before = residentMegabytes();
        probe.start();
        CQuorelDoc *doc = f.app->OpenDocumentFile(f.zonePath);
        if (!doc) {
            state.SkipWithError("open failed");
            break;
        }
        // The first screenful is laid out and painted before the clock stops.
        CQuorelView *view = qobject_cast<CChildFrame *>(doc->frame())->view();
        view->viewport()->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        longestGap = std::max(longestGap, probe.stop());
        // What one open file holds: measured on the first open, before freed
        // memory that the allocator keeps blurs the figure.
        if (growth < 0)
            growth = residentMegabytes() - before;
        f.closeAll();
        state.ResumeTiming();
    }
    state.counters["max_paint_gap_ms"] = static_cast<double>(longestGap);
    state.counters["open_file_mb"] = growth;
}

void Save(benchmark::State &state)
{
    Fixture &f = fixture();
    CQuorelDoc *doc = f.app->OpenDocumentFile(f.zonePath);
    if (!doc) {
        state.SkipWithError("open failed");
        return;
    }
    const QString out = f.dir.filePath(QStringLiteral("saved.zone"));
    for (auto _ : state) {
        if (!doc->OnSaveDocument(out)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    if (QFile(out).size() != QFile(f.zonePath).size())
        state.SkipWithError("saved file differs in size");
    f.closeAll();
}

CQuorelView *openView(Fixture &f)
{
    CQuorelDoc *doc = f.app->OpenDocumentFile(f.zonePath);
    if (!doc)
        return nullptr;
    CQuorelView *view = qobject_cast<CChildFrame *>(doc->frame())->view();
    view->setFocus();
    view->viewport()->repaint();
    return view;
}

// A character typed in the middle of the open file, with the repaint that
// follows: the lines below it are coloured and marked again.
void TypeWithHighlighting(benchmark::State &state)
{
    Fixture &f = fixture();
    CQuorelView *view = openView(f);
    if (!view || !view->nameHighlighter()) {
        state.SkipWithError("open failed or nothing highlights");
        return;
    }
    view->goToLine(view->buffer()->lineCount() / 2, 4);
    view->viewport()->repaint();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(view, &press);
        view->viewport()->repaint();
    }
    f.closeAll();
}

// Ctrl+End on a file just opened: the marks of the last screen need the
// scanner's state there, read once from the top.
void FirstJumpToTheEndWithHighlighting(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        state.PauseTiming();
        CQuorelView *view = openView(f);
        if (!view) {
            state.SkipWithError("open failed");
            break;
        }
        state.ResumeTiming();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::sendEvent(view, &press);
        view->viewport()->repaint();
        state.PauseTiming();
        f.closeAll();
        state.ResumeTiming();
    }
}

// A file of one 8,000,000-character line (a dump, a minified configuration)
// opened until shown, with the longest time the window went unpainted.
void OpenLongLineUntilShown(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString path = f.dir.filePath(QStringLiteral("dump.txt"));
    {
        QByteArray line(benchsize::pick(8'000'000, 200'000), 'q');
        for (qsizetype i = 0; i + 12 < line.size(); i += 64)
            line.replace(i, 12, "v=DKIM1;k=a;");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(line);
    }
    PaintGapProbe probe;
    qint64 longestGap = 0;
    for (auto _ : state) {
        probe.start();
        CQuorelDoc *doc = f.app->OpenDocumentFile(path);
        if (!doc) {
            state.SkipWithError("open failed");
            break;
        }
        qobject_cast<CChildFrame *>(doc->frame())->view()->viewport()->repaint();
        QCoreApplication::processEvents();
        state.PauseTiming();
        longestGap = std::max(longestGap, probe.stop());
        f.closeAll();
        state.ResumeTiming();
    }
    state.counters["max_paint_gap_ms"] = static_cast<double>(longestGap);
}

} // namespace

// First: what one open file holds is read on the first open of the process.
BENCHMARK(OpenUntilShown)->Unit(benchmark::kMillisecond)->Iterations(benchsize::pick(5, 1))->UseRealTime();
BENCHMARK(Save)->Unit(benchmark::kMillisecond)->Iterations(benchsize::pick(5, 1))->UseRealTime();
BENCHMARK(OpenLongLineUntilShown)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(benchsize::pick(5, 1))
    ->UseRealTime();
BENCHMARK(TypeWithHighlighting)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(benchsize::pick(100, 2))
    ->UseRealTime();
BENCHMARK(FirstJumpToTheEndWithHighlighting)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(benchsize::pick(3, 1))
    ->UseRealTime();

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
