#include "../support/files.h"
#include "../support/modalscript.h"
#include "../support/scriptedprompter.h"
#include "../support/viewtext.h"
#include "editor/widgetprompter.h"
#include "namecodec/namecodec.h"
#include "platform/quorelids.h"
#include "platform/settings.h"
#include "wizard/convwizardpage1.h"
#include "wizard/convwizardpage2.h"
#include "wizard/convwizardpage3.h"
#include "wizard/convwizardpage4.h"
#include "wizard/convwizardsheet.h"
#include "wizard/wizardconversion.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// What ConvertFile writes for `source` to Punycode with comment keeping.
QByteArray libraryOutput(const QString &source, const QString &scratch, int keepComment = 1)
{
    int line = 0;
    const QString out = scratch + QStringLiteral("/expected.out");
    EXPECT_EQ(ConvertFile(QFile::encodeName(source).constData(), QFile::encodeName(out).constData(), 4, 2,
                  keepComment, &line),
        0)
        << line;
    const QByteArray bytes = readBytes(out);
    QFile::remove(out);
    return bytes;
}

QByteArray zoneWithNames(int lines, int failingLine = 0)
{
    QString text = QStringLiteral("$ORIGIN 한국.kr.\n");
    for (int line = 2; line <= lines; ++line) {
        if (line == failingLine)
            text += QStringLiteral("가") + QChar(0x3164) + QStringLiteral("\tIN\tA\t10.0.0.1\n");
        else
            text += QStringLiteral("호스트%1\tIN\tA\t10.0.0.1\n").arg(line);
    }
    return cp949(text.toUtf8().constData());
}

// The wizard over settings, folders and a prompter of the test's own,
// shown (not run modally) and driven through its buttons.
class Wizard : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        install = dir.filePath(QStringLiteral("install"));
        ASSERT_TRUE(QDir().mkpath(install + QStringLiteral("/temp")));
        user = std::make_unique<QSettings>(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        machine
            = std::make_unique<QSettings>(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
        user->setValue(QStringLiteral("EnvOption/ProPathName"), install);
        settings = std::make_unique<QuorelSettings>(*user, *machine);
    }
    void TearDown() override
    {
        sheet.reset();
        // Whatever way the wizard ended, no temporary file stays.
        EXPECT_EQ(tempFiles(), QStringList());
    }
    void open()
    {
        ConvWizardServices services;
        services.prompter = activePrompter ? activePrompter : &prompter;
        services.settings = settings.get();
        services.commentOption = [this] { return comment; };
        services.openFilter = QStringLiteral("모든 파일 (*)");
        services.openDocument = [this](const QString &path) { opened << path; };
        sheet = std::make_unique<CConvWizardSheet>(std::move(services));
        sheet->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
    }
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        writeBytes(path, bytes);
        return path;
    }
    QStringList tempFiles() const { return QDir(install + QStringLiteral("/temp")).entryList(QDir::Files); }
    QAbstractButton *button(QWizard::WizardButton which) const { return sheet->button(which); }
    void click(QWizard::WizardButton which)
    {
        ASSERT_TRUE(button(which)->isVisible() && button(which)->isEnabled()) << which;
        QTest::mouseClick(button(which), Qt::LeftButton);
    }
    // Pages 1 and 2 with the given source: a local file, or the template
    // of combo entry `templateIndex` when `local` is empty.
    void toPreview(const QString &local, int templateIndex = 0)
    {
        open();
        click(QWizard::NextButton);
        if (local.isEmpty()) {
            sheet->openPage()
                ->findChild<QComboBox *>(QStringLiteral("templateCombo"))
                ->setCurrentIndex(templateIndex);
        } else {
            sheet->openPage()->findChild<QRadioButton *>(QStringLiteral("localRadio"))->setChecked(true);
            prompter.openName = local;
        }
        click(QWizard::NextButton);
        ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    }
    TextView *preview() const { return sheet->convertPage()->preview(); }
    bool visibleAndEnabled(QWizard::WizardButton which) const
    {
        return button(which)->isVisible() && button(which)->isEnabled();
    }

    QTemporaryDir dir;
    QString install;
    std::unique_ptr<QSettings> user, machine;
    std::unique_ptr<QuorelSettings> settings;
    ScriptedPrompter prompter;
    Prompter *activePrompter = nullptr; // the scripted one when null
    QStringList opened;
    int comment = 1;
    std::unique_ptr<CConvWizardSheet> sheet;
};

TEST_F(Wizard, PagesFollowEachOtherWithTheirButtonsAndATemplateBecomesAPunycodeFile)
{
    const QString sample = file(QStringLiteral("my-sample.zone"), zoneWithNames(20));
    machine->setValue(QStringLiteral("SampleZonePath"), sample);
    open();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("변환하기 마법사"));
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kStartPage);
    EXPECT_TRUE(visibleAndEnabled(QWizard::NextButton));
    EXPECT_FALSE(visibleAndEnabled(QWizard::BackButton));
    EXPECT_FALSE(visibleAndEnabled(QWizard::FinishButton));
    EXPECT_FALSE(button(QWizard::HelpButton) && button(QWizard::HelpButton)->isVisible());
    auto *intro = sheet->startPage()->findChild<QLabel *>(QStringLiteral("introText"));
    ASSERT_NE(intro, nullptr);
    EXPECT_EQ(intro->text(),
        QStringLiteral("\n 새 변환을 시작합니다.\n 변환될 대상 파일을 먼저 여시고,\n 변환할 인코딩을 "
                       "지정해 주시면,\n 해당 인코딩 파일을 만들어 줍니다.\n\n 차례대로 단계를 밟아 "
                       "주세요.\n"));
    EXPECT_FALSE(sheet->pixmap(QWizard::WatermarkPixmap).isNull());

    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kOpenPage);
    EXPECT_TRUE(visibleAndEnabled(QWizard::BackButton));
    EXPECT_TRUE(visibleAndEnabled(QWizard::NextButton));
    EXPECT_FALSE(visibleAndEnabled(QWizard::FinishButton));
    EXPECT_TRUE(sheet->openPage()->findChild<QRadioButton *>(QStringLiteral("templateRadio"))->isChecked());
    auto *combo = sheet->openPage()->findChild<QComboBox *>(QStringLiteral("templateCombo"));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->itemText(3), QStringLiteral("가상호스트 conf 파일"));
    EXPECT_FALSE(sheet->openPage()->findChild<QRadioButton *>(QStringLiteral("ftpRadio"))->isEnabled());

    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_EQ(sheet->sourcePath(), sample);
    EXPECT_EQ(sheet->sourceTemplateId(), ids::templ::kZone);
    EXPECT_TRUE(viewText(*preview()).startsWith(QStringLiteral("$ORIGIN 한국.kr.\n호스트2")));
    EXPECT_EQ(tempFiles().size(), 1); // the working copy
    EXPECT_TRUE(visibleAndEnabled(QWizard::BackButton));
    EXPECT_TRUE(visibleAndEnabled(QWizard::NextButton));

    const QString target = dir.filePath(QStringLiteral("out.zone"));
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    EXPECT_EQ(prompter.saveProposals, QStringList {dir.filePath(QStringLiteral("my-sample.puny.zone"))});
    EXPECT_EQ(readBytes(target), libraryOutput(sample, dir.path()));
    EXPECT_EQ(opened, QStringList {target});
    EXPECT_EQ(sheet->savePage()->resultMessage(), target + QStringLiteral("파일이 생성 되었습니다."));
    EXPECT_EQ(sheet->savePage()->findChild<QLabel *>(QStringLiteral("resultText"))->text(),
        sheet->savePage()->resultMessage());
    EXPECT_EQ(tempFiles(), QStringList());
    EXPECT_TRUE(visibleAndEnabled(QWizard::BackButton));
    EXPECT_TRUE(visibleAndEnabled(QWizard::FinishButton));
    EXPECT_FALSE(visibleAndEnabled(QWizard::NextButton));
    click(QWizard::FinishButton);
    EXPECT_FALSE(sheet->isVisible());
}

TEST_F(Wizard, WithoutASampleValueTheBundledSampleIsTheTemplate)
{
    ASSERT_TRUE(QDir().mkpath(install + QStringLiteral("/samples")));
    const QString bundled = install + QStringLiteral("/samples/named.conf");
    writeBytes(bundled, cp949("zone \"한국.kr\" { type master; file \"한국.kr.zone\"; };\n"));
    toPreview(QString(), 2);
    EXPECT_EQ(sheet->sourcePath(), bundled);
    EXPECT_EQ(sheet->sourceTemplateId(), ids::templ::kNamedConf);
    const QString target = dir.filePath(QStringLiteral("named.out"));
    prompter.saveNames = {target};
    comment = 0;
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    // named.conf's rule: the zone's name changes, its file path does not.
    EXPECT_EQ(readBytes(target),
        QByteArray("zone \"xn--3e0b707e.kr\" { type master; file \"") + cp949("한국.kr.zone") + "\"; };\n");
}

TEST_F(Wizard, NextOnPageTwoWithNoSourceCheckedStays)
{
    open();
    click(QWizard::NextButton);
    for (QRadioButton *radio : sheet->openPage()->findChildren<QRadioButton *>()) {
        radio->setAutoExclusive(false);
        if (QButtonGroup *group = radio->group())
            group->setExclusive(false);
        radio->setChecked(false);
    }
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kOpenPage);
    EXPECT_TRUE(prompter.openFilter.isEmpty()); // no prompt was shown
}

TEST_F(Wizard, ALocalSourceProposesItsNameBeforeTheFirstDotAndCancelStays)
{
    struct Case {
        const char *name;
        const char *proposal;
    };
    // Beside the source; a result that would take the source's own name
    // is proposed under another.
    for (const Case &c :
        {Case {"a.b.zone", "a"}, Case {"nodot", ""}, Case {"hosting.zone", "hosting.puny.zone"}}) {
        SCOPED_TRACE(c.name);
        prompter = ScriptedPrompter();
        toPreview(file(QString::fromUtf8(c.name), "www IN A 10.0.0.1\n"));
        click(QWizard::NextButton); // no name given: the save prompt was cancelled
        const QString proposal = QString::fromUtf8(c.proposal);
        EXPECT_EQ(
            prompter.saveProposals, QStringList {proposal.isEmpty() ? proposal : dir.filePath(proposal)});
        EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
        sheet.reset();
    }
    EXPECT_EQ(proposedOutputName(QStringLiteral("C:\\zones\\예제.한국.zone")), QStringLiteral("예제"));
    EXPECT_EQ(proposedOutputName(QString()), QString());
    EXPECT_EQ(targetPathWithExtension(QStringLiteral("/srv/dns.d/out"), QStringLiteral("zone")),
        QStringLiteral("/srv/dns.d/out.zone"));
    EXPECT_EQ(targetPathWithExtension(QStringLiteral("/srv/out.db"), QStringLiteral("zone")),
        QStringLiteral("/srv/out.db"));
}

TEST_F(Wizard, ACancelledOpenPromptStaysOnPageTwo)
{
    open();
    click(QWizard::NextButton);
    sheet->openPage()->findChild<QRadioButton *>(QStringLiteral("localRadio"))->setChecked(true);
    prompter.openName.clear();
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kOpenPage);
    EXPECT_FALSE(prompter.openFilter.isEmpty());
}

TEST_F(Wizard, AnEditedShorterPreviewLeavesNothingOfTheOldText)
{
    const QString source = file(QStringLiteral("long.zone"), zoneWithNames(300));
    toPreview(source);
    // Shorter, and failing on its second line, so the working copy stays to be read.
    const QString edited
        = QStringLiteral("짧은\tIN\tA\t10.0.0.1\n가") + QChar(0x3164) + QStringLiteral("\tIN\tA\t10.0.0.2\n");
    preview()->selectAll();
    preview()->insertText(edited); // as typed: setPlainText would not mark it edited
    const QString workingCopy = sheet->convertPage()->workingCopy().path();
    prompter.saveNames = {dir.filePath(QStringLiteral("short.zone"))};
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_EQ(readBytes(workingCopy), cp949(edited.toUtf8().constData()));
    EXPECT_EQ(readBytes(source), zoneWithNames(300)); // the source itself is never written
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("short.zone"))));

    // Mended in the preview, the next try converts exactly the edited text.
    preview()->selectAll();
    preview()->insertText(QStringLiteral("짧은\tIN\tA\t10.0.0.1\n"));
    prompter.saveNames = {dir.filePath(QStringLiteral("short.zone"))};
    comment = 0;
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    EXPECT_EQ(
        readBytes(dir.filePath(QStringLiteral("short.zone"))), QByteArray("xn--zs5bn2c\tIN\tA\t10.0.0.1\n"));
}

TEST_F(Wizard, AnExistingTargetIsReplacedOnlyAfterAYes)
{
    const QString source = file(QStringLiteral("hosts.zone"), zoneWithNames(5));
    const QString target = file(QStringLiteral("existing.zone"), QByteArray(5000, 'x'));
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    toPreview(source);
    // "No" brings the name prompt back; cancelling it stays on the page.
    prompter.questionAnswer = false;
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    ASSERT_EQ(prompter.questions.size(), 1);
    EXPECT_TRUE(prompter.questions[0].contains(QStringLiteral("이미 있습니다")))
        << prompter.questions[0].toStdString();
    EXPECT_EQ(prompter.saveProposals.size(), 2);
    EXPECT_EQ(prompter.saveProposals.back(), target);
    EXPECT_EQ(readBytes(target), QByteArray(5000, 'x'));

    prompter.questionAnswer = true;
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    EXPECT_EQ(readBytes(target), libraryOutput(source, dir.path()));
    const QFileDevice::Permissions modeBits(0x7077); // owner, group, others
    EXPECT_EQ(QFileInfo(target).permissions() & modeBits, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // No partial file is left beside it.
    EXPECT_EQ(
        QDir(dir.path()).entryList({QStringLiteral(".*OUTPUT*")}, QDir::Files | QDir::Hidden), QStringList());
}

namespace {
// Opens what the script says, and asks for the result's name through the
// real save dialog and message boxes.
class RealSavePrompter : public ScriptedPrompter {
public:
    WidgetPrompter real;
    QString saveFileNameReplacing(
        const QString &proposal, const QString &filter, const QString &suffix) override
    {
        return real.saveFileNameReplacing(proposal, filter, suffix);
    }
    void information(const QString &text, const QString &title) override { real.information(text, title); }
    bool question(const QString &text, const QString &title) override { return real.question(text, title); }
};
} // namespace

TEST_F(Wizard, TheResultNeverReplacesItsSourceThroughTheRealSaveDialog)
{
    const QByteArray original = zoneWithNames(6);
    const QString source = file(QStringLiteral("hosting.zone"), original);
    const QString link = dir.filePath(QStringLiteral("link.zone"));
    ASSERT_TRUE(QFile::link(source, link));
    const QString other = file(QStringLiteral("other.zone"), "other file\n");
    RealSavePrompter real;
    real.openName = source;
    activePrompter = &real;
    open();
    real.real.setParent(sheet.get());
    click(QWizard::NextButton);
    sheet->openPage()->findChild<QRadioButton *>(QStringLiteral("localRadio"))->setChecked(true);
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);

    ModalScript script;
    QString proposedFolder;
    QString proposedName;
    QList<QByteArray> sourceSeen;
    const auto sourceNow = [&] { sourceSeen << readBytes(source); };
    script.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return false;
        if (proposedFolder.isEmpty()) {
            proposedFolder = dialog->directory().absolutePath();
            proposedName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
        }
        // Enter on the source's own name, as a user hurrying would.
        return ModalScript::typeFileName(QStringLiteral("hosting"))(modal);
    });
    script.then(script.clickBoxButton(QMessageBox::Ok));
    script.then([&](QWidget *modal) {
        // Asked again (the source is as it was), a link to the source.
        if (!ModalScript::typeFileName(QStringLiteral("link.zone"))(modal))
            return false;
        sourceNow();
        return true;
    });
    script.then(script.clickBoxButton(QMessageBox::Ok));
    script.then([&](QWidget *modal) {
        // Asked again: the source is as it was.
        if (!ModalScript::typeFileName(QStringLiteral("other"))(modal))
            return false;
        sourceNow();
        return true;
    });
    script.then(script.clickBoxButton(QMessageBox::No));
    script.then([&](QWidget *modal) {
        if (!ModalScript::typeFileName(QStringLiteral("other.zone"))(modal))
            return false;
        sourceNow();
        sourceSeen << readBytes(other);
        return true;
    });
    script.then(script.clickBoxButton(QMessageBox::Yes));
    click(QWizard::NextButton);

    EXPECT_FALSE(script.timedOut());
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(QDir(proposedFolder), QDir(dir.path()));
    EXPECT_EQ(proposedName, QStringLiteral("hosting.puny.zone"));
    ASSERT_EQ(script.boxTexts.size(), 4);
    EXPECT_TRUE(script.boxTexts[0].contains(QStringLiteral("원본 파일에는 결과를 저장할 수 없습니다")))
        << script.boxTexts[0].toStdString();
    EXPECT_TRUE(script.boxTexts[1].contains(QStringLiteral("원본 파일에는")));
    EXPECT_TRUE(script.boxTexts[2].contains(QStringLiteral("이미 있습니다")));
    EXPECT_EQ(script.boxTexts[3], script.boxTexts[2]);
    EXPECT_EQ(sourceSeen, (QList<QByteArray> {original, original, original, QByteArray("other file\n")}));
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    EXPECT_EQ(readBytes(source), original);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(other), libraryOutput(source, dir.path()));
    EXPECT_EQ(opened, QStringList {other});
}

TEST_F(Wizard, ThePreviewsWorkingCopyIsForItsOwnerOnly)
{
    toPreview(file(QStringLiteral("secret.zone"), zoneWithNames(3)));
    const QStringList copies = tempFiles();
    ASSERT_EQ(copies.size(), 1);
    const QFileInfo copy(install + QStringLiteral("/temp/") + copies.front());
    EXPECT_EQ(copy.permissions() & QFileDevice::Permissions(0x7077),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(Wizard, AFailingLineOnTheLastScreenfulIsShownWithItsReasonAndTheTargetIsUntouched)
{
    const QString source = file(QStringLiteral("failing.zone"), zoneWithNames(200, 198));
    const QString target = file(QStringLiteral("kept.zone"), "old text\n");
    toPreview(source);
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_EQ(readBytes(target), QByteArray("old text\n"));
    EXPECT_TRUE(opened.isEmpty());

    const TextSelection selection = preview()->textCursor();
    EXPECT_EQ(caretLine(*preview()), 197);
    EXPECT_EQ(selection.end() - selection.start(), 2);
    // The last lines fill the preview rather than the failing line at its top.
    const int lines = preview()->buffer()->lineCount();
    const int last = bottomLine(*preview());
    const int first = topLine(*preview());
    EXPECT_EQ(last, lines - 1);
    EXPECT_LT(first, 197);
    EXPECT_GT(first, 150);
    // The line, column and reason, as the editor shows them.
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(
        prompter.messages.front().startsWith(QStringLiteral("변환에 실패하였습니다.\n\n198번째 줄 1열: ")));
    EXPECT_TRUE(prompter.messages.front().contains(QStringLiteral("U+3164")));
    EXPECT_TRUE(sheet->convertPage()->failureText().contains(QStringLiteral("198번째 줄 1열")));
    EXPECT_EQ(tempFiles().size(), 1); // the working copy stays for the next try
}

TEST_F(Wizard, BackFromTheLastPageAndNextAgainConvertsAFreshCopy)
{
    const QString source = file(QStringLiteral("fresh.zone"), zoneWithNames(3));
    toPreview(source);
    const QString target = dir.filePath(QStringLiteral("fresh-out.zone"));
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    EXPECT_EQ(readBytes(target), libraryOutput(source, dir.path()));

    writeBytes(source, zoneWithNames(7)); // the source changed meanwhile
    click(QWizard::BackButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_TRUE(viewText(*preview()).contains(QStringLiteral("호스트7")));
    EXPECT_EQ(tempFiles().size(), 1);
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kSavePage);
    EXPECT_EQ(readBytes(target), libraryOutput(source, dir.path()));
    EXPECT_EQ(opened, (QStringList {target, target}));
}

TEST_F(Wizard, AMissingSourceIsNamedAndNothingIsConverted)
{
    machine->setValue(QStringLiteral("SampleReverseZonePath"), dir.filePath(QStringLiteral("gone.zone")));
    toPreview(QString(), 1);
    EXPECT_TRUE(viewText(*preview()).isEmpty());
    EXPECT_TRUE(sheet->convertPage()->failureText().contains(QStringLiteral("원본 파일을 열 수 없습니다")));
    preview()->insertText(QStringLiteral("typed\n"));
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_TRUE(prompter.saveProposals.isEmpty()); // no save prompt for nothing
}

TEST_F(Wizard, BytesThatAreNoEucKrAreNeverConvertedNorRewrittenSilently)
{
    const QByteArray bytes = QByteArray("www\tIN\tA\t10.0.0.1\n") + cp949("메일") + "\xC7\tIN\tA\t10.0.0.2\n";
    const QString source = file(QStringLiteral("broken.zone"), bytes);
    toPreview(source);
    EXPECT_TRUE(sheet->convertPage()->failureText().contains(QStringLiteral("2번째 줄")))
        << sheet->convertPage()->failureText().toStdString() << viewText(*preview()).toStdString();
    const QString target = dir.filePath(QStringLiteral("broken-out.zone"));
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(caretLine(*preview()), 1);

    // An edit the encoding cannot hold is refused before anything is written.
    const QString workingCopy = sheet->convertPage()->workingCopy().path();
    preview()->setTextCursor(TextSelection {});
    preview()->insertText(QStringLiteral("\U0001F600 "));
    prompter.saveNames = {target};
    click(QWizard::NextButton);
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_EQ(readBytes(workingCopy), bytes);
    EXPECT_TRUE(sheet->convertPage()->failureText().contains(QStringLiteral("1번째 줄")));
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(Wizard, TheFtpSourceIsSuppliedThroughItsFetcher)
{
    const QString downloaded = file(QStringLiteral("from-ftp.zone"), zoneWithNames(4));
    open();
    QString answer;
    int asked = 0;
    sheet->setFtpSourceFetcher([&](QWidget *parent) {
        ++asked;
        EXPECT_EQ(parent, sheet.get());
        return answer;
    });
    click(QWizard::NextButton);
    auto *ftp = sheet->openPage()->findChild<QRadioButton *>(QStringLiteral("ftpRadio"));
    ASSERT_TRUE(ftp->isEnabled());
    ftp->setChecked(true);
    click(QWizard::NextButton); // cancelled in the browser
    EXPECT_EQ(sheet->currentId(), CConvWizardSheet::kOpenPage);
    answer = downloaded;
    click(QWizard::NextButton);
    EXPECT_EQ(asked, 2);
    ASSERT_EQ(sheet->currentId(), CConvWizardSheet::kConvertPage);
    EXPECT_EQ(sheet->sourcePath(), downloaded);
    EXPECT_EQ(sheet->sourceTemplateId(), 0);
}

} // namespace
