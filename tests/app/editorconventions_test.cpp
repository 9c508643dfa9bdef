// What a Korean administrator expects of the editor beyond its first build:
// why a conversion failed, readable printing, Korean standard dialogs and
// the usual keys. Driven through the real application and its widgets.
#include "apptestfixture.h"
#include "document/namebytes.h"
#include "editor/outcomereport.h"
#include "editor/textprinter.h"
#include "platform/qttranslation.h"
#include "platform/quorelids.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QSet>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

QByteArray cp949(const QString &text)
{
    return encodeNameText(text, namecodec::Encoding::Cp949).value();
}

// Closes whatever modal dialog the next command opens, after `look`.
void whenModal(std::function<void(QWidget *)> look = {})
{
    QTimer::singleShot(0, [look] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        if (look)
            look(dialog);
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
        else
            dialog->close();
    });
}

class ConventionsTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        startInstalled();
    }
    CQuorelDoc *open(const QString &name, const QByteArray &bytes)
    {
        CQuorelDoc *doc = app->OpenDocumentFile(file(name.toUtf8().constData(), bytes));
        settle();
        return doc;
    }
    CQuorelView *view() const { return frame()->activeView(); }
    QLabel *messagePane() const { return frame()->findChild<QLabel *>(QStringLiteral("messagePane")); }
};

// A zone whose lines `bad` (counted from 1) carry a Hangul filler.
QByteArray zoneWithFillers(int lines, const QList<int> &bad)
{
    QString text = QStringLiteral("$ORIGIN 한국.kr.\n");
    for (int line = 2; line <= lines; ++line) {
        if (bad.contains(line))
            text += QStringLiteral("가%1%2\tIN\tA\t10.0.0.1\n").arg(QChar(0x3164)).arg(line);
        else
            text += QStringLiteral("호스트%1\tIN\tA\t10.0.0.1\n").arg(line);
    }
    return cp949(text);
}

// What a PDF written by Qt's printer says about its text, read from the
// page content streams: each font size in points (the size of the Tf
// operator times the page's scale), the left edge of each run of text and
// the baselines of the first page, both in points from the page's lower
// left corner.
struct PdfText {
    QList<double> sizes;
    QList<double> lineLefts;
    QList<double> firstPageBaselines;
    QSet<QPair<int, double>> lines; // (page, baseline) of every printed line
    int pages = 0;
};

PdfText readPdfText(const QString &path)
{
    PdfText result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray pdf = file.readAll();
    qsizetype at = 0;
    while ((at = pdf.indexOf("stream\n", at)) >= 0) {
        const qsizetype start = at + 7;
        const qsizetype end = pdf.indexOf("endstream", start);
        if (end < 0)
            break;
        at = end + 9;
        // qUncompress wants the expected length in front; it grows past it.
        QByteArray packed(4, '\0');
        const quint32 guess = static_cast<quint32>((end - start) * 16 + 1024);
        for (int i = 0; i < 4; ++i)
            packed[i] = static_cast<char>((guess >> (24 - 8 * i)) & 0xFF);
        packed += pdf.mid(start, end - start);
        const QByteArray content = qUncompress(packed);
        if (!content.contains(" cm") || !content.contains("BT"))
            continue; // a font or an image, not a page
        ++result.pages;
        QList<double> numbers;
        double scale = 0, offsetX = 0, offsetY = 0;
        bool lineStart = false;
        for (const QByteArray &token : content.simplified().split(' ')) {
            bool isNumber = false;
            const double value = token.toDouble(&isNumber);
            if (isNumber) {
                numbers << value;
                continue;
            }
            if (token == "cm" && scale == 0 && numbers.size() >= 6) {
                scale = numbers[numbers.size() - 6];
                offsetX = numbers[numbers.size() - 2];
                offsetY = numbers[numbers.size() - 1];
            } else if (token == "Tf" && !numbers.isEmpty()) {
                result.sizes << numbers.last() * scale;
            } else if (token == "BT") {
                lineStart = true;
            } else if (token == "Td" && lineStart && numbers.size() >= 2) {
                lineStart = false;
                // The text matrix flips y back: the baseline is -y device pixels down.
                result.lineLefts << offsetX + numbers[numbers.size() - 2] * scale;
                const double baseline = offsetY - (-numbers.last()) * scale;
                if (result.pages == 1)
                    result.firstPageBaselines << baseline;
                result.lines.insert({result.pages, baseline});
            }
            numbers.clear();
        }
    }
    return result;
}

} // namespace

TEST_F(ConventionsTest, AFailedConversionListsEveryReasonAndKeepsItInThePaneUntilTheNextCommand)
{
    CQuorelDoc *doc = open(QStringLiteral("one.zone"), zoneWithFillers(80, {63}));
    ASSERT_NE(doc, nullptr);
    const QString before = viewText(*view());

    trigger(ids::command::kConvertToPunycode);
    const QString reason = QStringLiteral("63번째 줄 1열: '가") + QChar(0x3164)
        + QStringLiteral("63' 레이블에 한글 채움 문자 U+3164가 있습니다");
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages.first().startsWith(QStringLiteral("변환에 실패하였습니다.\n\n") + reason))
        << prompter.messages.first().toStdString();
    EXPECT_EQ(prompter.messages.first().count(QLatin1Char('\n')), 2); // one line listed
    EXPECT_TRUE(frame()->statusText().startsWith(QStringLiteral("변환에 실패하였습니다. ") + reason))
        << frame()->statusText().toStdString();
    EXPECT_EQ(caretLine(*view()), 62); // the failing line stays selected
    EXPECT_TRUE(view()->textCursor().hasSelection());
    EXPECT_EQ(viewText(*view()), before);

    // A status tip passing over (the mouse on the toolbar) hides the pane
    // for a moment only; the reason is there again when it leaves.
    QAction *tip = frame()->action(ids::command::kFileOpen);
    tip->showStatusText(frame()->toolBar());
    EXPECT_EQ(frame()->statusBar()->currentMessage(), tip->statusTip());
    QStatusTipEvent leave {QString()};
    QCoreApplication::sendEvent(frame()->toolBar(), &leave);
    EXPECT_TRUE(frame()->statusBar()->currentMessage().isEmpty());
    EXPECT_TRUE(messagePane()->text().startsWith(QStringLiteral("변환에 실패하였습니다. ") + reason));
    EXPECT_EQ(frame()->statusText(), messagePane()->text());

    // The next command gives the pane back to "준비".
    trigger(ids::command::kViewFileTree);
    EXPECT_EQ(frame()->statusText(), QStringLiteral("준비"));
    trigger(ids::command::kViewFileTree);
}

TEST_F(ConventionsTest, ManyFailingLinesAreListedUpToTwentyThenCounted)
{
    QList<int> bad;
    for (int line = 10; line < 10 + 25; ++line)
        bad << line;
    CQuorelDoc *doc = open(QStringLiteral("many.zone"), zoneWithFillers(60, bad));
    ASSERT_NE(doc, nullptr);

    trigger(ids::command::kConvertToPunycode);
    ASSERT_EQ(prompter.messages.size(), 1);
    const QStringList lines = prompter.messages.first().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2 + 20 + 1);
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(lines[2 + i].startsWith(QStringLiteral("%1번째 줄 1열: '가").arg(10 + i)))
            << lines[2 + i].toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("외 5줄"));
    EXPECT_TRUE(frame()->statusText().endsWith(QStringLiteral(" 외 24줄")))
        << frame()->statusText().toStdString();
    EXPECT_EQ(caretLine(*view()), 9); // the first failing line

    // Exactly twenty are listed without a count.
    ConversionFaults twenty;
    for (int i = 1; i <= kMaxListedFaults; ++i)
        twenty.append({i, 1, QStringLiteral("x"), QStringLiteral("이유")});
    EXPECT_FALSE(conversionFaultsText(twenty).contains(QStringLiteral("외")));
    EXPECT_EQ(conversionFaultsText(twenty).count(QLatin1Char('\n')), kMaxListedFaults - 1);
}

TEST_F(ConventionsTest, PrintedTextIsTheViewsSizeInPointsInsideHalfInchMargins)
{
    // 13 pixels on a 96-dpi screen are 9.75 points on paper, whatever the
    // printer's resolution.
    const QFont font = printFontFor(CQuorelView::editorFont());
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.75);
    EXPECT_EQ(font.pixelSize(), -1);

    CQuorelDoc *doc = open(QStringLiteral("sample.zone"), zoneWithFillers(120, {}));
    ASSERT_NE(doc, nullptr);
    // The text alone is measured here; the page's header, footer and line
    // numbers have their own test.
    app->settings().setPrintPageHeader(false);
    app->settings().setShowLineNumbers(false);
    const QString pdf = dir.filePath(QStringLiteral("print.pdf"));
    for (const QPrinter::PrinterMode mode : {QPrinter::HighResolution, QPrinter::ScreenResolution}) {
        SCOPED_TRACE(mode);
        QPrinter printer(mode);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        view()->printTo(&printer);
        const QMarginsF margins = printer.pageLayout().margins(QPageLayout::Point);
        EXPECT_NEAR(margins.left(), 36.0, 0.01); // 720 twips
        EXPECT_NEAR(margins.top(), 36.0, 0.01);
        const PdfText text = readPdfText(pdf);
        ASSERT_FALSE(text.sizes.isEmpty());
        for (double size : text.sizes)
            EXPECT_NEAR(size, 9.75, 0.3);
        EXPECT_GE(text.pages, 2); // 120 lines of 10 pt do not fit one A4 page
        EXPECT_EQ(text.lines.size(), 120); // each line printed once, none lost at a page's end
        // Lines start at the left margin, and nothing is left of it.
        ASSERT_FALSE(text.lineLefts.isEmpty());
        EXPECT_NEAR(*std::min_element(text.lineLefts.cbegin(), text.lineLefts.cend()), 36.0, 0.5);
        QList<double> baselines = text.firstPageBaselines; // one per run of text, several a line
        std::sort(baselines.begin(), baselines.end(), std::greater<>());
        baselines.erase(std::unique(baselines.begin(), baselines.end()), baselines.end());
        ASSERT_GE(baselines.size(), 2);
        const double pitch = baselines[0] - baselines[1];
        EXPECT_GE(pitch, 9.7); // a line of 10 pt text
        EXPECT_LT(pitch, 16.0);
        EXPECT_GE(842 - baselines.front(), 36.0); // below the top margin
        EXPECT_GE(baselines.back(), 36.0); // above the bottom margin
    }
}

TEST_F(ConventionsTest, TheUsualKeysReachTheirCommandsAndTheMenusShowThem)
{
    CQuorelDoc *doc
        = open(QStringLiteral("keys.zone"), cp949(QStringLiteral("www\tIN\tCNAME\t웹.한국.kr.\n")));
    ASSERT_NE(doc, nullptr);
    CQuorelView *v = view();
    QApplication::setActiveWindow(frame());
    v->setFocus();

    // The menus show the keys the actions carry.
    const struct {
        int id;
        QKeySequence key;
    } shown[] = {
        {ids::command::kFilePrint, QKeySequence(Qt::CTRL | Qt::Key_P)},
        {ids::command::kFileSaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {ids::command::kEditRedo, QKeySequence(Qt::CTRL | Qt::Key_Y)},
        {ids::command::kFileClose, QKeySequence(Qt::CTRL | Qt::Key_W)},
        {ids::command::kConvertToPunycode, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P)},
        {ids::command::kConvertToEucKr, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K)},
    };
    for (const auto &s : shown) {
        SCOPED_TRACE(s.id);
        EXPECT_EQ(frame()->action(s.id)->shortcut(), s.key);
        EXPECT_FALSE(frame()->action(s.id)->text().contains(QLatin1Char('\t'))); // so the menu shows the key
    }
    EXPECT_TRUE(frame()
                    ->action(ids::command::kEditRedo)
                    ->shortcuts()
                    .contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
    auto *edit = frame()->findChild<QMenu *>(QStringLiteral("editMenu"));
    ASSERT_NE(edit, nullptr);
    const QList<QAction *> items = edit->actions();
    const qsizetype undoAt = items.indexOf(frame()->action(ids::command::kEditUndo));
    ASSERT_GE(undoAt, 0);
    ASSERT_LT(undoAt + 1, items.size());
    EXPECT_EQ(items[undoAt + 1], frame()->action(ids::command::kEditRedo));
    EXPECT_EQ(items[undoAt + 1]->text(), QStringLiteral("다시 실행(&R)"));

    // Redo, both ways, after an undo.
    for (const QKeySequence &redo :
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}) {
        SCOPED_TRACE(redo.toString().toStdString());
        moveCaretToEnd(*v);
        QTest::keyClicks(v, QStringLiteral("x"));
        const QString typed = viewText(*v);
        QTest::keyClick(v, Qt::Key_Z, Qt::ControlModifier);
        ASSERT_NE(viewText(*v), typed);
        EXPECT_TRUE(frame()->action(ids::command::kEditRedo)->isEnabled());
        QTest::keySequence(v, redo);
        EXPECT_EQ(viewText(*v), typed);
    }

    // The whole-document conversions, there and back (the record itself;
    // the comment option keeps the earlier forms as comments above it).
    auto record = [v] {
        const QStringList lines = viewText(*v).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            if (line.startsWith(QStringLiteral("www")))
                return line;
        }
        return QString();
    };
    QTest::keyClick(v, Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);
    settle();
    EXPECT_TRUE(record().startsWith(QStringLiteral("www\tIN\tCNAME\txn--"))) << record().toStdString();
    QTest::keyClick(v, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    settle();
    EXPECT_EQ(record(), QStringLiteral("www\tIN\tCNAME\t웹.한국.kr."));

    // Print opens the print dialog; save as asks for a name.
    bool printAsked = false;
    whenModal([&](QWidget *dialog) { printAsked = dialog->inherits("QPrintDialog"); });
    QTest::keyClick(v, Qt::Key_P, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(printAsked);
    QApplication::setActiveWindow(frame()); // back from the dialog
    v->setFocus();
    const qsizetype proposals = prompter.saveProposals.size();
    QTest::keyClick(v, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    EXPECT_EQ(prompter.saveProposals.size(), proposals + 1);

    // Close: the modified document asks first; cancelling keeps it open.
    const qsizetype windows = frame()->childFrames().size();
    const QPointer<CChildFrame> window = qobject_cast<CChildFrame *>(doc->frame());
    prompter.yesNoCancelAnswers = {Prompter::Answer::Cancel};
    QTest::keyClick(v, Qt::Key_W, Qt::ControlModifier);
    settle();
    EXPECT_EQ(frame()->childFrames().size(), windows);
    EXPECT_EQ(prompter.questions.size(), 1);
    prompter.yesNoCancelAnswers = {Prompter::Answer::No};
    QTest::keyClick(v, Qt::Key_W, Qt::ControlModifier);
    settle();
    EXPECT_EQ(frame()->childFrames().size(), windows - 1);
    EXPECT_TRUE(window.isNull());
}

TEST(QtTranslation, StandardButtonsSpeakKoreanOnceInstalled)
{
    QTranslator *translator = installQtTranslation(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qtbase_ko.qm not found in Qt's translations folder";

    QMessageBox box(QMessageBox::Question, QStringLiteral("Quorel"), QStringLiteral("저장할까요?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const struct {
        QMessageBox::StandardButton button;
        QString english;
    } buttons[] = {
        {QMessageBox::Yes, QStringLiteral("&Yes")},
        {QMessageBox::No, QStringLiteral("&No")},
        {QMessageBox::Cancel, QStringLiteral("Cancel")},
    };
    for (const auto &b : buttons) {
        SCOPED_TRACE(b.english.toStdString());
        const QString text = box.button(b.button)->text();
        EXPECT_NE(text, b.english);
        EXPECT_TRUE(std::any_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.script() == QChar::Script_Hangul;
        })) << text.toStdString();
    }
    QDialogButtonBox dialogButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(dialogButtons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("확인"));
    EXPECT_EQ(dialogButtons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("취소"));

    // Removed again, Qt speaks English: the texts came from the translation.
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(
        QDialogButtonBox(QDialogButtonBox::Ok).button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
}
