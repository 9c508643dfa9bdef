// Hangul hosts a whole-document conversion left inside rules, seen through
// the real application: the status line, the result list and its jump to
// the rule in the converted text.
#include "apptestfixture.h"
#include "editor/convresultdialog.h"
#include "platform/quorelids.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

namespace {

QByteArray dataBytes(const char *name)
{
    QFile file(QStringLiteral(QUOREL_TEST_DATA "/namecodec/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

class ConversionWarningsTest : public AppTest {
protected:
    CConvResultDialog *warningList() const
    {
        return frame()->findChild<CConvResultDialog *>(CConvResultDialog::warningsName());
    }
};

} // namespace

TEST_F(ConversionWarningsTest, TheListShowsEachRuleAndTakesTheViewToItsLine)
{
    startInstalled();
    ASSERT_EQ(app->commentOption(), 1); // kept copies move the rules down
    CQuorelDoc *doc = app->OpenDocumentFile(file("site.conf", dataBytes("rules-nginx.conf")));
    settle();
    ASSERT_NE(doc, nullptr);
    CQuorelView *view = qobject_cast<CChildFrame *>(doc->frame())->view();

    trigger(ids::command::kConvertToPunycode);
    CConvResultDialog *dialog = warningList();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("warningList"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 5);
    EXPECT_EQ(frame()->statusText(),
        QStringLiteral("변환하였습니다. ") + list->topLevelItem(0)->text(0) + QStringLiteral(" 외 4곳"));

    // The if on $host: its line in the converted text, below the kept copies.
    QTreeWidgetItem *item = list->topLevelItem(3);
    EXPECT_TRUE(item->text(0).contains(QStringLiteral("'www.예제.한국'"))) << item->text(0).toStdString();
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    const int line = caretLine(*view);
    EXPECT_EQ(item->text(0),
        QStringLiteral("%1번째 줄: 규칙 안의 한글 호스트 'www.예제.한국'는 바뀌지 않았습니다").arg(line + 1));
    EXPECT_EQ(doc->textBuffer()->line(line), QStringLiteral("    if ($host = www.예제.한국) {"));
    EXPECT_EQ(view->textCursor().position - doc->textBuffer()->lineStart(line), 16);

    // Converting back leaves nothing to warn of, and the old list, whose
    // lines have moved, goes.
    trigger(ids::command::kConvertToEucKr);
    EXPECT_EQ(warningList(), nullptr);
}

// A file with more such rules than the list keeps: the status line and the
// list's heading count them all, and the heading says the list holds only
// the first thousand.
TEST_F(ConversionWarningsTest, RulesPastTheListsLimitAreCountedAndSaidToBeLeftOut)
{
    startInstalled();
    QByteArray conf("map $host $site_root {\n    hostnames;\n");
    for (int i = 0; i < 1003; ++i)
        conf += QStringLiteral("    \"~^블로그%1\\.한국$\" /srv/www/%1;\n").arg(i).toUtf8();
    conf += "}\n";
    CQuorelDoc *doc = app->OpenDocumentFile(file("many.conf", conf));
    settle();
    ASSERT_NE(doc, nullptr);

    trigger(ids::command::kConvertToPunycode);
    CConvResultDialog *dialog = warningList();
    ASSERT_NE(dialog, nullptr);
    auto *list = dialog->findChild<QTreeWidget *>(QStringLiteral("warningList"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItemCount(), 1000);
    EXPECT_EQ(frame()->statusText(),
        QStringLiteral("변환하였습니다. ") + list->topLevelItem(0)->text(0) + QStringLiteral(" 외 1002곳"));
    auto *summary = dialog->findChild<QLabel *>(QStringLiteral("warningSummary"));
    ASSERT_NE(summary, nullptr);
    EXPECT_TRUE(summary->text().startsWith(
        QStringLiteral("변환하였습니다. 규칙 안의 한글 호스트 1003곳은 바뀌지 않았습니다.\n"
                       "목록에는 앞의 1000곳만 있습니다.\n")))
        << summary->text().toStdString();
}
