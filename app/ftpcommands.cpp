#include "app/ftpcommands.h"

#include <QFileInfo>

#include "document/quoreldoc.h"
#include "editor/outcomereport.h"
#include "ftp/ftpcontext.h"
#include "ftp/ftpopendialog.h"
#include "ftp/ftpprompter.h"
#include "platform/scopedtempfile.h"

namespace {
int run(FtpContext &context, QDialog &dialog)
{
    return context.execDialog ? context.execDialog(dialog) : dialog.exec();
}
} // namespace

void OnFtpOpen(FtpContext &context)
{
    CFtpOpenDialog dialog(CFtpOpenDialog::Open, QString(), context);
    run(context, dialog);
}

QString downloadFileFromFtp(FtpContext &context)
{
    CFtpOpenDialog dialog(CFtpOpenDialog::Open, QString(), context);
    if (run(context, dialog) != QDialog::Accepted)
        return {};
    return dialog.downloadedPath();
}

void OnFtpSave(CQuorelDoc &doc, FtpContext &context)
{
    const QString path = doc.GetPathName();
    const QString proposal = path.isEmpty() ? QString() : QFileInfo(path).fileName();
    // Kept until the upload is done: the session lives in the dialog.
    CFtpOpenDialog dialog(CFtpOpenDialog::Save, proposal, context);
    // A file from a server goes back there unless the user goes elsewhere.
    if (doc.remoteOrigin().isValid())
        dialog.setStartPlace(doc.remoteOrigin());
    if (run(context, dialog) != QDialog::Accepted)
        return;
    // A double-click downloads and opens a file, even in save mode: no
    // remote name was chosen, so there is nothing to upload.
    if (dialog.entry().remoteFileName.isEmpty())
        return;

    if (!path.isEmpty()) {
        const DocumentOutcome saved = doc.DoSave(path);
        reportOutcome(doc, saved);
        // A read-only copy cannot be saved; what its file holds on disk is
        // what goes up. Any other failed or declined save stops here, so
        // the server never gets an older text while the user is told it
        // was stored.
        if (!saved && !doc.isReadOnly())
            return;
        dialog.upload(path);
        return;
    }

    ScopedTempFile copy;
    QString error;
    if (!copy.create(context.tempDirectory, &error)) {
        context.prompter->message(error, context.appName, FtpPrompter::Icon::Error);
        return;
    }
    const bool wasModified = doc.IsModified();
    const DocumentOutcome saved = doc.OnSaveDocument(copy.path());
    doc.SetModifiedFlag(wasModified);
    doc.sendOpenFileList(doc.GetTitle());
    if (!reportOutcome(doc, saved))
        return;
    dialog.upload(copy.path());
}

bool OnSaveBackToServer(CQuorelDoc &doc, FtpContext &context)
{
    const RemoteOrigin origin = doc.remoteOrigin();
    if (!origin.isValid() || doc.GetPathName().isEmpty() || doc.IsModified())
        return false;
    if (!doc.uploadsWithoutAsking()) {
        const int choice = context.prompter->choose(
            QStringLiteral("서버 %1의 %2에도 올리시겠습니까?").arg(origin.server, origin.remotePath()),
            context.appName,
            {QStringLiteral("예"), QStringLiteral("이 문서는 항상 올리기"), QStringLiteral("아니요")});
        if (choice == 1)
            doc.setUploadsWithoutAsking(true);
        else if (choice != 0)
            return false;
    }
    CFtpOpenDialog dialog(CFtpOpenDialog::Save, origin.fileName, context);
    if (!dialog.presetUpload(origin)) {
        context.prompter->message(
            QStringLiteral("서버 목록에 '%1' 서버가 없어 올리지 못했습니다.").arg(origin.server),
            context.appName, FtpPrompter::Icon::Error);
        return false;
    }
    return dialog.upload(doc.GetPathName());
}
