// The string converter and the conversion result dialog, driven through
// their real widgets with the real libnamecodec behind them.
#include "document/namebytes.h"
#include "editor/convresultdialog.h"
#include "editor/stringconvertdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

QString repeated(const QString &unit, int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += unit;
    return text;
}

QByteArray cp949(const QString &text)
{
    return encodeNameText(text, namecodec::Encoding::Cp949).value();
}

template <typename T> T *control(QWidget *dialog, int id)
{
    T *widget = dialog->findChild<T *>(QStringLiteral("control%1").arg(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

// A shown string converter with a recorded message box.
class StringConverterDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.setMessageHandler([this](const QString &text) { messages << text; });
        open();
    }
    void TearDown() override
    {
        if (dialog.isVisible())
            dialog.done(0);
    }

    void open() { dialog.show(); }
    void reopen()
    {
        dialog.done(0);
        open();
    }

    QComboBox *input() { return control<QComboBox>(&dialog, ids::control::stringConvert::kInputCombo); }
    QString eucKr()
    {
        return control<QPlainTextEdit>(&dialog, ids::control::stringConvert::kEucKrOutputEdit)->toPlainText();
    }
    QString punycode()
    {
        return control<QPlainTextEdit>(&dialog, ids::control::stringConvert::kPunycodeOutputEdit)
            ->toPlainText();
    }
    QCheckBox *check(int id) { return control<QCheckBox>(&dialog, id); }

    void enter(const QString &text)
    {
        input()->lineEdit()->clear();
        input()->lineEdit()->setText(text);
        QTest::mouseClick(
            control<QPushButton>(&dialog, ids::control::stringConvert::kConvertButton), Qt::LeftButton);
    }
    QStringList items()
    {
        QStringList list;
        for (int i = 0; i < input()->count(); ++i)
            list << input()->itemText(i);
        return list;
    }

    CStringConvertDialog dialog;
    QStringList messages;
};

} // namespace

TEST(CheckLabelLength, CountsEachLabelInCodePage949Bytes)
{
    const struct {
        QString name;
        bool passes;
    } cases[] = {
        {repeated(QStringLiteral("가"), 17), true},
        {repeated(QStringLiteral("가"), 18), false},
        {repeated(QStringLiteral("a"), 34), true},
        {repeated(QStringLiteral("a"), 35), false},
        {repeated(QStringLiteral("가"), 16) + QStringLiteral("ab"), true},
        {repeated(QStringLiteral("가"), 16) + QStringLiteral("abc"), false},
        {QStringLiteral("www.") + repeated(QStringLiteral("가"), 17) + QStringLiteral(".kr"), true},
        {QStringLiteral("www.") + repeated(QStringLiteral("가"), 18) + QStringLiteral(".kr"), false},
        {QStringLiteral("한글.") + repeated(QStringLiteral("a"), 35), false}, // the last label too
        {QStringLiteral("한글..kr"), true},
        {QStringLiteral(".한글.kr"), true},
        {QStringLiteral("한글.kr."), true},
        {QString(), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(CheckLabelLength(cp949(c.name)), c.passes);
    }
}

TEST_F(StringConverterDialogTest, OpensWithEucKrInputAndAllOutputsAndConvertsBothWays)
{
    EXPECT_TRUE(control<QRadioButton>(&dialog, ids::control::stringConvert::kEucKrInputRadio)->isChecked());
    EXPECT_TRUE(check(ids::control::stringConvert::kAllOutputsCheck)->isChecked());
    EXPECT_FALSE(check(ids::control::stringConvert::kEucKrOutputCheck)->isChecked());
    EXPECT_FALSE(check(ids::control::stringConvert::kPunycodeOutputCheck)->isChecked());

    enter(QStringLiteral("  www.한국.kr  "));
    EXPECT_EQ(eucKr(), QStringLiteral("www.한국.kr")); // 4 -> 4 goes through the library too
    EXPECT_EQ(punycode(), QStringLiteral("www.xn--3e0b707e.kr"));
    EXPECT_EQ(items(), QStringList {QStringLiteral("www.한국.kr")});
    EXPECT_TRUE(messages.isEmpty());

    QTest::mouseClick(
        control<QRadioButton>(&dialog, ids::control::stringConvert::kPunycodeInputRadio), Qt::LeftButton);
    enter(QStringLiteral("xn--3e0b707e.kr"));
    EXPECT_EQ(eucKr(), QStringLiteral("한국.kr"));
    EXPECT_EQ(punycode(), QStringLiteral("xn--3e0b707e.kr"));
}

TEST_F(StringConverterDialogTest, OneOutputBoxAloneConvertsOnlyThatWay)
{
    QTest::mouseClick(check(ids::control::stringConvert::kAllOutputsCheck), Qt::LeftButton);
    QTest::mouseClick(check(ids::control::stringConvert::kEucKrOutputCheck), Qt::LeftButton);
    enter(QStringLiteral("www.한글.kr")); // EUC-KR to EUC-KR, through the library
    EXPECT_EQ(eucKr(), QStringLiteral("www.한글.kr"));
    EXPECT_EQ(punycode(), QString());

    // A name the library refuses leaves the empty buffer in the box.
    QTest::mouseClick(check(ids::control::stringConvert::kEucKrOutputCheck), Qt::LeftButton);
    QTest::mouseClick(check(ids::control::stringConvert::kPunycodeOutputCheck), Qt::LeftButton);
    enter(QStringLiteral("한글_.kr"));
    EXPECT_EQ(eucKr(), QString());
    EXPECT_EQ(punycode(), QString());
    EXPECT_EQ(items().first(), QStringLiteral("한글_.kr"));
}

TEST_F(StringConverterDialogTest, LabelRuleRefusesBeforeAnythingChanges)
{
    enter(QStringLiteral("한국.kr"));
    const QString shown = punycode();

    enter(repeated(QStringLiteral("가"), 18) + QStringLiteral(".kr"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(
        messages.first(), QStringLiteral("도메인을 구성하는 라벨의 길이가 한글17(영문34)자를 넘어섭니다."));
    EXPECT_EQ(items(), QStringList {QStringLiteral("한국.kr")});
    EXPECT_EQ(punycode(), shown);

    // The rule holds for Punycode input as well.
    QTest::mouseClick(
        control<QRadioButton>(&dialog, ids::control::stringConvert::kPunycodeInputRadio), Qt::LeftButton);
    enter(repeated(QStringLiteral("a"), 35) + QStringLiteral(".kr"));
    EXPECT_EQ(messages.size(), 2);
    enter(repeated(QStringLiteral("a"), 34) + QStringLiteral(".kr"));
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(items().first(), repeated(QStringLiteral("a"), 34) + QStringLiteral(".kr"));
}

TEST_F(StringConverterDialogTest, ARefusedNameShowsTheLibrarysReasonUnderTheOutputUntilTheNextGoodOne)
{
    auto *reason = dialog.findChild<QLabel *>(QStringLiteral("conversionReason"));
    ASSERT_NE(reason, nullptr);
    EXPECT_FALSE(reason->isVisible());

    const struct {
        QString name;
        bool fromPunycode;
        QString says;
    } cases[] = {
        {QStringLiteral("가") + QChar(0x3164) + QStringLiteral(".kr"), false,
            QStringLiteral("한글 채움 문자 U+3164")},
        // Only the way back decodes the label, so only the EUC-KR box is refused.
        {QStringLiteral("xn--zz-invalid.kr"), true, QStringLiteral("xn--zz-invalid")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QTest::mouseClick(control<QRadioButton>(&dialog,
                              c.fromPunycode ? ids::control::stringConvert::kPunycodeInputRadio
                                             : ids::control::stringConvert::kEucKrInputRadio),
            Qt::LeftButton);
        enter(c.name);
        EXPECT_EQ(c.fromPunycode ? eucKr() : punycode(), QString()); // the refused way
        EXPECT_TRUE(reason->isVisible());
        EXPECT_TRUE(reason->text().contains(c.says)) << reason->text().toStdString();
        EXPECT_TRUE(messages.isEmpty()); // shown in place, no box to dismiss
    }

    QTest::mouseClick(
        control<QRadioButton>(&dialog, ids::control::stringConvert::kEucKrInputRadio), Qt::LeftButton);
    enter(QStringLiteral("www.한국.kr"));
    EXPECT_EQ(punycode(), QStringLiteral("www.xn--3e0b707e.kr"));
    EXPECT_FALSE(reason->isVisible());
    EXPECT_TRUE(reason->text().isEmpty());

    enter(QStringLiteral("가") + QChar(0x3164) + QStringLiteral(".kr"));
    reopen();
    EXPECT_FALSE(reason->isVisible()); // a new opening starts clean
}

TEST_F(StringConverterDialogTest, BlankInputDoesNothing)
{
    enter(QStringLiteral("한국.kr"));
    enter(QStringLiteral("   \t "));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(items(), QStringList {QStringLiteral("한국.kr")});
    EXPECT_EQ(punycode(), QStringLiteral("xn--3e0b707e.kr"));
}

TEST_F(StringConverterDialogTest, HistoryInsertsNewNamesOnTopAndSelectsARepeatInPlace)
{
    enter(QStringLiteral("가.kr"));
    enter(QStringLiteral("나.kr"));
    enter(QStringLiteral("다.kr"));
    EXPECT_EQ(
        items(), (QStringList {QStringLiteral("다.kr"), QStringLiteral("나.kr"), QStringLiteral("가.kr")}));

    enter(QStringLiteral("가.kr"));
    EXPECT_EQ(
        items(), (QStringList {QStringLiteral("다.kr"), QStringLiteral("나.kr"), QStringLiteral("가.kr")}));
    EXPECT_EQ(input()->currentIndex(), 2);
    EXPECT_EQ(input()->currentText(), QStringLiteral("가.kr"));

    // Exact comparison: another letter case is another entry.
    enter(QStringLiteral("가.KR"));
    EXPECT_EQ(items().first(), QStringLiteral("가.KR"));
    EXPECT_EQ(input()->currentIndex(), 0);
}

TEST_F(StringConverterDialogTest, KeepsTheTopEightyEntriesBetweenOpenings)
{
    for (int i = 1; i <= 85; ++i)
        enter(QStringLiteral("이름%1.kr").arg(i));
    EXPECT_EQ(input()->count(), 85); // the list is cut only when the dialog closes

    reopen();
    const QStringList kept = items();
    ASSERT_EQ(kept.size(), 80);
    EXPECT_EQ(kept.first(), QStringLiteral("이름85.kr"));
    EXPECT_EQ(kept.last(), QStringLiteral("이름6.kr"));
    EXPECT_TRUE(eucKr().isEmpty());
    EXPECT_TRUE(punycode().isEmpty());
    // The entered text of the last opening is not left in the edit part.
    EXPECT_TRUE(input()->currentText().isEmpty());
}

TEST_F(StringConverterDialogTest, ANameCodePage949CannotHoldIsRefusedWithAMessage)
{
    enter(QStringLiteral("www.中国.cn"));
    EXPECT_EQ(messages, QStringList {StringConverter::unencodableMessage()});
    EXPECT_TRUE(items().isEmpty());
    EXPECT_TRUE(punycode().isEmpty());
}

TEST_F(StringConverterDialogTest, AnEntryTooLongForItsSlotIsNotKept)
{
    // 30 labels of 34 letters: every label passes, the name is 1049 bytes.
    QStringList labels;
    for (int i = 0; i < 30; ++i)
        labels << repeated(QStringLiteral("a"), 34);
    const QString longName = labels.join(QLatin1Char('.'));
    enter(QStringLiteral("한국.kr"));
    enter(longName);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(items().first(), longName);

    reopen();
    EXPECT_EQ(items(), QStringList {QStringLiteral("한국.kr")});
}

TEST_F(StringConverterDialogTest, AllOutputsOverridesTheBoxesAndFollowsThem)
{
    EXPECT_TRUE(check(ids::control::stringConvert::kAllOutputsCheck)->isChecked());
    enter(QStringLiteral("한국.kr"));
    EXPECT_FALSE(eucKr().isEmpty());
    EXPECT_FALSE(punycode().isEmpty());

    QTest::mouseClick(check(ids::control::stringConvert::kAllOutputsCheck), Qt::LeftButton);
    enter(QStringLiteral("한국.kr"));
    EXPECT_TRUE(eucKr().isEmpty());
    EXPECT_TRUE(punycode().isEmpty());

    QTest::mouseClick(check(ids::control::stringConvert::kPunycodeOutputCheck), Qt::LeftButton);
    EXPECT_FALSE(check(ids::control::stringConvert::kAllOutputsCheck)->isChecked());
    enter(QStringLiteral("한국.kr"));
    EXPECT_TRUE(eucKr().isEmpty());
    EXPECT_EQ(punycode(), QStringLiteral("xn--3e0b707e.kr"));

    QTest::mouseClick(check(ids::control::stringConvert::kEucKrOutputCheck), Qt::LeftButton);
    EXPECT_TRUE(check(ids::control::stringConvert::kAllOutputsCheck)->isChecked());
    QTest::mouseClick(check(ids::control::stringConvert::kEucKrOutputCheck), Qt::LeftButton);
    EXPECT_FALSE(check(ids::control::stringConvert::kAllOutputsCheck)->isChecked());

    // The output boxes keep their state into the next opening; "전체 인코딩"
    // comes back checked.
    reopen();
    EXPECT_TRUE(check(ids::control::stringConvert::kAllOutputsCheck)->isChecked());
    EXPECT_TRUE(check(ids::control::stringConvert::kPunycodeOutputCheck)->isChecked());
    EXPECT_FALSE(check(ids::control::stringConvert::kEucKrOutputCheck)->isChecked());
}

TEST_F(StringConverterDialogTest, ReturnConvertsAndKeepsTheDialogOpen)
{
    input()->lineEdit()->setText(QStringLiteral("한국.kr"));
    input()->setFocus();
    QTest::keyClick(input()->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(punycode(), QStringLiteral("xn--3e0b707e.kr"));
    EXPECT_EQ(items().size(), 1);
}

TEST_F(StringConverterDialogTest, ConvertsOnlyTheFirst1024Bytes)
{
    // 17 + 63 * 16 = 1025: the cut falls on the space after the 63rd name.
    const QString head = QStringLiteral("aaaaaaaaaaaaaaaa ");
    const QString input = head + repeated(QStringLiteral("xn--3e0b707e.kr "), 100);
    QTest::mouseClick(
        control<QRadioButton>(&dialog, ids::control::stringConvert::kPunycodeInputRadio), Qt::LeftButton);
    enter(input);
    const QString expected = head + repeated(QStringLiteral("한국.kr "), 63).trimmed();
    EXPECT_EQ(eucKr(), expected);
    EXPECT_EQ(items().first(), input.trimmed()); // the history keeps what was typed
}

TEST(ConvResultDialog, ShowsBothSidesWithTheirEncodingNames)
{
    CConvResultDialog dialog(
        QStringLiteral("www.한국.kr"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
    EXPECT_EQ(control<QPlainTextEdit>(&dialog, ids::control::convResult::kResultEdit)->toPlainText(),
        QStringLiteral("입력 코드 -EucKr : www.한국.kr\n출력 코드 -PUNY : www.xn--3e0b707e.kr\n"));
    EXPECT_EQ(dialog.outputText(), QStringLiteral("www.xn--3e0b707e.kr"));

    CConvResultDialog back(
        QStringLiteral("xn--3e0b707e.kr"), namecodec::Encoding::Punycode, namecodec::Encoding::Cp949);
    EXPECT_EQ(back.displayText(),
        QStringLiteral("입력 코드 -PUNY : xn--3e0b707e.kr\n출력 코드 -EucKr : 한국.kr\n"));
}

TEST(ConvResultDialog, AppliesOnlyWhenConfirmedWithTheBoxChecked)
{
    {
        CConvResultDialog dialog(
            QStringLiteral("한국.kr"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
        dialog.show();
        QTest::mouseClick(control<QCheckBox>(&dialog, ids::control::convResult::kApplyCheck), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(&dialog, ids::control::kOk), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(dialog.apply());
    }
    {
        CConvResultDialog dialog(
            QStringLiteral("한국.kr"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
        dialog.show();
        QTest::mouseClick(control<QCheckBox>(&dialog, ids::control::convResult::kApplyCheck), Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_FALSE(dialog.apply());
    }
    {
        CConvResultDialog dialog(
            QStringLiteral("한국.kr"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
        dialog.show();
        QTest::mouseClick(control<QPushButton>(&dialog, ids::control::kOk), Qt::LeftButton);
        EXPECT_FALSE(dialog.apply());
    }
}

TEST(ConvResultDialog, NothingToConvertOrARefusalLeavesNothingToApply)
{
    const struct {
        QString selection;
        namecodec::Encoding from;
        namecodec::Encoding to;
        QString display;
    } cases[] = {
        {QString(), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode,
            QStringLiteral("선택한 문자가 없습니다.")},
        {QStringLiteral(" \n\t "), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode,
            QStringLiteral("선택한 문자가 없습니다.")},
        {QStringLiteral("한글_.kr"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode, QString()},
        {QStringLiteral("xn--zz-9xx.kr"), namecodec::Encoding::Punycode, namecodec::Encoding::Cp949,
            QString()},
        {QStringLiteral("한국.kr") + QChar(0) + QStringLiteral(" 나머지.kr"), namecodec::Encoding::Cp949,
            namecodec::Encoding::Punycode, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection.toStdString());
        CConvResultDialog dialog(c.selection, c.from, c.to);
        dialog.show();
        EXPECT_EQ(dialog.displayText(), c.display);
        auto *apply = control<QCheckBox>(&dialog, ids::control::convResult::kApplyCheck);
        EXPECT_FALSE(apply->isEnabled());
        apply->setChecked(true); // even forced, confirming applies nothing
        QTest::mouseClick(control<QPushButton>(&dialog, ids::control::kOk), Qt::LeftButton);
        EXPECT_FALSE(dialog.apply());
    }
}

TEST(ConversionResult, KeepsTheWhiteSpaceAroundTheSelectionAndRefusesACutOne)
{
    const ConversionResult padded = convertSelection(
        QStringLiteral("\t한국.kr\n"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode);
    EXPECT_TRUE(padded.applicable);
    EXPECT_EQ(padded.output, QStringLiteral("\txn--3e0b707e.kr\n"));

    // Over 1024 bytes only a head is converted; writing that back would
    // drop the rest of the selection.
    const QString longSelection = repeated(QStringLiteral("xn--3e0b707e.kr "), 100);
    const ConversionResult cut
        = convertSelection(longSelection, namecodec::Encoding::Punycode, namecodec::Encoding::Cp949);
    EXPECT_FALSE(cut.display.isEmpty());
    EXPECT_FALSE(cut.applicable);
}

TEST(ConversionResult, AUtf8DocumentIsNamedAndConvertedAsUtf8)
{
    // 国 has no code page 949 form; in a UTF-8 document it converts.
    const ConversionResult result = convertSelection(
        QStringLiteral("www.中国.cn"), namecodec::Encoding::Utf8, namecodec::Encoding::Punycode);
    EXPECT_TRUE(result.applicable);
    EXPECT_EQ(result.display,
        QStringLiteral("입력 코드 -UTF : www.中国.cn\n출력 코드 -PUNY : www.xn--fiqs8s.cn\n"));
    EXPECT_EQ(convertSelection(
                  QStringLiteral("xn--fiqs8s.cn"), namecodec::Encoding::Punycode, namecodec::Encoding::Utf8)
                  .output,
        QStringLiteral("中国.cn"));
    // The same text in a code page 949 document cannot be handed over.
    EXPECT_FALSE(convertSelection(
        QStringLiteral("www.中国.cn"), namecodec::Encoding::Cp949, namecodec::Encoding::Punycode)
                     .applicable);
}
