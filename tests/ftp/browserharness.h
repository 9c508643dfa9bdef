#pragma once

// What the FTP and SFTP browser tests share: a server list holding the
// test's one server, the browser's context over a private local folder, and
// helpers that read and pick the browser's rows.
#include "scriptedftpprompter.h"

#include "ftp/ftpcontext.h"
#include "ftp/ftpopendialog.h"
#include "ftp/ftpserverlist.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

class BrowserHarness {
protected:
    // Call from SetUp, behind ASSERT_NO_FATAL_FAILURE.
    void setUpBrowser(const QString &serverName, const FtpServerEntry &entry)
    {
        FtpServerList list(local.filePath(QStringLiteral("servers.ini")));
        ASSERT_TRUE(list.create());
        ASSERT_TRUE(list.save(serverName, entry));
        context.prompter = &prompter;
        context.iniPath = list.path();
        context.localFolder = local.filePath(QStringLiteral("Quindale"));
        context.tempDirectory = local.path();
        context.openDocument = [this](const QString &path, const RemoteOrigin &origin) {
            opened << path;
            origins << origin;
            return true;
        };
    }
    std::unique_ptr<CFtpOpenDialog> browser(
        CFtpOpenDialog::Mode mode = CFtpOpenDialog::Open, const QString &name = {})
    {
        auto dialog = std::make_unique<CFtpOpenDialog>(mode, name, context);
        dialog->show();
        dialog->OnInitDialog();
        return dialog;
    }
    // Each row as "name|second column".
    static QStringList rows(const CFtpOpenDialog &d)
    {
        QStringList out;
        for (int i = 0; i < d.fileList()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = d.fileList()->topLevelItem(i);
            out << item->text(0) + QLatin1Char('|') + item->text(1);
        }
        return out;
    }
    template <typename T> static T *child(QWidget &w, const char *name)
    {
        return w.findChild<T *>(QString::fromLatin1(name));
    }
    static QTreeWidgetItem *row(const CFtpOpenDialog &d, const QString &name)
    {
        for (int i = 0; i < d.fileList()->topLevelItemCount(); ++i) {
            if (d.fileList()->topLevelItem(i)->text(0) == name)
                return d.fileList()->topLevelItem(i);
        }
        return nullptr;
    }
    static void select(CFtpOpenDialog &d, const QString &name)
    {
        QTreeWidgetItem *item = row(d, name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        d.fileList()->setCurrentItem(item);
        item->setSelected(true);
    }

    QTemporaryDir local;
    ScriptedFtpPrompter prompter;
    FtpContext context;
    QStringList opened;
    QList<RemoteOrigin> origins;
};
