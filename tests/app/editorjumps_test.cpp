// Going to a line, what a search reports in the status line, same-name
// files in the open-files pane and the printed page's header and footer,
// all through the real Quorel.
#include "../support/modalscript.h"
#include "apptestfixture.h"
#include "editor/convfindreplacedialog.h"
#include "editor/gotolinedialog.h"
#include "platform/quorelids.h"

#include <QApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidgetItem>

namespace {

class EditorJumpsTest : public AppTest {
protected:
    // A zone of `count` numbered host lines, open in the active window.
    CQuorelView *openNumberedZone(int count)
    {
        QByteArray text;
        for (int i = 1; i <= count; ++i)
            text += QStringLiteral("host%1\tIN\tA\t192.0.2.%2\n").arg(i).arg(i % 250).toLatin1();
        return startFocused("lines.zone", text);
    }
    // Ctrl+G on the view, `typed` and Return in the box. Returns the reason
    // the box showed when it stayed open (it is then cancelled with Escape).
    QString goTo(CQuorelView *view, const QString &typed)
    {
        QString refusal;
        ModalScript script(10000);
        script.then([&](QWidget *modal) {
            auto *dialog = qobject_cast<GoToLineDialog *>(modal);
            auto *edit = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit")) : nullptr;
            if (!edit)
                return false;
            edit->selectAll();
            QTest::keyClicks(edit, typed);
            QTest::keyClick(edit, Qt::Key_Return);
            if (dialog->isVisible()) {
                auto *error = dialog->findChild<QLabel *>(QStringLiteral("errorLabel"));
                refusal = error && error->isVisible() ? error->text() : QStringLiteral("(no reason shown)");
                QTest::keyClick(edit, Qt::Key_Escape);
            }
            return true;
        });
        // Back from the last box: offscreen, no window manager does this.
        QApplication::setActiveWindow(frame());
        view->setFocus();
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        settle();
        EXPECT_TRUE(script.finished()) << "Ctrl+G opened no go-to-line box";
        EXPECT_FALSE(script.timedOut());
        return refusal;
    }
    QString messagePane() const
    {
        auto *pane = frame()->statusBar()->findChild<QLabel *>(QStringLiteral("messagePane"));
        return pane ? pane->text() : QString();
    }
};

TEST_F(EditorJumpsTest, CtrlGGoesToALineOrLineAndColumnAndRefusesPlacesOutsideTheText)
{
    CQuorelView *view = openNumberedZone(300);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(goTo(view, QStringLiteral("120")).isEmpty());
    EXPECT_EQ(caretLine(*view), 119);
    EXPECT_EQ(view->buffer()->columnOf(view->textCursor().position), 0);
    // Centred: about as many lines show above the caret as below it.
    const int above = caretLine(*view) - topLine(*view);
    const int below = bottomLine(*view) - caretLine(*view);
    EXPECT_GT(above, 2);
    EXPECT_LE(std::abs(above - below), 2) << above << " above, " << below << " below";

    EXPECT_TRUE(goTo(view, QStringLiteral("5:3")).isEmpty());
    EXPECT_EQ(caretLine(*view), 4);
    EXPECT_EQ(view->buffer()->columnOf(view->textCursor().position), 2);
    // A column past the line's end lands at its end.
    EXPECT_TRUE(goTo(view, QStringLiteral("7:500")).isEmpty());
    EXPECT_EQ(view->textCursor().position, view->buffer()->lineStart(6) + view->buffer()->line(6).size());

    const TextSelection before = view->textCursor();
    const struct {
        const char *typed;
        const char *reason;
    } refused[] = {
        {"0", "줄 번호는 1부터 301까지입니다."},
        {"-4", "줄 번호는 1부터 301까지입니다."},
        {"999999", "줄 번호는 1부터 301까지입니다."},
        {"99999999999999", "줄 번호는 1부터 301까지입니다."},
        {"abc", "줄 번호를 숫자로 입력하십시오. (예: 120 또는 120:5)"},
        {"12:x", "줄 번호를 숫자로 입력하십시오. (예: 120 또는 120:5)"},
        {"12:0", "열 번호는 1부터 셉니다."},
    };
    for (const auto &r : refused) {
        SCOPED_TRACE(r.typed);
        EXPECT_EQ(goTo(view, QString::fromUtf8(r.typed)), QString::fromUtf8(r.reason));
        EXPECT_EQ(view->textCursor(), before);
    }
    // The command sits in the edit menu under its own number.
    auto *edit = frame()->findChild<QMenu *>(QStringLiteral("editMenu"));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->actions().contains(frame()->action(ids::command::kEditGoToLine)));
}

TEST_F(EditorJumpsTest, ALineOfEightMillionCharactersIsEditedAtItsEndAndSavedByteForByte)
{
    constexpr int kLength = 8'000'000;
    QByteArray line(kLength, 'q');
    for (int i = 0; i < kLength; i += 64)
        line.replace(i, 12, "v=DKIM1;k=a;");
    const QByteArray original = "; one record\n" + line;
    CQuorelView *view = startFocused("dump.txt", original);
    ASSERT_NE(view, nullptr);
    // The window at its final size first: a view narrowed after the key
    // would leave the caret where the wider one showed it.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->viewport()));
    settle();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    settle();
    ASSERT_EQ(view->textCursor().position, view->buffer()->length());
    const qreal advance = QFontMetricsF(view->font()).horizontalAdvance(QLatin1Char('q'));
    const QRect caret = view->cursorRect();
    ASSERT_TRUE(view->viewport()->rect().contains(caret));
    // Three characters back from the end, as the user sees them.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
        QPoint(static_cast<int>(caret.left() - 3 * advance + advance / 4), caret.center().y()));
    QTest::keyClicks(view, QStringLiteral("p=XY"));
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    settle();
    EXPECT_FALSE(frame()->activeDocument()->IsModified());
    const QByteArray expected = original.left(original.size() - 3) + "p=XY" + original.right(3);
    const QByteArray saved = readBytes(dir.filePath(QStringLiteral("dump.txt")));
    ASSERT_EQ(saved.size(), expected.size());
    EXPECT_TRUE(saved == expected) << saved.right(12).toHex().constData();
}

TEST_F(EditorJumpsTest, TheStatusLineSaysWhatWasNotFoundAndHowManyWereReplaced)
{
    CQuorelView *view = openNumberedZone(30);
    ASSERT_NE(view, nullptr);
    int beeps = 0;
    view->search().setBeep([&beeps] { ++beeps; });

    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    CConvFindReplaceDialog *find = view->findDialog();
    ASSERT_NE(find, nullptr);
    auto *what = find->findChild<QLineEdit *>(QStringLiteral("findWhatEdit"));
    QTest::keyClicks(what, QStringLiteral("nowhere"));
    QTest::mouseClick(find->findChild<QPushButton *>(QStringLiteral("findNextButton")), Qt::LeftButton);
    EXPECT_EQ(beeps, 1); // the beep stays
    EXPECT_EQ(messagePane(), QStringLiteral("찾는 문자열이 없습니다: nowhere"));
    // A search that finds its text takes the report back.
    what->selectAll();
    QTest::keyClicks(what, QStringLiteral("host7"));
    QTest::mouseClick(find->findChild<QPushButton *>(QStringLiteral("findNextButton")), Qt::LeftButton);
    EXPECT_EQ(view->GetSelText(), QStringLiteral("host7"));
    EXPECT_EQ(messagePane(), QStringLiteral("준비"));

    view->setFocus();
    QTest::keyClick(view, Qt::Key_H, Qt::ControlModifier);
    CConvFindReplaceDialog *replace = view->findDialog();
    ASSERT_NE(replace, nullptr);
    ASSERT_FALSE(replace->isFindOnly());
    view->setTextCursor(TextSelection {});
    auto *replaceWhat = replace->findChild<QLineEdit *>(QStringLiteral("findWhatEdit"));
    replaceWhat->selectAll();
    QTest::keyClicks(replaceWhat, QStringLiteral("host"));
    QTest::keyClicks(
        replace->findChild<QLineEdit *>(QStringLiteral("replaceWithEdit")), QStringLiteral("node"));
    auto *replaceAll = replace->findChild<QPushButton *>(
        QStringLiteral("button%1").arg(ids::control::findReplace::kReplaceAll));
    ASSERT_NE(replaceAll, nullptr);
    QTest::mouseClick(replaceAll, Qt::LeftButton);
    EXPECT_EQ(messagePane(), QStringLiteral("30개를 바꾸었습니다"));
    EXPECT_EQ(viewText(*view).count(QStringLiteral("node")), 30);
    EXPECT_FALSE(viewText(*view).contains(QStringLiteral("host")));
    // Nothing left to replace: the not-found report, and the beep.
    const int beepsBefore = beeps;
    QTest::mouseClick(replaceAll, Qt::LeftButton);
    EXPECT_EQ(messagePane(), QStringLiteral("찾는 문자열이 없습니다: host"));
    EXPECT_EQ(beeps, beepsBefore + 1);
}

// The text of every page of `pdf`, as pdftotext lays it out.
QStringList pdfPages(const QString &pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

TEST_F(EditorJumpsTest, PrintedPagesCarryTheFileNameThePageNumberAndLineNumbers)
{
    CQuorelView *view = openNumberedZone(120);
    ASSERT_NE(view, nullptr);
    const QString pdf = dir.filePath(QStringLiteral("print.pdf"));
    auto print = [&] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        view->printTo(&printer);
        return pdfPages(pdf);
    };
    const QStringList pages = print();
    ASSERT_GE(pages.size(), 2) << "is pdftotext installed (scripts/setup)?";
    QStringList body;
    for (int i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const QStringList rows = pages[i].split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_GE(rows.size(), 3);
        EXPECT_EQ(rows.first().trimmed(), frame()->activeDocument()->GetPathName());
        // pdftotext may read the footer's spaces as control characters.
        const QString footer = rows.last().normalized(QString::NormalizationForm_C);
        EXPECT_EQ(QString(footer).remove(QRegularExpression(QStringLiteral("[\\s\\p{Cc}]"))),
            QStringLiteral("쪽%1/%2").arg(i + 1).arg(pages.size()))
            << footer.toStdString();
        body << rows.mid(1, rows.size() - 2);
    }
    // Every line once, in order, after its own number.
    ASSERT_EQ(body.size(), 120);
    for (int line = 1; line <= 120; ++line) {
        const QRegularExpression numbered(QStringLiteral("^\\s*%1\\s+host%1\\s+IN\\s+A\\s").arg(line));
        EXPECT_TRUE(numbered.match(body[line - 1]).hasMatch()) << body[line - 1].toStdString();
    }

    // With the line numbers turned off, the text starts each row; the
    // header and footer stay.
    app->settings().setShowLineNumbers(false);
    const QStringList plain = print();
    ASSERT_GE(plain.size(), 2);
    EXPECT_TRUE(plain.first().contains(QStringLiteral("lines.zone")));
    EXPECT_TRUE(plain.first().contains(QRegularExpression(QStringLiteral("\\n\\s*host1\\s+IN"))));
    EXPECT_FALSE(plain.first().contains(QRegularExpression(QStringLiteral("\\n\\s*1\\s+host1\\s"))));

    // The font chosen in the settings goes to paper; the screen's zoom does
    // not, so the pages stay the same.
    EditorLook look = view->look();
    look.fontFamily = QStringLiteral("NanumMyeongjo");
    view->applyLook(look);
    const QStringList chosen = print();
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {pdf});
    ASSERT_TRUE(fonts.waitForFinished(30000));
    EXPECT_TRUE(fonts.readAllStandardOutput().contains("NanumMyeongjo"));
    look.zoom = 20;
    view->applyLook(look);
    EXPECT_EQ(print(), chosen);
}

TEST_F(EditorJumpsTest, SameNameFilesInTheOpenFilesPaneShowTheFoldersThatTellThemApart)
{
    for (const char *folder : {"a/zones", "b/zones", "c"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(folder)));
    const QString first = file("a/zones/db.zone", QByteArray("a IN A 192.0.2.1\n"));
    const QString second = file("b/zones/db.zone", QByteArray("b IN A 192.0.2.2\n"));
    const QString unique = file("c/other.zone", QByteArray("c IN A 192.0.2.3\n"));
    ASSERT_TRUE(start({first}));
    QTreeWidgetItem *root = frame()->openFileList()->rootItem();
    auto shown = [root] {
        QStringList texts;
        for (int i = 0; i < root->childCount(); ++i)
            texts << root->child(i)->text(0);
        return texts;
    };
    EXPECT_EQ(shown(), QStringList {first}); // alone, as it always was

    ASSERT_NE(app->OpenDocumentFile(second), nullptr);
    ASSERT_NE(app->OpenDocumentFile(unique), nullptr);
    ASSERT_NE(app->OpenDocumentFile(first), nullptr); // a read-only copy beside it
    settle();
    const QString dash = QStringLiteral(" — ");
    EXPECT_EQ(shown(),
        (QStringList {QStringLiteral("db.zone") + dash + QStringLiteral("a/zones"),
            QStringLiteral("db.zone") + dash + QStringLiteral("b/zones"), unique,
            QStringLiteral("db.zone - [읽기전용]") + dash + QStringLiteral("a/zones")}));
    // The entries keep the paths they were given: an open file is still found.
    EXPECT_TRUE(frame()->openFileList()->ContainsText(second));
    EXPECT_EQ(root->child(1)->toolTip(0), second);

    // With its namesake closed, the other shows as it did before.
    for (CChildFrame *child : frame()->childFrames()) {
        if (child->document()->GetPathName() == second)
            child->closeWithoutAsking();
    }
    settle();
    EXPECT_EQ(shown(), (QStringList {first, unique, QStringLiteral("db.zone - [읽기전용]")}));
}

} // namespace
