// Whole-document conversion, the string converter and the selection
// conversions, driven through the real application, its commands and views.
#include "app/quorelapp.h"
#include "apptestfixture.h"
#include "document/namebytes.h"
#include "document/quoreldoc.h"
#include "document/textbuffer.h"
#include "editor/childframe.h"
#include "editor/convresultdialog.h"
#include "editor/mainframe.h"
#include "editor/quorelview.h"
#include "editor/stringconvertdialog.h"
#include "namecodec/namecodec.h"
#include "panes/openfilelistdialog.h"
#include "platform/quorelids.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const char kZone[] = "$ORIGIN 한국.kr.\r\n"
                     "$TTL 3600\r\n"
                     "@\tIN\tSOA\tns.한국.kr. admin.한국.kr. (1 3600 900 604800 86400)\r\n"
                     "\tIN\tNS\tns.한국.kr.\r\n"
                     "www\tIN\tCNAME\t웹.한국.kr. ; 별칭\r\n"
                     "txt\tIN\tTXT\t\"한국.kr 그대로\"\r\n";

// Runs `answer` on the modal dialog the next command opens.
void whenModal(std::function<void(QWidget *)> answer)
{
    QTimer::singleShot(0, [answer] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

class ConversionAppTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        install = startInstalled();
    }
    QString file(const QString &name, const QByteArray &bytes)
    {
        return AppTest::file(name.toUtf8().constData(), bytes);
    }
    CQuorelDoc *open(const QString &path)
    {
        CQuorelDoc *doc = app->OpenDocumentFile(path);
        settle();
        return doc;
    }
    static CQuorelView *viewOf(CQuorelDoc *doc) { return qobject_cast<CChildFrame *>(doc->frame())->view(); }
    static QString textOf(CQuorelDoc *doc) { return viewText(*viewOf(doc)); }
    QStringList tempFiles() const
    {
        return QDir(install + QStringLiteral("/temp")).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    // What the library writes for the file, read the way the editor reads it.
    QString libraryResult(const QByteArray &bytes, namecodec::Encoding from, namecodec::Encoding to, int keep)
    {
        const QString in = dir.filePath(QStringLiteral("ref-in"));
        const QString out = dir.filePath(QStringLiteral("ref-out"));
        writeBytes(in, bytes);
        int line = 0;
        EXPECT_EQ(ConvertFile(QFile::encodeName(in).constData(), QFile::encodeName(out).constData(),
                      encodingCode(from), encodingCode(to), keep, &line),
            0);
        const QByteArray result = readBytes(out);
        const auto text = namecodec::decodeText(
            std::string_view(result.constData(), static_cast<std::size_t>(result.size())),
            to == namecodec::Encoding::Punycode ? from : to);
        EXPECT_TRUE(text.has_value());
        QString unicode = QString::fromUtf16(text->data(), static_cast<qsizetype>(text->size()));
        unicode.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return unicode;
    }
    QString windowTitleOf(CQuorelDoc *doc) const
    {
        return qobject_cast<CChildFrame *>(doc->frame())->windowTitle();
    }

    QString install;
};

} // namespace

TEST_F(ConversionAppTest, ConvertsBothWaysWithTheCommentOptionAndLeavesTheFileAlone)
{
    const QByteArray original = cp949(kZone);
    for (int keep : {1, 0}) {
        SCOPED_TRACE(keep);
        if (app->commentOption() != keep)
            trigger(ids::command::kComment);
        ASSERT_EQ(app->commentOption(), keep);
        const QString path = file(QStringLiteral("keep%1.zone").arg(keep), original);
        CQuorelDoc *doc = open(path);
        ASSERT_NE(doc, nullptr);
        ASSERT_FALSE(doc->IsModified());

        trigger(ids::command::kConvertToPunycode);
        const QString punycode
            = libraryResult(original, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, keep);
        EXPECT_EQ(textOf(doc), punycode);
        EXPECT_TRUE(textOf(doc).contains(QStringLiteral("xn--3e0b707e")));
        EXPECT_EQ(textOf(doc).contains(QStringLiteral("; $ORIGIN 한국.kr.")), keep == 1);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(doc->GetPathName(), QFileInfo(path).absoluteFilePath());
        EXPECT_EQ(doc->GetTitle(), QFileInfo(path).fileName());
        EXPECT_TRUE(windowTitleOf(doc).contains(QFileInfo(path).fileName()));
        EXPECT_TRUE(frame()->openFileList()->ContainsText(doc->GetPathName()));
        EXPECT_FALSE(
            frame()->openFileList()->entryTexts().join(QLatin1Char('|')).contains(QStringLiteral("conv_")));
        EXPECT_EQ(readBytes(path), original); // only a save writes the file
        EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(frame()->statusText().startsWith(QStringLiteral("변환에 실패하였습니다.")));

        trigger(ids::command::kConvertToEucKr);
        QByteArray converted = encodeNameText(punycode, namecodec::Encoding::Cp949).value();
        converted.replace("\n", "\r\n");
        EXPECT_EQ(textOf(doc),
            libraryResult(converted, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949, keep));
        EXPECT_TRUE(tempFiles().isEmpty());

        // Saved, the converted text lands in the file with its CRLF breaks.
        ASSERT_TRUE(doc->DoFileSave());
        EXPECT_TRUE(readBytes(path).contains("\r\n"));
        if (keep == 0) {
            EXPECT_EQ(readBytes(path), original);
        }
        qobject_cast<CChildFrame *>(doc->frame())->closeWithoutAsking();
        settle();
    }
}

// A large file with LF breaks is read back by the quick reader, in two
// halves and into shared blocks of characters: the text must still be the
// library's to the character, take typing like any text, and undo and save
// as before.
TEST_F(ConversionAppTest, ALargeLfFileConvertsExactlyAndTakesEditsUndoAndSave)
{
    QByteArray original;
    for (int i = 0; original.size() < 1300 * 1024; ++i)
        original += cp949(QStringLiteral("웹%1\tIN\tCNAME\t똠햏.한국.kr.\nwww%1\tIN\tA\t10.0.0.1\n")
                              .arg(i)
                              .toUtf8()
                              .constData());
    if (app->commentOption() != 1)
        trigger(ids::command::kComment);
    const QString path = file(QStringLiteral("large.zone"), original);
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    const QString opened = textOf(doc);

    trigger(ids::command::kConvertToPunycode);
    const QString punycode
        = libraryResult(original, namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, 1);
    ASSERT_EQ(textOf(doc), punycode);
    EXPECT_TRUE(tempFiles().isEmpty());

    // Typing into a line in the middle changes that line alone.
    CQuorelView *view = viewOf(doc);
    const TextBuffer *text = doc->textBuffer();
    const int middle = text->lineCount() / 2;
    const QString middleLine = text->line(middle);
    view->setTextCursor(TextSelection {text->lineStart(middle) + 3, text->lineStart(middle) + 3});
    view->setFocus();
    QTest::keyClicks(view, QStringLiteral("zq"));
    EXPECT_EQ(text->line(middle), middleLine.left(3) + QStringLiteral("zq") + middleLine.mid(3));
    EXPECT_EQ(text->line(middle + 1), punycode.split(u'\n').at(middle + 1));
    QTest::keySequence(view, QKeySequence::Undo);
    settle();
    EXPECT_EQ(textOf(doc), punycode);

    // Undo gives back the opened text, redo the converted one, which
    // converts back and saves as the library has it.
    QTest::keySequence(view, QKeySequence::Undo);
    settle();
    EXPECT_EQ(textOf(doc), opened);
    QTest::keySequence(view, QKeySequence::Redo);
    settle();
    EXPECT_EQ(textOf(doc), punycode);
    trigger(ids::command::kComment);
    trigger(ids::command::kConvertToEucKr);
    const QString back = libraryResult(encodeNameText(punycode, namecodec::Encoding::Cp949).value(),
        namecodec::Encoding::Punycode, namecodec::Encoding::Cp949, 0);
    EXPECT_EQ(textOf(doc), back);
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path), encodeNameText(back, namecodec::Encoding::Cp949).value());
}

TEST_F(ConversionAppTest, AFailureSelectsTheLineAndChangesNothing)
{
    QByteArray zone = cp949("$ORIGIN 한국.kr.\n");
    for (int i = 1; i <= 300; ++i)
        zone += cp949("host") + QByteArray::number(i) + "\tIN\tA\t10.0.0.1\n";
    const QByteArray bad = cp949("한글_\tIN\tA\t10.0.0.2\n");
    const QByteArray tail = cp949("끝\tIN\tA\t10.0.0.3\n");

    // The failing line in the middle (line 152) and on the last screenful
    // (the second to last line).
    const struct {
        QByteArray bytes;
        int line;
        bool modifiedBefore;
    } cases[] = {
        {zone.left(zone.indexOf("host151\t")) + bad + zone.mid(zone.indexOf("host151\t")), 152, false},
        {zone + bad + tail, 302, true},
    };
    int n = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        const QString path = file(QStringLiteral("bad%1.zone").arg(++n), c.bytes);
        CQuorelDoc *doc = open(path);
        ASSERT_NE(doc, nullptr);
        CQuorelView *view = viewOf(doc);
        frame()->SetStatusText(QString());
        if (c.modifiedBefore) {
            moveCaretToEnd(*view);
            view->insertText(QStringLiteral("; 고침\n"));
        }
        const QString before = textOf(doc);

        prompter.messages.clear();
        trigger(ids::command::kConvertToPunycode);
        EXPECT_TRUE(frame()->statusText().startsWith(
            QStringLiteral("변환에 실패하였습니다. %1번째 줄 1열: '한글_'").arg(c.line)))
            << frame()->statusText().toStdString();
        EXPECT_EQ(textOf(doc), before);
        EXPECT_EQ(doc->IsModified(), c.modifiedBefore);
        // The one message lists the one failing line with the library's reason.
        ASSERT_EQ(prompter.messages.size(), 1);
        EXPECT_TRUE(prompter.messages.first().startsWith(
            QStringLiteral("변환에 실패하였습니다.\n\n%1번째 줄 1열: '한글_'").arg(c.line)))
            << prompter.messages.first().toStdString();
        EXPECT_TRUE(tempFiles().isEmpty());
        EXPECT_EQ(readBytes(path), c.bytes);
        EXPECT_EQ(frame()->openFileList()->entryTexts().count(doc->GetPathName()), 1);

        EXPECT_EQ(view->selectedText(), QStringLiteral("한글"));
        EXPECT_EQ(view->buffer()->lineOf(view->textCursor().start()), c.line - 1);
        const int first = topLine(*view);
        const int last = bottomLine(*view);
        EXPECT_LE(first, c.line - 1);
        EXPECT_GE(last, c.line - 1);
        if (c.modifiedBefore) {
            // Near the end the last lines fill the view.
            EXPECT_EQ(last, view->buffer()->lineCount() - 1);
            EXPECT_GT(first, 0);
        } else {
            EXPECT_EQ(first, c.line - 1);
        }
    }
}

TEST_F(ConversionAppTest, ClosingTheWindowWaitsForTheConversion)
{
    QByteArray zone = cp949("$ORIGIN 한국.kr.\n");
    for (int i = 0; i < 20000; ++i)
        zone += cp949("가나다\tIN\tCNAME\t라마.한국.kr.\n");
    const QString path = file(QStringLiteral("long.zone"), zone);
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    auto *window = qobject_cast<CChildFrame *>(doc->frame());

    // Both close requests arrive while the library works on its thread.
    QTimer::singleShot(0, [this, window] {
        window->close();
        frame()->close();
    });
    trigger(ids::command::kConvertToPunycode);
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(textOf(doc).contains(QStringLiteral("xn--")));
    EXPECT_TRUE(prompter.questions.isEmpty());
}

TEST_F(ConversionAppTest, AReadOnlyCopyIsRefused)
{
    const QString path = file(QStringLiteral("a.zone"), cp949(kZone));
    ASSERT_NE(open(path), nullptr);
    CQuorelDoc *copy = open(path);
    ASSERT_NE(copy, nullptr);
    ASSERT_TRUE(copy->isReadOnly());
    const QString before = textOf(copy);

    trigger(ids::command::kConvertToPunycode);
    EXPECT_EQ(prompter.messages, QStringList {QStringLiteral("읽기전용 파일은 변환할수 없습니다.")});
    EXPECT_EQ(textOf(copy), before);
    EXPECT_FALSE(copy->IsModified());
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(ConversionAppTest, AUtf8DocumentStaysUtf8ThroughARoundTrip)
{
    // 国 has no code page 949 form: only UTF-8 can carry this file.
    const QByteArray original("www\tIN\tCNAME\t中国.한국.kr.\nmail\tIN\tA\t10.0.0.1\n");
    const QString path = file(QStringLiteral("utf8.zone"), original);
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->encoding(), namecodec::Encoding::Utf8);

    trigger(ids::command::kConvertToPunycode);
    EXPECT_EQ(
        textOf(doc), libraryResult(original, namecodec::Encoding::Utf8, namecodec::Encoding::Punycode, 1));
    EXPECT_TRUE(textOf(doc).contains(QStringLiteral("\nwww\tIN\tCNAME\txn--fiqs8s.xn--3e0b707e.kr.\n")));
    EXPECT_EQ(doc->encoding(), namecodec::Encoding::Utf8);

    trigger(ids::command::kComment); // off: the way back gives the original lines only
    trigger(ids::command::kConvertToEucKr);
    ASSERT_TRUE(doc->DoFileSave());
    const QByteArray saved = readBytes(path);
    EXPECT_TRUE(saved.contains("www\tIN\tCNAME\t中国.한국.kr."));
    EXPECT_TRUE(saved.contains("; www\tIN\tCNAME\t中国.한국.kr.")); // the comment of the first conversion
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(ConversionAppTest, AByteOrderMarkStaysOutOfTheConversionAndInTheFile)
{
    const QByteArray original("\xEF\xBB\xBFwww.한국.kr.\tIN\tA\t10.0.0.1\n");
    const QString path = file(QStringLiteral("bom.zone"), original);
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    trigger(ids::command::kComment); // off
    trigger(ids::command::kConvertToPunycode);
    EXPECT_EQ(textOf(doc), QStringLiteral("www.xn--3e0b707e.kr.\tIN\tA\t10.0.0.1\n"));
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path), QByteArray("\xEF\xBB\xBFwww.xn--3e0b707e.kr.\tIN\tA\t10.0.0.1\n"));
}

TEST_F(ConversionAppTest, ACharacterTheFileCannotHoldIsReportedOnItsLine)
{
    const QString path = file(QStringLiteral("a.zone"), cp949(kZone));
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    CQuorelView *view = viewOf(doc);
    const int fourthLine = view->buffer()->lineStart(3);
    view->setTextCursor(TextSelection {fourthLine, fourthLine});
    view->insertText(QStringLiteral("国"));
    const QString before = textOf(doc);

    trigger(ids::command::kConvertToPunycode);
    EXPECT_EQ(prompter.messages,
        QStringList {QStringLiteral("4번째 줄에 EUC-KR(으)로 쓸 수 없는 문자가 있어 변환하지 않았습니다.")});
    EXPECT_EQ(frame()->statusText(), QStringLiteral("변환에 실패하였습니다."));
    EXPECT_EQ(textOf(doc), before);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(caretLine(*view), 3);
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(ConversionAppTest, AMissingTemporaryDirectoryIsReportedAndChangesNothing)
{
    const QString path = file(QStringLiteral("a.zone"), cp949(kZone));
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(QDir(install + QStringLiteral("/temp")).removeRecursively());
    const QString before = textOf(doc);

    trigger(ids::command::kConvertToPunycode);
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages.first().contains(QStringLiteral("임시 파일")));
    EXPECT_EQ(frame()->statusText(), QStringLiteral("변환에 실패하였습니다."));
    EXPECT_EQ(textOf(doc), before);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ConversionAppTest, TheStringConverterIsKeptWithItsHistory)
{
    auto enterAndClose = [](const QString &name) {
        whenModal([name](QWidget *dialog) {
            auto *input = dialog->findChild<QComboBox *>(QStringLiteral("control1006"));
            input->lineEdit()->setText(name);
            QTest::mouseClick(
                dialog->findChild<QPushButton *>(QStringLiteral("control1015")), Qt::LeftButton);
            EXPECT_EQ(dialog->findChild<QPlainTextEdit *>(QStringLiteral("control1004"))->toPlainText(),
                QStringLiteral("xn--3e0b707e.kr"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
    };
    enterAndClose(QStringLiteral("한국.kr"));
    trigger(ids::command::kStringConvert);
    CStringConvertDialog *first = app->stringConverter();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parentWidget(), frame());
    EXPECT_FALSE(first->isVisible());

    QStringList shown;
    whenModal([&shown](QWidget *dialog) {
        auto *input = dialog->findChild<QComboBox *>(QStringLiteral("control1006"));
        for (int i = 0; i < input->count(); ++i)
            shown << input->itemText(i);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    trigger(ids::command::kStringConvert);
    EXPECT_EQ(app->stringConverter(), first);
    EXPECT_EQ(shown, QStringList {QStringLiteral("한국.kr")});
}

TEST_F(ConversionAppTest, TheContextMenuConvertsTheSelectionAsOneUndoStep)
{
    const QString path = file(QStringLiteral("a.zone"), cp949(kZone));
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    CQuorelView *view = viewOf(doc);
    const QString before = textOf(doc);
    const int start = before.indexOf(QStringLiteral("웹.한국.kr."));
    view->setTextCursor(TextSelection {start, start + 8});

    view->updateContextMenu();
    QAction *toPunycode = view->contextMenu()->findChild<QAction *>(
        QStringLiteral("ctx%1").arg(ids::command::kSelectionToPunycode));
    ASSERT_NE(toPunycode, nullptr);
    ASSERT_TRUE(toPunycode->isEnabled());
    whenModal([](QWidget *dialog) {
        ASSERT_NE(qobject_cast<CConvResultDialog *>(dialog), nullptr);
        QTest::mouseClick(dialog->findChild<QCheckBox *>(QStringLiteral("control1013")), Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("control1")), Qt::LeftButton);
    });
    toPunycode->trigger();
    settle();
    QString after = before;
    after.replace(start, 8, QStringLiteral("xn--yq5b.xn--3e0b707e.kr."));
    EXPECT_EQ(textOf(doc), after);
    EXPECT_TRUE(doc->IsModified());

    view->undo();
    EXPECT_EQ(textOf(doc), before);

    // Back the other way, through 32799.
    const int nameServer = before.indexOf(QStringLiteral("ns.한국"));
    view->setTextCursor(TextSelection {nameServer, nameServer + 8});
    view->updateContextMenu();
    QAction *toEucKr = view->contextMenu()->findChild<QAction *>(
        QStringLiteral("ctx%1").arg(ids::command::kSelectionToEucKr));
    ASSERT_NE(toEucKr, nullptr);
    QString shown;
    whenModal([&shown](QWidget *dialog) {
        shown = qobject_cast<CConvResultDialog *>(dialog)->displayText();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    toEucKr->trigger();
    settle();
    EXPECT_EQ(shown, QStringLiteral("입력 코드 -PUNY : ns.한국.kr\n출력 코드 -EucKr : ns.한국.kr\n"));
    EXPECT_EQ(textOf(doc), before);
}

namespace {

// A change-log header longer than the first 64 KiB of the file, as real zone
// and configuration files carry: Hangul words, dotted Hangul runs and
// `marker` comments only.
QString longCommentHeader(const QString &marker)
{
    QString header;
    for (int i = 1; i <= 1200; ++i)
        header += QStringLiteral(
            "%1 %2. 변경 기록: 웹.예제.한국 과 메일.예제.한국 을 새 서버로 옮김 (담당 홍길동)\n")
                      .arg(marker)
                      .arg(i);
    return header;
}

// Runs a real checker; "" when it is not installed.
QString checkerPath(const QString &name)
{
    return QStandardPaths::findExecutable(name,
        {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/sbin"),
            QStringLiteral("/bin")});
}

int namedCheckzone(const QString &origin, const QString &path, QString *output)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(checkerPath(QStringLiteral("named-checkzone")),
        {QStringLiteral("-k"), QStringLiteral("fail"), origin, path});
    if (!check.waitForFinished(30000))
        return -1;
    *output = QString::fromLocal8Bit(check.readAll());
    return check.exitStatus() == QProcess::NormalExit ? check.exitCode() : -1;
}

} // namespace

TEST_F(ConversionAppTest, AZoneFileWithALongCommentHeaderIsConvertedAsAZoneFile)
{
    if (checkerPath(QStringLiteral("named-checkzone")).isEmpty())
        GTEST_FAIL() << "bind9-utils is not installed (scripts/setup installs it)";
    const QString header = longCommentHeader(QStringLiteral(";"));
    const QString records = QStringLiteral("$ORIGIN 예제.한국.\n"
                                           "$TTL 3600\n"
                                           "@\tIN\tSOA\tns.예제.한국. 관리자.예제.한국. (\n"
                                           "\t\t2024010101 ; 일련번호 예제.한국\n"
                                           "\t\t3600 900 604800 86400 )\n"
                                           "\tIN\tNS\tns.예제.한국.\n"
                                           "\tIN\tMX\t10 메일.예제.한국.\n"
                                           "ns\tIN\tA\t192.0.2.1\n"
                                           "메일\tIN\tA\t192.0.2.2\n"
                                           "웹\tIN\tA\t192.0.2.3\n"
                                           "www\tIN\tCNAME\t웹.예제.한국. ; 새 주소 웹.예제.한국\n"
                                           "spf\tIN\tTXT\t\"v=spf1 a:메일.예제.한국 -all\"\n"
                                           "안내\tIN\tTXT\t\"웹.예제.한국 으로 오세요; 세미콜론도 글자\"\n");
    const QByteArray original = cp949((header + records).toUtf8().constData());
    ASSERT_GT(cp949(header.toUtf8().constData()).size(), 70 * 1024);
    const QString path = file(QStringLiteral("예제.한국.zone"), original);
    const QString origin = QStringLiteral("xn--2j5b21b.xn--3e0b707e");
    QString output;
    ASSERT_NE(namedCheckzone(origin, path, &output), 0) << "the unconverted file must be refused";

    if (app->commentOption() != 1)
        trigger(ids::command::kComment);
    CQuorelDoc *doc = open(path);
    ASSERT_NE(doc, nullptr);
    trigger(ids::command::kConvertToPunycode);
    ASSERT_TRUE(doc->IsModified()) << frame()->statusText().toStdString();
    const QString converted = textOf(doc);
    const QStringList lines = converted.split(QLatin1Char('\n'));

    // The header, every TXT string and every comment stay as written.
    EXPECT_TRUE(converted.startsWith(header));
    EXPECT_TRUE(converted.contains(QStringLiteral("\nspf\tIN\tTXT\t\"v=spf1 a:메일.예제.한국 -all\"\n")));
    EXPECT_FALSE(converted.contains(QStringLiteral("; spf")));
    EXPECT_TRUE(
        converted.contains(QStringLiteral("\tIN\tTXT\t\"웹.예제.한국 으로 오세요; 세미콜론도 글자\"\n")));
    EXPECT_TRUE(converted.contains(QStringLiteral("2024010101 ; 일련번호 예제.한국\n")));
    EXPECT_TRUE(converted.contains(QStringLiteral("; 새 주소 웹.예제.한국\n")));
    // The names change, each changed line kept above it as a zone comment.
    EXPECT_TRUE(lines.contains(QStringLiteral("$ORIGIN xn--2j5b21b.xn--3e0b707e.")));
    EXPECT_TRUE(lines.contains(QStringLiteral("; $ORIGIN 예제.한국.")));
    EXPECT_TRUE(converted.contains(QStringLiteral("\tIN\tMX\t10 xn--h32bq4v.xn--2j5b21b.xn--3e0b707e.\n")));
    EXPECT_FALSE(converted.contains(QStringLiteral("\n메일\tIN\tA")));
    for (const QString &line : lines)
        EXPECT_FALSE(line.startsWith(QLatin1Char('#'))) << line.toStdString();
    // Exactly what the library writes when told the file is a zone file.
    const QString in = dir.filePath(QStringLiteral("ref-in"));
    const QString out = dir.filePath(QStringLiteral("ref-out"));
    writeBytes(in, original);
    int line = 0;
    ASSERT_EQ(ConvertFileAs(QFile::encodeName(in).constData(), QFile::encodeName(out).constData(), 4, 2, 1,
                  NAMECODEC_KIND_ZONE, &line),
        0);
    EXPECT_EQ(cp949(converted.toUtf8().constData()), readBytes(out));

    // Saved, the file is one BIND loads.
    ASSERT_TRUE(doc->DoFileSave());
    EXPECT_EQ(readBytes(path), readBytes(out));
    EXPECT_EQ(namedCheckzone(origin, path, &output), 0) << output.toStdString();
}

TEST_F(ConversionAppTest, ADocumentFromTheVirtualHostTemplateIsConvertedAsAWebServerFile)
{
    const QString header = longCommentHeader(QStringLiteral("#"));
    const QString body = QStringLiteral("<VirtualHost *:80>\n"
                                        "    ServerName 예제.한국\n"
                                        "    ServerAlias www.예제.한국\n"
                                        "    DocumentRoot /var/www/예제.한국\n"
                                        "    # 옛 주소 웹.예제.한국\n"
                                        "</VirtualHost>\n");
    const QString sample
        = file(QStringLiteral("vhost-template.conf"), cp949((header + body).toUtf8().constData()));
    machine->setValue(QStringLiteral("SampleVirtualHostConfPath"), sample);
    if (app->commentOption() != 1)
        trigger(ids::command::kComment);
    trigger(ids::command::kNewVirtualHost);
    CQuorelDoc *doc = frame()->activeDocument();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->GetPathName().isEmpty());
    trigger(ids::command::kConvertToPunycode);
    ASSERT_TRUE(doc->IsModified()) << frame()->statusText().toStdString();
    EXPECT_EQ(textOf(doc),
        header
            + QStringLiteral("<VirtualHost *:80>\n"
                             "#     ServerName 예제.한국\n"
                             "    ServerName xn--2j5b21b.xn--3e0b707e\n"
                             "#     ServerAlias www.예제.한국\n"
                             "    ServerAlias www.xn--2j5b21b.xn--3e0b707e\n"
                             "    DocumentRoot /var/www/예제.한국\n"
                             "    # 옛 주소 웹.예제.한국\n"
                             "</VirtualHost>\n"));
}
