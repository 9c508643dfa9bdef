// The colours and name marks of a zone file as the user meets them in
// Quorel: the tool tip under the pointer on a name the conversion changes,
// on an xn-- label and on a name it would refuse, and the red wave painted
// under that last one only.
#include "apptestfixture.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

namespace {

class HighlightTest : public AppTest {
protected:
    // The tool tip shown when the pointer rests on the middle of `column`
    // of `line`.
    QString toolTipAt(CQuorelView *view, int line, int column)
    {
        // A tip asked to hide goes after a delay, keeping its text: a text
        // of the test's own tells that none was shown for this point.
        const QString none = QStringLiteral("(no tip)");
        QToolTip::showText(view->viewport()->mapToGlobal(QPoint()), none, view->viewport());
        const int position = view->buffer()->lineStart(line) + column;
        const QRect left = view->cursorRectAt(position);
        const QRect right = view->cursorRectAt(position + 1);
        const QPoint at((left.left() + right.left()) / 2, left.center().y());
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        return QToolTip::isVisible() && QToolTip::text() != none ? QToolTip::text() : QString();
    }
    // Columns of the viewport under the row of `line` that hold red ink.
    static QList<int> redColumns(CQuorelView *view, int line)
    {
        const QImage image = view->viewport()->grab().toImage();
        const int top = view->cursorRectAt(view->buffer()->lineStart(line)).top();
        QList<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = top; y < top + view->lineHeight() && y < image.height(); ++y) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 110 && c.blue() < 110) {
                    columns.append(x);
                    break;
                }
            }
        }
        return columns;
    }
};

TEST_F(HighlightTest, NamesShowWhatTheConversionMakesOfThemAndARefusedOneIsWavedInRed)
{
    const QString longLabel = QStringLiteral("가나다라마바사아자차카타파하가나다라마바사아자차카타");
    const QString text = QStringLiteral("$ORIGIN 예제.한국.\n$TTL 3600\nwww\tIN\tA\t192.0.2.1\n"
                                        "메일\tIN\tCNAME\txn--2j5b21b.xn--3e0b707e.\n%1\tIN\tA\t192.0.2.2\n")
                             .arg(longLabel);
    CQuorelView *view = startFocused("example.zone", cp949(text.toUtf8().constData()));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->nameHighlighter(), nullptr);
    EXPECT_EQ(view->nameHighlighter()->kind(), namecodec::FileKind::Zone);
    settle();

    const QString ace
        = QString::fromStdString(namecodec::toAscii("예제.한국.", namecodec::Encoding::Utf8).value());
    EXPECT_EQ(toolTipAt(view, 0, 9), QStringLiteral("Punycode로 바꾸면: %1").arg(ace));
    EXPECT_EQ(toolTipAt(view, 3, 0),
        QStringLiteral("Punycode로 바꾸면: %1")
            .arg(QString::fromStdString(namecodec::toAscii("메일", namecodec::Encoding::Utf8).value())));
    // Both xn-- labels of the target tell the whole name in Hangul.
    EXPECT_EQ(toolTipAt(view, 3, 13), QStringLiteral("한글 이름: 예제.한국."));
    EXPECT_EQ(toolTipAt(view, 3, 28), QStringLiteral("한글 이름: 예제.한국."));
    // Not on the dot between them, nor on the record's type or address.
    EXPECT_EQ(toolTipAt(view, 3, 23), QString());
    EXPECT_EQ(toolTipAt(view, 3, 7), QString());
    EXPECT_EQ(toolTipAt(view, 2, 10), QString());
    const QString refused = toolTipAt(view, 4, 2);
    EXPECT_TRUE(refused.startsWith(QStringLiteral("변환할 수 없는 이름: "))) << refused.toStdString();
    EXPECT_GT(refused.size(), 16);

    // The wave is red and under the refused name alone.
    const QList<int> red = redColumns(view, 4);
    ASSERT_FALSE(red.isEmpty());
    const int nameEnd
        = view->cursorRectAt(view->buffer()->lineStart(4) + static_cast<int>(longLabel.size())).left();
    EXPECT_LE(red.last(), nameEnd + 1);
    EXPECT_GT(red.size(), (nameEnd - view->cursorRectAt(view->buffer()->lineStart(4)).left()) / 2);
    for (int line : {0, 2, 3})
        EXPECT_TRUE(redColumns(view, line).isEmpty()) << line;

    // An edit that mends the name takes its mark away.
    view->setTextCursor({view->buffer()->lineStart(4) + 2, view->buffer()->lineStart(4) + 20});
    QTest::keyClick(view, Qt::Key_Delete);
    settle();
    EXPECT_TRUE(redColumns(view, 4).isEmpty());
    EXPECT_TRUE(toolTipAt(view, 4, 1).startsWith(QStringLiteral("Punycode로 바꾸면: ")));
}

TEST_F(HighlightTest, ABlockCommentFarAboveKeepsItsNamesUnmarkedWhereverTheViewStarts)
{
    // A named.conf whose zone statement sits inside a comment opened 600
    // lines above it, past the first kept scanner, and one outside.
    QString text = QStringLiteral("/* retired zones\n");
    for (int i = 0; i < 600; ++i)
        text += QStringLiteral("   note %1\n").arg(i);
    text += QStringLiteral(
        "zone \"옛날.한국\" { type master; };\n*/\nzone \"새.한국\" { type master; file \"새.zone\"; };\n");
    CQuorelView *view = startFocused("named.conf", cp949(text.toUtf8().constData()));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->nameHighlighter()->kind(), namecodec::FileKind::NamedConf);
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    settle();
    EXPECT_EQ(toolTipAt(view, 601, 7), QString());
    EXPECT_TRUE(toolTipAt(view, 603, 7).startsWith(QStringLiteral("Punycode로 바꾸면: ")));
    // Commenting out the line that opened the comment brings its mark.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(view, QStringLiteral("// "));
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(toolTipAt(view, 601, 7).startsWith(QStringLiteral("Punycode로 바꾸면: ")));
}

} // namespace
