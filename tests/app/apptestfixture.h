#pragma once

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMdiArea>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "../support/files.h"
#include "../support/scriptedprompter.h"
#include "../support/viewtext.h"
#include "app/quorelapp.h"
#include "document/quoreldoc.h"
#include "editor/childframe.h"
#include "editor/mainframe.h"
#include "editor/quorelview.h"
#include "panes/openfilelistdialog.h"

// A real Quorel (main frame, editor windows, pane) over settings in a
// temporary folder, with a prompter the test answers.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        user = std::make_unique<QSettings>(dir.filePath(QStringLiteral("user.ini")), QSettings::IniFormat);
        machine
            = std::make_unique<QSettings>(dir.filePath(QStringLiteral("machine.ini")), QSettings::IniFormat);
    }
    void TearDown() override
    {
        app.reset();
        QCoreApplication::sendPostedEvents();
    }
    // Starts Quorel installed in a folder of the test's own, with the temp/
    // folder conversions write their copies to; returns that folder.
    QString startInstalled()
    {
        const QString install = dir.filePath(QStringLiteral("install"));
        EXPECT_TRUE(QDir().mkpath(install + QStringLiteral("/temp")));
        user->setValue(QStringLiteral("EnvOption/ProPathName"), install);
        EXPECT_TRUE(start());
        return install;
    }
    bool start(const QStringList &args = {})
    {
        AppOptions options;
        options.showSplash = false;
        app = std::make_unique<CQuorelApp>(*user, *machine, prompter, options);
        const bool ok = app->InitInstance(args);
        settle();
        return ok;
    }
    // Lets posted notifications (closed windows, list removals) arrive.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }
    CMainFrame *frame() const { return app->mainFrame(); }
    void trigger(int id)
    {
        QAction *a = frame()->action(id);
        ASSERT_NE(a, nullptr) << id;
        ASSERT_TRUE(a->isEnabled()) << id;
        a->trigger();
        settle();
    }
    QStringList entries() const { return frame()->openFileList()->entryTexts(); }
    // Quorel started on `bytes` saved as `name`, its view focused in the
    // active window, ready for keys; nullptr when it would not start.
    CQuorelView *startFocused(const char *name, const QByteArray &bytes)
    {
        if (!start({file(name, bytes)}))
            return nullptr;
        CQuorelView *view = frame()->activeView();
        QApplication::setActiveWindow(frame());
        view->setFocus();
        return view;
    }
    QString file(const char *name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(QString::fromUtf8(name));
        writeBytes(path, bytes);
        return path;
    }
    void type(CQuorelDoc *doc, const QString &text)
    {
        auto *f = qobject_cast<CChildFrame *>(doc->frame());
        moveCaretToEnd(*f->view());
        f->view()->insertText(text);
    }

    QTemporaryDir dir;
    std::unique_ptr<QSettings> user, machine;
    ScriptedPrompter prompter;
    std::unique_ptr<CQuorelApp> app;
};
