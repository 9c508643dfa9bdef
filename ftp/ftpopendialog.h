#pragma once

#include <QDialog>

#include "ftp/ftpcontext.h"
#include "ftp/ftperror.h"
#include "ftp/ftpserverentry.h"
#include "ftp/ftpsession.h"

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// Dialog 131, the FTP browser: connects to a server of the server list,
// shows one remote directory at a time, and either downloads a file into
// the local FTP folder and opens it (open mode) or chooses where the
// caller's upload goes (save mode). It also creates, renames and deletes
// remote folders and files. The session, with its connection and current
// directory, lives as long as the dialog object.
class CFtpOpenDialog : public QDialog {
    Q_OBJECT
public:
    enum Mode { Save = 0, Open = 1 };
    enum class RowKind { Parent, Folder, File };

    CFtpOpenDialog(Mode mode, const QString &fileName, FtpContext &context, QWidget *parent = nullptr);
    ~CFtpOpenDialog() override;

    CFtpSession &session() { return m_session; }
    const FtpServerEntry &entry() const { return m_entry; }
    QTreeWidget *fileList() const { return m_list; }
    QString statusText() const;
    bool isTransferring() const { return m_transferring; }
    // The file this dialog downloaded and opened; empty when none arrived
    // (a double-click closes the dialog with OK even after a failed download).
    QString downloadedPath() const { return m_downloadedPath; }

    // Opens on the server and folder a document came from, connecting on
    // its own once shown.
    void setStartPlace(const RemoteOrigin &origin);
    // Makes the next upload() go to `origin` without the window; false when
    // its server is no longer in the list.
    bool presetUpload(const RemoteOrigin &origin);

    // Filled when the dialog first shows: the server list and the first entry.
    void OnInitDialog();

    // The commands, as their buttons run them.
    bool OnConnect();
    void OnServerList();
    void OnChangeDirectory();
    void OnRefresh();
    void OnNewFolder();
    void OnDelete();
    void OnCancelTransfer();
    // A double-click on a row: into a folder, up to the parent, or a file
    // downloaded and the dialog closed.
    void OnDoubleClick(QTreeWidgetItem *item);
    void accept() override; // "파일 열기" / "파일 저장"
    void reject() override; // "파일 닫기"

    // Lists `path` (absolute or relative); false when it could not be entered.
    bool listDirectory(const QString &path);
    // Downloads the remote file of the current directory and opens it.
    bool download(const QString &name, qint64 size);
    // After a save-mode OK: stores `localFile` where the dialog chose, with
    // a progress window that can cancel. True when the whole file arrived.
    bool upload(const QString &localFile);

    static RowKind kindOf(const QTreeWidgetItem *item);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Where a download goes in the local FTP folder, and what becomes of a
    // file of the same name that is there already.
    struct LocalPlace {
        enum Action { Fresh, Replace, Beside, ShowOpen, Cancel } action = Fresh;
        QString path;
    };
    LocalPlace localPlaceFor(const QString &name);
    // The current server and folder's file `name`, as a document remembers it.
    RemoteOrigin originOf(const QString &name) const;
    // Plain FTP, the first time for a server: tells what it exposes and
    // offers TLS or SFTP. False when the user backed out.
    bool acceptPlainFtp();
    void buildControls();
    void loadServer(int index);
    void refillServers();
    bool connectionReady();
    bool refusedWhileTransferring();
    void setStatus(const QString &text);
    void onItemClicked(QTreeWidgetItem *item);
    void onSelectionChanged();
    void onItemRenamed(QTreeWidgetItem *item, int column);
    void goToParent();
    void addRow(RowKind kind, const FtpFileInfo &info);
    void startEditing(const QString &name);
    QTreeWidgetItem *rowNamed(const QString &name) const;
    void showDirectoryError(const FtpError &error);
    // Runs a short session call off the GUI thread; the window keeps painting.
    FtpStatus call(const std::function<FtpStatus()> &work);
    // Runs a transfer off the GUI thread with progress and cancel.
    FtpStatus transfer(const QString &label, const std::function<FtpStatus()> &work);

    Mode m_mode;
    FtpContext &m_context;
    CFtpSession m_session;
    FtpServerEntry m_entry;
    bool m_initialized = false;
    bool m_doubleClicked = false;
    bool m_transferring = false;
    QString m_downloadedPath;
    RemoteOrigin m_startPlace;
    bool m_lastCancelled = false; // the last download was stopped by the user
    bool m_filling = false; // rows being put in: no rename
    QComboBox *m_servers = nullptr;
    QTreeWidget *m_list = nullptr;
    QLabel *m_currentDir = nullptr;
    QLineEdit *m_fileName = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancelTransfer = nullptr;
    QPushButton *m_ok = nullptr;
};
