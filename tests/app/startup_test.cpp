// Start-up, the five kinds of new documents, the comment option.
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include "../support/modalscript.h"
#include "../support/testmain.h"
#include "apptestfixture.h"
#include "editor/widgetprompter.h"
#include "panes/dockingpanebar.h"
#include "platform/quorelids.h"

namespace {
QStringList menuTitles(CMainFrame *frame)
{
    QStringList titles;
    for (QAction *a : frame->menuBar()->actions())
        titles << a->text();
    return titles;
}
} // namespace

TEST_F(AppTest, StartsWithOneEmptyGeneralDocumentMaximised)
{
    ASSERT_TRUE(start());
    ASSERT_EQ(app->documents().size(), 1);
    CQuorelDoc *doc = app->documents().front();
    EXPECT_EQ(doc->kind(), ids::templ::kGeneral);
    EXPECT_EQ(doc->GetTitle(), QStringLiteral("파일1"));
    EXPECT_EQ(doc->textBuffer()->length(), 0);
    EXPECT_TRUE(frame()->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(frame()->windowTitle(), QStringLiteral("린드바트 - [파일1]"));
    EXPECT_EQ(menuTitles(frame()),
        (QStringList {QStringLiteral("파일(&F)"), QStringLiteral("편집(&E)"), QStringLiteral("찾기(&S)"),
            QStringLiteral("한글변환(&C)"), QStringLiteral("보기(&V)"), QStringLiteral("창(&W)"),
            QStringLiteral("도움말(&H)")}));
    EXPECT_EQ(frame()->statusText(), QStringLiteral("준비"));
    EXPECT_EQ(frame()->commentIndicatorText(), QStringLiteral("주석처리"));
    EXPECT_TRUE(frame()->dockingPane()->isVisible());
    EXPECT_EQ(frame()->dockingPane()->dockBarId(), ids::bar::kDockLeft);
    EXPECT_EQ(entries(), QStringList {QStringLiteral("파일1")});

    // The toolbar of resource 128, in its order, every button with an icon.
    QList<int> buttons;
    for (QAction *a : frame()->toolBar()->actions()) {
        buttons << (a->isSeparator() ? 0 : a->data().toInt());
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->data().toInt();
        }
    }
    EXPECT_EQ(buttons,
        (QList<int> {ids::command::kFileNewChoose, ids::command::kFileOpen, ids::command::kFileSave,
            ids::command::kFilePrint, 0, ids::command::kEditCut, ids::command::kEditCopy,
            ids::command::kEditPaste, 0, ids::command::kConvWizard, ids::command::kFtpOpen,
            ids::command::kStringConvert, ids::command::kEditFind, ids::command::kEditReplace,
            ids::command::kAppAbout}));

    // With the last window gone the menu of 128 returns.
    trigger(ids::command::kFileClose);
    EXPECT_TRUE(app->documents().isEmpty());
    EXPECT_EQ(menuTitles(frame()),
        (QStringList {QStringLiteral("파일(&F)"), QStringLiteral("한글변환(&C)"), QStringLiteral("보기(&V)"),
            QStringLiteral("도움말(&H)")}));
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_FALSE(frame()->action(ids::command::kFileSave)->isEnabled());
}

TEST_F(AppTest, FiveNewFileCommandsAndTheChooser)
{
    const QString samples = QStringLiteral(QUOREL_SOURCE_DIR "/resources/samples/");
    ASSERT_TRUE(start());
    const struct {
        int command;
        int kind;
        const char *title;
        const char *sample;
    } kinds[] = {{ids::command::kNewZone, ids::templ::kZone, "네임 존파일1", "sample.zone"},
        {ids::command::kNewReverseZone, ids::templ::kReverseZone, "리버스 존파일1", "sample-reverse.zone"},
        {ids::command::kNewNamedConf, ids::templ::kNamedConf, "네임 설정파일1", "named.conf"},
        {ids::command::kNewVirtualHost, ids::templ::kVirtualHost, "가상호스트 설정파일1", "vhost.conf"},
        {ids::command::kFileNew, ids::templ::kGeneral, "파일2", nullptr}};
    for (const auto &k : kinds) {
        SCOPED_TRACE(k.title);
        trigger(k.command);
        CQuorelDoc *doc = frame()->activeDocument();
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->kind(), k.kind);
        EXPECT_EQ(doc->GetTitle(), QString::fromUtf8(k.title));
        EXPECT_FALSE(doc->IsModified());
        if (k.sample) {
            // With no machine-wide value, the bundled Hangul sample is the template.
            const DecodedText expected = decodeFileBytes(readBytes(samples + QString::fromUtf8(k.sample)));
            EXPECT_EQ(doc->textBuffer()->toPlainText(), expected.text);
            EXPECT_TRUE(expected.text.contains(QStringLiteral("한글도메인")));
        }
    }
    prompter.choice = 1;
    trigger(ids::command::kFileNewChoose);
    EXPECT_EQ(prompter.chooserTitle, QStringLiteral("새로운"));
    EXPECT_EQ(prompter.chooserItems,
        (QStringList {QStringLiteral("도메인 존파일"), QStringLiteral("리버스 존파일"),
            QStringLiteral("도메인 conf 파일"), QStringLiteral("가상호스트 conf 파일"),
            QStringLiteral("일반 파일")}));
    EXPECT_EQ(frame()->activeDocument()->GetTitle(), QStringLiteral("리버스 존파일2"));
    const qsizetype before = app->documents().size();
    prompter.choice = -1;
    trigger(ids::command::kFileNewChoose);
    EXPECT_EQ(app->documents().size(), before);
}

TEST_F(AppTest, CommentOptionStoredAndRestored)
{
    struct Case {
        const char *name;
        QVariant stored; // invalid: absent
        bool on;
        std::vector<int> afterToggles;
    };
    const Case cases[] = {
        {"absent", QVariant(), true, {0, 1}},
        {"0", 0, false, {1, 0}},
        {"1", 1, true, {0, 1}},
        {"2", 2, false, {0, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stored.isValid())
            user->setValue(QStringLiteral("EnvOption/IsComment"), c.stored);
        else
            user->remove(QStringLiteral("EnvOption/IsComment"));
        ASSERT_TRUE(start());
        QAction *option = frame()->action(ids::command::kComment);
        EXPECT_EQ(option->isChecked(), c.on);
        EXPECT_EQ(option->text(), c.on ? QStringLiteral("주석문자 설정") : QStringLiteral("주석문자 해제"));
        EXPECT_EQ(frame()->commentIndicatorText(), c.on ? QStringLiteral("주석처리") : QString());
        EXPECT_EQ(app->commentOption(), c.stored.isValid() ? c.stored.toInt() : 1);
        for (int expected : c.afterToggles) {
            trigger(ids::command::kComment);
            EXPECT_EQ(app->commentOption(), expected);
            EXPECT_EQ(option->isChecked(), expected == 1);
            EXPECT_EQ(
                frame()->commentIndicatorText(), expected == 1 ? QStringLiteral("주석처리") : QString());
        }
        // Written only at exit.
        trigger(ids::command::kComment);
        app->ExitInstance();
        EXPECT_EQ(user->value(QStringLiteral("EnvOption/IsComment")).toInt(), app->commentOption());
        app.reset();
        settle();
    }
}

TEST_F(AppTest, CommandLinePathThatDoesNotOpenEndsStartUpWithAMessage)
{
    EXPECT_FALSE(start({dir.filePath(QStringLiteral("missing.zone"))}));
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages.front().contains(QStringLiteral("missing.zone")));
}

TEST_F(AppTest, CommandLinePathOpensByItsExtension)
{
    const QString conf = file("named.conf", cp949("zone \"한글.kr\" { type master; };\n"));
    ASSERT_TRUE(start({conf}));
    ASSERT_EQ(app->documents().size(), 1);
    EXPECT_EQ(app->documents().front()->kind(), ids::templ::kNamedConf);
    EXPECT_EQ(entries(), QStringList {conf});
}

TEST_F(AppTest, ANetworkLibraryThatCannotStartEndsStartUpWithTheSocketMessage)
{
    user->setValue(QStringLiteral("EnvOption/IsComment"), 0);
    user->sync();
    const QString userFile = user->fileName();
    const QByteArray storedBefore = readBytes(userFile);
    const QString zone = file("a.zone", QByteArray("x\n"));

    // The box a user sees, answered with a click on its button.
    WidgetPrompter shown;
    ModalScript script(10000);
    QString caption;
    script.then([&](QWidget *modal) {
        caption = modal->windowTitle();
        return script.clickBoxButton(QMessageBox::Ok)(modal);
    });
    AppOptions options;
    options.showSplash = false;
    int starts = 0;
    options.startNetwork = [&starts] {
        ++starts;
        return false;
    };
    app = std::make_unique<CQuorelApp>(*user, *machine, shown, options);
    EXPECT_FALSE(app->InitInstance({zone}));
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(script.timedOut());
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(script.boxTexts, QStringList {QStringLiteral("Windows 소켓 초기화에 실패하였습니다.")});
    EXPECT_EQ(caption, QStringLiteral("Quorel"));

    // Nothing was made: no window, no document for the path given.
    EXPECT_EQ(app->mainFrame(), nullptr);
    EXPECT_TRUE(app->documents().isEmpty());

    // And the program's end writes nothing over the stored settings.
    app.reset();
    user->sync();
    EXPECT_EQ(readBytes(userFile), storedBefore);
    EXPECT_EQ(user->value(QStringLiteral("EnvOption/IsComment")).toInt(), 0);
}

int main(int argc, char **argv)
{
    return runWidgetTests(argc, argv);
}
