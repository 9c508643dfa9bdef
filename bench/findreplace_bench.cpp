// "모두 바꾸기" in a real editor view: a name that occurs 100,000 times in a
// 20 MB document replaced through the replace dialog's button, then the
// whole replace-all taken back with one undo.
#include "document/doctemplate.h"
#include "document/documentcontext.h"
#include "document/namebytes.h"
#include "document/quoreldoc.h"
#include "editor/convfindreplacedialog.h"
#include "editor/quorelview.h"
#include "platform/quorelids.h"

#include "benchsize.h"
#include "document/textbuffer.h"
#include "widgetbenchmain.h"
#include <QApplication>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const qsizetype kDocumentBytes = benchsize::pick<qsizetype>(20 * 1000 * 1000, 200 * 1000); // in code page 949
const int kOccurrences = benchsize::pick(100'000, 1'000);
const QString kName = QStringLiteral("메일.예제.한국");
const QString kPunycode = QStringLiteral("xn--h32bq4v.xn--2j5b21b.xn--3e0b707e");

qsizetype cp949Bytes(const QString &line)
{
    qsizetype bytes = 0;
    for (QChar c : line)
        bytes += c.unicode() < 0x80 ? 1 : 2; // Hangul syllables are two bytes
    return bytes;
}

// Zone lines of Hangul hosts with the name on every sixth one, until the
// names are all in and the text is 20 MB in code page 949.
QString makeDocument(qsizetype *bytes)
{
    const QString nameLine = QStringLiteral("메일%1\tIN\tCNAME\t") + kName + QStringLiteral(".\n");
    const QString plainLine = QStringLiteral("호스트%1\tIN\tA\t10.%2.%3.%4\n");
    QString text;
    text.reserve(kDocumentBytes);
    *bytes = 0;
    int names = 0;
    for (qsizetype i = 0; names < kOccurrences || *bytes < kDocumentBytes; ++i) {
        const QString line = names < kOccurrences && i % 6 == 5
            ? nameLine.arg(names++)
            : plainLine.arg(i).arg(i % 250).arg(i / 250 % 250).arg(i % 7);
        text += line;
        *bytes += cp949Bytes(line);
    }
    return text;
}

QByteArray digest(const TextBuffer &doc)
{
    return QCryptographicHash::hash(doc.toPlainText().toUtf8(), QCryptographicHash::Sha1);
}

QPushButton *button(CConvFindReplaceDialog *dialog, int id)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->property("controlId").toInt() == id)
            return b;
    }
    return nullptr;
}

void BM_ReplaceAll(benchmark::State &state)
{
    CDocTemplates templates;
    DocumentContext context;
    CQuorelDoc doc(*templates.byId(ids::templ::kGeneral), context);
    CQuorelView view(&doc);
    view.resize(1000, 700);
    view.show();
    qsizetype bytes = 0;
    doc.textBuffer()->setPlainText(makeDocument(&bytes));
    view.OnInitialUpdate();
    QCoreApplication::processEvents();
    const QByteArray original = digest(*doc.textBuffer());
    const int lines = doc.textBuffer()->lineCount();
    int beeps = 0;
    view.search().setBeep([&beeps] { ++beeps; });
    view.OnEditReplace();
    CConvFindReplaceDialog *dialog = view.findDialog();
    dialog->findChild<QLineEdit *>(QStringLiteral("findWhatEdit"))->setText(kName);
    dialog->findChild<QLineEdit *>(QStringLiteral("replaceWithEdit"))->setText(kPunycode);
    QPushButton *replaceAll = button(dialog, ids::control::findReplace::kReplaceAll);

    int undoSteps = 0;
    bool restored = true;
    for (auto _ : state) {
        view.setTextCursor(TextSelection {});
        const int before = beeps;
        replaceAll->click();
        QCoreApplication::processEvents(); // the view shows the new text
        state.PauseTiming();
        if (beeps != before + 1 || doc.textBuffer()->toPlainText().count(kPunycode) != kOccurrences)
            state.SkipWithError("replace all did not replace every occurrence");
        // One undo step gives the whole text back.
        undoSteps = 0;
        while (doc.textBuffer()->isUndoAvailable()) {
            view.OnEditUndo();
            ++undoSteps;
        }
        restored = restored && digest(*doc.textBuffer()) == original;
        state.ResumeTiming();
    }
    if (!restored)
        state.SkipWithError("undo did not give the original text back");
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["lines"] = lines;
    state.counters["replaced"] = kOccurrences;
    state.counters["undo_steps"] = undoSteps;
}

BENCHMARK(BM_ReplaceAll)->Iterations(benchsize::pick(3, 1))->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return runWidgetBenchmarks(argc, argv);
}
