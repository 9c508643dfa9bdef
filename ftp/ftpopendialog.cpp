#include "ftp/ftpopendialog.h"
#include "ftp/dialogbutton.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editor/offthreadwork.h"
#include "ftp/ftpfoldertree.h"
#include "ftp/ftpprompter.h"
#include "ftp/ftpserverlist.h"
#include "ftp/ftpserverlistdialog.h"
#include "platform/quorelids.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>

namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kSizeRole = Qt::UserRole + 1;
constexpr int kNameRole = Qt::UserRole + 2; // the name before a label edit

const QString kFolderText = QStringLiteral("파일폴더");
const QString kParentText = QStringLiteral("위로");
constexpr int kMaxNewFolderTries = 100;

QString notConnectedText()
{
    return QStringLiteral("FTP 연결이 되지않은 상태입니다.");
}

// Looks the row up again rather than keeping a pointer across the server's
// answer: the list may be filled anew while the answer is awaited, and the
// row seen before goes with it.
void removeRow(QTreeWidget &list, const QString &name, int kind)
{
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = list.topLevelItem(i);
        if (row->text(0) == name && row->data(0, kKindRole).toInt() == kind) {
            const std::unique_ptr<QTreeWidgetItem> taken(list.takeTopLevelItem(i));
            return;
        }
    }
}

QTreeWidget *makeFileList(QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("fileList"));
    list->setProperty("controlId", ids::control::ftpOpen::kFileList);
    list->setHeaderLabels(
        {QStringLiteral("파일 이름"), QStringLiteral("크기(byte)"), QStringLiteral("날짜")});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    list->header()->setSectionsClickable(false);
    list->header()->setSectionsMovable(false);
    list->setColumnWidth(0, 200);
    list->setColumnWidth(1, 100);
    list->setColumnWidth(2, 150);
    list->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    list->setMinimumSize(480, 260);
    return list;
}

QLabel *makeStatusLine(QWidget *parent)
{
    auto *status = new QLabel(parent);
    status->setObjectName(QStringLiteral("statusText"));
    status->setProperty("controlId", ids::control::ftpOpen::kStatusText);
    status->setFrameShape(QFrame::StyledPanel);
    status->setFrameShadow(QFrame::Sunken);
    status->setMinimumHeight(status->fontMetrics().height() + 8);
    return status;
}

QProgressBar *makeProgressBar(QWidget *parent)
{
    auto *progress = new QProgressBar(parent);
    progress->setObjectName(QStringLiteral("progressBar"));
    progress->setProperty("controlId", ids::control::ftpOpen::kProgress);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    return progress;
}

QPushButton *boxButton(
    QDialogButtonBox &box, const QString &text, QDialogButtonBox::ButtonRole role, const char *name, int id)
{
    QPushButton *button = box.addButton(text, role);
    button->setObjectName(QLatin1String(name));
    button->setProperty("controlId", id);
    return button;
}

// A caption, the widget that takes the row's spare width, and its buttons.
QHBoxLayout *labelledRow(
    const QString &caption, QWidget *wide, std::initializer_list<QWidget *> after, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(caption, parent));
    row->addWidget(wide, 1);
    for (QWidget *widget : after)
        row->addWidget(widget);
    return row;
}

bool hasForbiddenCharacter(const QString &name)
{
    for (const QChar c : name) {
        if (QStringLiteral("\\/:*?\"<>|").contains(c))
            return true;
    }
    return false;
}

QIcon iconForFile(const QString &name)
{
    // By the name alone: the disk is not touched.
    static QFileIconProvider provider;
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return QIcon::fromTheme(
        mime.iconName(), QIcon::fromTheme(mime.genericIconName(), provider.icon(QFileIconProvider::File)));
}

// `name` inside the remote folder `dir`, with one slash between them.
QString childPath(const QString &dir, const QString &name)
{
    return dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
}

QIcon folderIcon()
{
    static QFileIconProvider provider;
    return provider.icon(QFileIconProvider::Folder);
}

} // namespace

CFtpOpenDialog::CFtpOpenDialog(Mode mode, const QString &fileName, FtpContext &context, QWidget *parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_context(context)
{
    setObjectName(QStringLiteral("ftpOpenDialog"));
    setProperty("controlId", ids::dialog::kFtpOpen);
    buildControls();
    m_session.setCaFile(m_context.caFile);
    // libcurl asks from the worker that runs the session; the question is a
    // window, so it is put on the GUI thread and the worker waits for it.
    m_session.setHostKeyQuestion([this](const QString &text) {
        bool yes = false;
        auto ask = [this, &text, &yes] {
            // The connecting cursor is no cursor to answer a question with.
            QApplication::changeOverrideCursor(Qt::ArrowCursor);
            yes = m_context.prompter->question(text, QStringLiteral("SFTP 호스트 키 확인"));
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        };
        if (QThread::currentThread() == thread())
            ask();
        else
            QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
        return yes;
    });
    m_fileName->setText(fileName);
    if (m_mode == Save) {
        setWindowTitle(QStringLiteral("FTP 저장하기"));
        m_ok->setText(QStringLiteral("파일 저장(&S)"));
    }
}

CFtpOpenDialog::~CFtpOpenDialog() = default;

void CFtpOpenDialog::buildControls()
{
    namespace c = ids::control::ftpOpen;
    setWindowTitle(QStringLiteral("FTP 열기"));
    m_servers = new QComboBox(this);
    m_servers->setObjectName(QStringLiteral("serverCombo"));
    m_servers->setProperty("controlId", c::kServerCombo);
    m_servers->setMinimumWidth(200);
    QPushButton *connectButton
        = ftpButton(QStringLiteral("FTP 서버 접속"), "connectButton", c::kConnectButton, this);
    QPushButton *listButton
        = ftpButton(QStringLiteral("FTP 서버 계정 관리"), "serverListButton", c::kServerListButton, this);

    m_currentDir = new QLabel(this);
    m_currentDir->setObjectName(QStringLiteral("currentDirText"));
    m_currentDir->setProperty("controlId", c::kCurrentDirText);
    m_currentDir->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton *changeDir
        = ftpButton(QStringLiteral("디렉토리 이동"), "changeDirButton", c::kChangeDirButton, this);
    QPushButton *newFolder
        = ftpButton(QStringLiteral("새 폴더 만들기"), "newFolderButton", c::kNewFolderButton, this);
    QPushButton *remove = ftpButton(QStringLiteral("폴더/파일 삭제"), "deleteButton", c::kDeleteButton, this);
    QPushButton *refresh
        = ftpButton(QStringLiteral("새로 고침 (Refresh)"), "refreshButton", c::kRefreshButton, this);

    m_list = makeFileList(this);
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("fileNameEdit"));
    m_fileName->setProperty("controlId", c::kFileNameEdit);
    m_status = makeStatusLine(this);
    m_progress = makeProgressBar(this);
    m_cancelTransfer = ftpButton(QStringLiteral("전송 취소"), "cancelTransferButton", 0, this);
    m_cancelTransfer->setEnabled(false);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = boxButton(*buttons, QStringLiteral("파일 열기(&O)"), QDialogButtonBox::AcceptRole, "okButton",
        ids::control::kOk);
    boxButton(
        *buttons, QStringLiteral("파일 닫기(&C)"), QDialogButtonBox::RejectRole, "closeButton", c::kCancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFtpOpenDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFtpOpenDialog::reject);

    QHBoxLayout *serverRow
        = labelledRow(QStringLiteral("FTP 서버"), m_servers, {connectButton, listButton}, this);
    QHBoxLayout *dirRow = labelledRow(
        QStringLiteral("현재 디렉토리 :"), m_currentDir, {changeDir, newFolder, remove, refresh}, this);
    QHBoxLayout *nameRow = labelledRow(QStringLiteral("파일이름 :"), m_fileName, {}, this);

    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_cancelTransfer);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(serverRow);
    layout->addLayout(dirRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(nameRow);
    layout->addWidget(m_status);
    layout->addLayout(progressRow);
    layout->addWidget(buttons);
    resize(680, 500);

    connect(connectButton, &QPushButton::clicked, this, [this] { OnConnect(); });
    connect(listButton, &QPushButton::clicked, this, &CFtpOpenDialog::OnServerList);
    connect(changeDir, &QPushButton::clicked, this, &CFtpOpenDialog::OnChangeDirectory);
    connect(newFolder, &QPushButton::clicked, this, &CFtpOpenDialog::OnNewFolder);
    connect(remove, &QPushButton::clicked, this, &CFtpOpenDialog::OnDelete);
    connect(refresh, &QPushButton::clicked, this, &CFtpOpenDialog::OnRefresh);
    connect(m_cancelTransfer, &QPushButton::clicked, this, &CFtpOpenDialog::OnCancelTransfer);
    connect(m_servers, &QComboBox::currentIndexChanged, this, [this](int index) { loadServer(index); });
    connect(m_list, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { onItemClicked(item); });
    // The keys a file manager has: Delete as "폴더/파일 삭제" (which asks
    // first); F2, the platform's edit key, renames in place.
    auto *deleteKey = new QShortcut(QKeySequence::Delete, m_list, nullptr, nullptr, Qt::WidgetShortcut);
    deleteKey->setObjectName(QStringLiteral("deleteKey"));
    // A widget shortcut: while a name is being edited, Delete is the editor's.
    connect(deleteKey, &QShortcut::activated, this, &CFtpOpenDialog::OnDelete);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] { onSelectionChanged(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
        [this](QTreeWidgetItem *item) { OnDoubleClick(item); });
    connect(m_list, &QTreeWidget::itemChanged, this, &CFtpOpenDialog::onItemRenamed);
}

void CFtpOpenDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_initialized)
        QTimer::singleShot(0, this, [this] { OnInitDialog(); });
}

void CFtpOpenDialog::OnInitDialog()
{
    if (m_initialized)
        return;
    m_initialized = true;
    m_doubleClicked = false;
    FtpServerList list(m_context.iniPath);
    if (!list.exists()) {
        list.create();
    } else {
        refillServers();
        if (m_servers->count() == 0) {
            // Nothing to connect to yet: the user makes a server first.
            CFtpServerListDialog dialog(m_context.iniPath, *m_context.prompter, m_context.appName, this);
            const int result = m_context.execDialog ? m_context.execDialog(dialog) : dialog.exec();
            if (result == QDialog::Accepted)
                refillServers();
        }
    }
    m_list->setFocus();
    setStatus(QStringLiteral("대기중"));
    // Saving a file back where it came from: that server and folder, at once.
    if (m_startPlace.isValid()) {
        const int index = m_servers->findText(m_startPlace.server, Qt::MatchFixedString);
        if (index >= 0) {
            m_servers->setCurrentIndex(index);
            loadServer(index);
            QTimer::singleShot(0, this, [this] {
                if (OnConnect())
                    listDirectory(m_startPlace.directory);
            });
        }
    }
}

void CFtpOpenDialog::refillServers()
{
    const QSignalBlocker block(m_servers);
    m_servers->clear();
    m_servers->addItems(FtpServerList(m_context.iniPath).names());
    if (m_servers->count() > 0) {
        m_servers->setCurrentIndex(0);
        loadServer(0);
    }
}

void CFtpOpenDialog::loadServer(int index)
{
    if (index < 0)
        return;
    // Reading a server changes what the next connect uses, never the
    // running connection.
    const QString directory = m_entry.remoteDirectory;
    const QString name = m_entry.remoteFileName;
    m_entry = FtpServerList(m_context.iniPath).read(m_servers->itemText(index));
    m_entry.remoteDirectory = directory;
    m_entry.remoteFileName = name;
}

QString CFtpOpenDialog::statusText() const
{
    return m_status->text();
}

void CFtpOpenDialog::setStatus(const QString &text)
{
    m_status->setText(text);
    m_status->repaint();
}

CFtpOpenDialog::RowKind CFtpOpenDialog::kindOf(const QTreeWidgetItem *item)
{
    const QString size = item->text(1);
    if (size == kParentText)
        return RowKind::Parent;
    return size == kFolderText ? RowKind::Folder : RowKind::File;
}

bool CFtpOpenDialog::refusedWhileTransferring()
{
    if (!m_transferring)
        return false;
    m_context.prompter->message(
        QStringLiteral("파일을 주고받는 중입니다. 전송이 끝나거나 전송을 취소한 뒤에 다시 하십시오."),
        m_context.appName, FtpPrompter::Icon::Information);
    return true;
}

bool CFtpOpenDialog::connectionReady()
{
    bool connected = false;
    call([this, &connected] {
        connected = m_session.checkConnection();
        return FtpStatus {};
    });
    if (!connected)
        m_context.prompter->message(notConnectedText(), m_context.appName, FtpPrompter::Icon::Information);
    return connected;
}

FtpStatus CFtpOpenDialog::call(const std::function<FtpStatus()> &work)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    FtpStatus result;
    std::unique_ptr<QThread> thread(QThread::create([&result, &work] { result = work(); }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    CloseRequestBlocker blocker;
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    QApplication::restoreOverrideCursor();
    return result;
}

FtpStatus CFtpOpenDialog::transfer(const QString &label, const std::function<FtpStatus()> &work)
{
    FtpStatus result;
    m_transferring = true;
    m_servers->setEnabled(false);
    // The browser's own bar while it shows; after a save-mode OK it is
    // gone, and a window of its own shows the upload.
    std::unique_ptr<QProgressDialog> window;
    QProgressBar *bar = m_progress;
    if (!isVisible()) {
        window = std::make_unique<QProgressDialog>(label, QStringLiteral("취소"), 0, 100, parentWidget());
        window->setObjectName(QStringLiteral("transferDialog"));
        window->setWindowTitle(m_context.appName);
        window->setWindowModality(Qt::ApplicationModal);
        window->setMinimumDuration(0);
        window->setValue(0);
        connect(window.get(), &QProgressDialog::canceled, this, &CFtpOpenDialog::OnCancelTransfer);
        window->show();
    } else {
        m_cancelTransfer->setEnabled(true);
        setStatus(label);
    }
    std::unique_ptr<QThread> thread(QThread::create([&result, &work] { result = work(); }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer progress;
    connect(&progress, &QTimer::timeout, this, [&] {
        const qint64 total = m_session.totalBytes();
        const qint64 done = m_session.transferredBytes();
        const int percent = total > 0 ? static_cast<int>(std::min<qint64>(100, done * 100 / total)) : 0;
        if (window)
            window->setValue(percent);
        else
            bar->setValue(percent);
    });
    progress.start(100);
    CloseRequestBlocker blocker;
    thread->start();
    // User input stays on, so that the cancel button works; every command
    // that would disturb the transfer refuses while it runs.
    loop.exec();
    thread->wait();
    progress.stop();
    if (window)
        window->reset();
    else
        bar->setValue(result ? 100 : 0);
    m_cancelTransfer->setEnabled(false);
    m_servers->setEnabled(true);
    m_transferring = false;
    return result;
}

void CFtpOpenDialog::OnCancelTransfer()
{
    if (m_transferring)
        m_session.requestCancel();
}

bool CFtpOpenDialog::OnConnect()
{
    if (refusedWhileTransferring())
        return false;
    if (m_servers->currentIndex() < 0)
        return false;
    if (!acceptPlainFtp())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_session.close();
    setStatus(QStringLiteral("접속중입니다."));
    if (!m_session.isUsable()) {
        QApplication::restoreOverrideCursor();
        m_context.prompter->message(QStringLiteral("FTP 세션이 생성 되지않았습니다."),
            QStringLiteral("FTP 세션 생성 실패"), FtpPrompter::Icon::Error);
        return false;
    }
    FtpStatus connected = FtpFailure(FtpError {});
    const FtpServerEntry entry = m_entry;
    call([this, &connected, &entry] {
        // A refused host key stays refused: no second question.
        for (int attempt = 0; attempt < 3 && !connected && connected.error().kind != FtpError::Kind::HostKey;
             ++attempt)
            connected = m_session.connect(entry);
        return FtpStatus {};
    });
    QApplication::restoreOverrideCursor();
    if (!connected) {
        m_context.prompter->message(
            m_session.lastErrorText(), QStringLiteral("FTP 접속"), FtpPrompter::Icon::Error);
        setStatus(m_session.lastErrorText());
        return false;
    }
    setStatus(m_entry.address + QStringLiteral(" 접속성공"));
    m_entry.remoteDirectory = m_session.currentDirectory();
    listDirectory(m_session.currentDirectory());
    return true;
}

bool CFtpOpenDialog::acceptPlainFtp()
{
    const QString server = m_servers->currentText();
    if (m_entry.protocol != FtpServerEntry::Protocol::Ftp || !m_context.warnPlainFtpOnce
        || !m_context.warnPlainFtpOnce(server))
        return true;
    const int choice = m_context.prompter->choose(
        QStringLiteral("'%1' 서버에는 암호화하지 않은 FTP로 접속합니다. 비밀번호와 파일 내용이 네트워크에 "
                       "그대로 드러납니다.\n서버가 지원하면 FTP over TLS나 SFTP로 바꾸십시오. 이 안내는 "
                       "서버마다 한 번만 합니다.")
            .arg(server),
        QStringLiteral("FTP 보안 안내"),
        {QStringLiteral("FTP로 접속"), QStringLiteral("FTP over TLS로 바꾸기"),
            QStringLiteral("SFTP로 바꾸기"), QStringLiteral("취소")});
    if (choice != 1 && choice != 2)
        return choice == 0;
    const bool defaultPort = m_entry.port == m_entry.defaultPort();
    m_entry.protocol = choice == 1 ? FtpServerEntry::Protocol::Ftps : FtpServerEntry::Protocol::Sftp;
    if (defaultPort)
        m_entry.port = m_entry.defaultPort();
    FtpServerEntry stored = FtpServerList(m_context.iniPath).read(server);
    stored.protocol = m_entry.protocol;
    stored.port = m_entry.port;
    FtpServerList(m_context.iniPath).save(server, stored);
    return true;
}

void CFtpOpenDialog::setStartPlace(const RemoteOrigin &origin)
{
    m_startPlace = origin;
}

bool CFtpOpenDialog::presetUpload(const RemoteOrigin &origin)
{
    FtpServerList list(m_context.iniPath);
    for (const QString &name : list.names()) {
        if (name.compare(origin.server, Qt::CaseInsensitive) != 0)
            continue;
        m_entry = list.read(name);
        m_entry.remoteDirectory = origin.directory;
        m_entry.remoteFileName = origin.fileName;
        return true;
    }
    return false;
}

void CFtpOpenDialog::OnServerList()
{
    if (refusedWhileTransferring())
        return;
    CFtpServerListDialog dialog(m_context.iniPath, *m_context.prompter, m_context.appName, this);
    const int result = m_context.execDialog ? m_context.execDialog(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return;
    const QSignalBlocker block(m_servers);
    m_servers->clear();
    m_servers->addItems(FtpServerList(m_context.iniPath).names());
    if (m_servers->count() > 0) {
        const int index = std::clamp(dialog.selectedIndex(), 0, m_servers->count() - 1);
        m_servers->setCurrentIndex(index);
        loadServer(index);
    } else {
        m_entry = FtpServerEntry {};
    }
}

void CFtpOpenDialog::showDirectoryError(const FtpError &error)
{
    if (error.isServerReply())
        m_context.prompter->message(QStringLiteral("FTP 디렉토리에 접근할 수 없습니다."),
            QStringLiteral("FTP 디렉토리 설정 에러"), FtpPrompter::Icon::None);
    else if (!error.text.isEmpty())
        m_context.prompter->message(
            error.text, QStringLiteral("FTP 디렉토리 설정 에러"), FtpPrompter::Icon::None);
    else
        m_context.prompter->message(
            QStringLiteral("FAILED"), QStringLiteral("Error"), FtpPrompter::Icon::None);
}

bool CFtpOpenDialog::listDirectory(const QString &path)
{
    FtpStatus entered = call([this, &path] { return m_session.setCurrentDirectory(path); });
    if (!entered) {
        showDirectoryError(entered.error());
        return false;
    }
    m_currentDir->setText(m_session.currentDirectory());
    FtpResult<std::vector<FtpFileInfo>> entries = FtpFailure(FtpError {});
    call([this, &entries] {
        entries = m_session.list();
        return FtpStatus {};
    });
    if (!entries) {
        showDirectoryError(entries.error());
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_filling = true;
    m_list->clear();
    if (m_session.currentDirectory() != QLatin1String("/"))
        addRow(RowKind::Parent, FtpFileInfo {QStringLiteral(".."), true, false, 0, {}});
    // Folders first, then files; each in the server's own order.
    for (const FtpFileInfo &e : *entries) {
        if (e.isFolder)
            addRow(RowKind::Folder, e);
    }
    for (const FtpFileInfo &e : *entries) {
        if (!e.isFolder)
            addRow(RowKind::File, e);
    }
    m_filling = false;
    QApplication::restoreOverrideCursor();
    // A name the list cannot show (a line break in it) costs its own row,
    // not the whole folder; the status line says how many went.
    if (const int skipped = m_session.skippedEntries(); skipped > 0)
        setStatus(QStringLiteral("목록에 보일 수 없는 이름의 항목 %1개는 빼고 보여 줍니다.").arg(skipped));
    return true;
}

void CFtpOpenDialog::addRow(RowKind kind, const FtpFileInfo &info)
{
    auto *item = new QTreeWidgetItem(m_list);
    item->setText(0, info.name);
    item->setData(0, kNameRole, info.name);
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setData(0, kSizeRole, info.size);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    switch (kind) {
    case RowKind::Parent:
        item->setIcon(0, folderIcon());
        item->setText(1, kParentText);
        // The parent entry is never renamed: it would move the parent directory.
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        return;
    case RowKind::Folder:
        item->setIcon(0, folderIcon());
        item->setText(1, kFolderText);
        break;
    case RowKind::File:
        item->setIcon(0, iconForFile(info.name));
        item->setText(1, QString::number(info.size));
        break;
    }
    if (info.modified.isValid())
        item->setText(2, info.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
}

QTreeWidgetItem *CFtpOpenDialog::rowNamed(const QString &name) const
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->text(0) == name)
            return m_list->topLevelItem(i);
    }
    return nullptr;
}

void CFtpOpenDialog::onItemClicked(QTreeWidgetItem *)
{
    if (!m_session.isConnected())
        m_context.prompter->message(notConnectedText(), m_context.appName, FtpPrompter::Icon::Information);
}

void CFtpOpenDialog::onSelectionChanged()
{
    if (m_filling || !m_session.isConnected())
        return;
    if (m_mode == Open)
        m_fileName->clear();
    QTreeWidgetItem *item = m_list->currentItem();
    if (item && item->isSelected() && kindOf(item) == RowKind::File)
        m_fileName->setText(item->text(0));
}

void CFtpOpenDialog::goToParent()
{
    const QString dir = m_session.currentDirectory();
    if (dir == QLatin1String("/") || !dir.contains(QLatin1Char('/')))
        return;
    QString parent = dir.left(dir.lastIndexOf(QLatin1Char('/')));
    if (parent.isEmpty())
        parent = QStringLiteral("/");
    listDirectory(parent);
}

void CFtpOpenDialog::OnDoubleClick(QTreeWidgetItem *item)
{
    if (refusedWhileTransferring())
        return;
    if (!item || !connectionReady())
        return;
    switch (kindOf(item)) {
    case RowKind::Parent:
        goToParent();
        break;
    case RowKind::Folder:
        listDirectory(item->text(0));
        break;
    case RowKind::File: {
        m_doubleClicked = true;
        if (!download(item->text(0), item->data(0, kSizeRole).toLongLong()) && !m_lastCancelled)
            m_context.prompter->message(
                QStringLiteral("에러 났습니다"), m_context.appName, FtpPrompter::Icon::Information);
        QDialog::accept();
        return;
    }
    }
    m_currentDir->setText(m_session.currentDirectory());
}

RemoteOrigin CFtpOpenDialog::originOf(const QString &name) const
{
    RemoteOrigin origin;
    origin.server = m_servers->currentText();
    origin.directory = m_session.currentDirectory();
    origin.fileName = name;
    const QString scheme = m_entry.protocol == FtpServerEntry::Protocol::Sftp ? QStringLiteral("sftp")
        : m_entry.protocol == FtpServerEntry::Protocol::Ftps                  ? QStringLiteral("ftpes")
                                                                              : QStringLiteral("ftp");
    const QString user = m_entry.user.isEmpty() ? QString() : m_entry.user + u'@';
    origin.url = QStringLiteral("%1://%2%3:%4%5")
                     .arg(scheme, user, m_entry.address)
                     .arg(m_entry.port)
                     .arg(origin.remotePath());
    return origin;
}

CFtpOpenDialog::LocalPlace CFtpOpenDialog::localPlaceFor(const QString &name)
{
    LocalPlace place;
    const QDir folder(m_context.localFolder);
    place.path = folder.filePath(name);
    const QFileInfo existing(place.path);
    if (!existing.exists() && !existing.isSymLink())
        return place;

    const RemoteOrigin origin = originOf(name);
    const FtpContext::OpenCopy open
        = m_context.openCopy ? m_context.openCopy(place.path) : FtpContext::OpenCopy {};
    if (open.open && open.origin == origin) {
        // The very file is open already, perhaps with edits: that window is
        // the answer, not a second copy.
        place.action = LocalPlace::ShowOpen;
        return place;
    }
    int choice = -1;
    if (open.open) {
        choice = m_context.prompter->choose(
            QStringLiteral("'%1' 파일이 이미 Quorel에 열려 있습니다%2.\n열려 있는 파일은 그대로 두고, 서버의 "
                           "파일을 다른 이름으로 받을까요?")
                .arg(QDir::toNativeSeparators(place.path),
                    open.origin.isValid() ? QStringLiteral(" (%1에서 받은 파일)").arg(open.origin.url)
                                          : QString()),
            QStringLiteral("FTP 파일 받기"), {QStringLiteral("다른 이름으로 받기"), QStringLiteral("취소")});
        choice = choice == 0 ? 1 : -1;
    } else {
        choice = m_context.prompter->choose(
            QStringLiteral("로컬 FTP 폴더에 '%1' 파일이 이미 있습니다.\n서버의 파일로 바꾸시겠습니까?")
                .arg(QDir::toNativeSeparators(place.path)),
            QStringLiteral("FTP 파일 받기"),
            {QStringLiteral("바꾸기"), QStringLiteral("둘 다 보관"), QStringLiteral("취소")});
    }
    if (choice == 0) {
        place.action = LocalPlace::Replace;
    } else if (choice == 1) {
        // "a.zone" -> "a (2).zone", "a (3).zone", ...: the first name free.
        const QFileInfo info(name);
        const QString base = info.completeBaseName().isEmpty() ? name : info.completeBaseName();
        const QString suffix
            = info.completeBaseName().isEmpty() || info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
        for (int n = 2;; ++n) {
            place.path = folder.filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
            if (!QFileInfo::exists(place.path) && !QFileInfo(place.path).isSymLink())
                break;
        }
        place.action = LocalPlace::Beside;
    } else {
        place.action = LocalPlace::Cancel;
    }
    return place;
}

bool CFtpOpenDialog::download(const QString &name, qint64 size)
{
    const LocalPlace place = localPlaceFor(name);
    m_lastCancelled = place.action == LocalPlace::Cancel;
    if (place.action == LocalPlace::Cancel) {
        setStatus(QStringLiteral("'%1' 파일을 받지 않았습니다.").arg(name));
        return false;
    }
    if (place.action == LocalPlace::ShowOpen) {
        if (m_context.showDocument)
            m_context.showDocument(place.path);
        m_downloadedPath = place.path;
        m_context.prompter->message(
            QStringLiteral("'%1' 파일은 이미 Quorel에 열려 있어 그 창을 보여 드립니다.\n서버의 파일을 다시 "
                           "받으려면 먼저 그 창을 닫으십시오.")
                .arg(name),
            m_context.appName, FtpPrompter::Icon::Information);
        return true;
    }
    // A file that is there already is replaced, or kept beside, only once
    // the new one has arrived whole: it comes down into a folder of its
    // own first.
    std::unique_ptr<QTemporaryDir> staging;
    QString folder = m_context.localFolder;
    if (place.action != LocalPlace::Fresh) {
        staging = std::make_unique<QTemporaryDir>(QDir(folder).filePath(QStringLiteral(".download-XXXXXX")));
        if (!staging->isValid()) {
            m_context.prompter->message(QStringLiteral("%1\n%2").arg(folder, staging->errorString()),
                QStringLiteral("FTP 로컬 파일열기 에러"), FtpPrompter::Icon::Error);
            return false;
        }
        folder = staging->path();
    }
    FtpStatus result = transfer(QStringLiteral("'%1' 파일을 받는 중입니다...").arg(name),
        [this, &name, &folder, size] { return m_session.download(name, folder, size); });
    m_lastCancelled = !result && result.error().kind == FtpError::Kind::Cancelled;
    if (result && staging
        && std::rename(QFile::encodeName(m_session.localPath()).constData(),
               QFile::encodeName(place.path).constData())
            != 0) {
        const int err = errno;
        result = FtpFailure(FtpError {FtpError::Kind::LocalFile, 0,
            QStringLiteral("%1\n%2").arg(place.path, QString::fromLocal8Bit(std::strerror(err)))});
    }
    if (!result) {
        const FtpError &e = result.error();
        switch (e.kind) {
        case FtpError::Kind::Cancelled:
            setStatus(e.text);
            break;
        case FtpError::Kind::LocalFolder:
            m_context.prompter->message(
                e.text, QStringLiteral("FTP 폴더 생성 에러"), FtpPrompter::Icon::Error);
            break;
        case FtpError::Kind::LocalFile:
        case FtpError::Kind::Refused:
            m_context.prompter->message(
                e.text, QStringLiteral("FTP 로컬 파일열기 에러"), FtpPrompter::Icon::Error);
            break;
        default:
            m_context.prompter->message(
                e.text, QStringLiteral("FTP 서버 파일열기 에러"), FtpPrompter::Icon::Error);
            break;
        }
        return false;
    }
    setStatus(place.action == LocalPlace::Beside
            ? QStringLiteral("'%1' 파일을 '%2'(으)로 받았습니다.").arg(name, QFileInfo(place.path).fileName())
            : QStringLiteral("'%1' 파일을 받았습니다.").arg(name));
    m_downloadedPath = place.path;
    if (m_context.openDocument)
        m_context.openDocument(place.path, originOf(name));
    return true;
}

bool CFtpOpenDialog::upload(const QString &localFile)
{
    const FtpServerEntry entry = m_entry;
    FtpStatus result
        = transfer(QStringLiteral("'%1' 파일을 FTP 서버에 저장하는 중입니다...").arg(entry.remoteFileName),
            [this, &entry, &localFile] { return m_session.upload(entry, localFile); });
    if (!result) {
        const FtpError &e = result.error();
        if (e.kind == FtpError::Kind::Cancelled)
            m_context.prompter->message(e.text, m_context.appName, FtpPrompter::Icon::Information);
        else if (e.kind == FtpError::Kind::LocalFile)
            m_context.prompter->message(
                e.text, QStringLiteral("FTP 로컬 파일열기 에러"), FtpPrompter::Icon::Error);
        else if (!m_session.isConnected())
            m_context.prompter->message(e.text, QStringLiteral("FTP 접속"), FtpPrompter::Icon::Error);
        else
            m_context.prompter->message(
                e.text, QStringLiteral("FTP 서버 파일열기 에러"), FtpPrompter::Icon::Error);
        return false;
    }
    m_context.prompter->message(
        QStringLiteral("FTP에 파일저장이 끝났습니다."), m_context.appName, FtpPrompter::Icon::Information);
    return true;
}

void CFtpOpenDialog::OnChangeDirectory()
{
    if (refusedWhileTransferring() || !connectionReady())
        return;
    const std::optional<QString> path
        = m_context.prompter->askText(QStringLiteral("이동할 디렉토리명을 넣어주세요"),
            m_session.currentDirectory(), QStringLiteral("FTP 디렉토리 이동"));
    if (path)
        listDirectory(*path);
    m_currentDir->setText(m_session.currentDirectory());
}

void CFtpOpenDialog::OnRefresh()
{
    if (refusedWhileTransferring() || !connectionReady())
        return;
    listDirectory(m_session.currentDirectory());
}

void CFtpOpenDialog::accept()
{
    if (refusedWhileTransferring() || !connectionReady())
        return;
    if (m_mode == Open) {
        QTreeWidgetItem *item = m_list->currentItem();
        if (!item || !item->isSelected() || kindOf(item) != RowKind::File)
            return;
        if (!download(item->text(0), item->data(0, kSizeRole).toLongLong())) {
            if (!m_lastCancelled)
                m_context.prompter->message(
                    QStringLiteral("에러 났습니다"), m_context.appName, FtpPrompter::Icon::Information);
            return;
        }
        QDialog::accept();
        return;
    }
    const QString name = m_fileName->text().trimmed();
    if (name.isEmpty()) {
        m_context.prompter->message(
            QStringLiteral("파일 이름을 넣어주세요."), m_context.appName, FtpPrompter::Icon::Information);
        return;
    }
    if (hasForbiddenCharacter(name)) {
        m_context.prompter->message(QStringLiteral("허용되지 않는 문자가 있습니다."), m_context.appName,
            FtpPrompter::Icon::Information);
        return;
    }
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        if (m_list->topLevelItem(i)->text(0).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (!m_context.prompter->question(QStringLiteral("이미 같은 이름의 파일이 존재합니다."),
                QStringLiteral("FTP 업로드 덮어쓰기 확인")))
            return;
        break;
    }
    m_entry.remoteFileName = name;
    m_entry.remoteDirectory = m_session.currentDirectory();
    QDialog::accept();
}

void CFtpOpenDialog::reject()
{
    if (refusedWhileTransferring())
        return;
    if (m_doubleClicked)
        QDialog::accept();
    else
        QDialog::reject();
}

void CFtpOpenDialog::closeEvent(QCloseEvent *event)
{
    if (m_transferring) {
        event->ignore();
        refusedWhileTransferring();
        return;
    }
    QDialog::closeEvent(event);
}

void CFtpOpenDialog::startEditing(const QString &name)
{
    if (QTreeWidgetItem *item = rowNamed(name)) {
        m_list->setFocus();
        m_list->setCurrentItem(item);
        m_list->editItem(item, 0);
    }
}

void CFtpOpenDialog::OnNewFolder()
{
    if (refusedWhileTransferring() || !connectionReady())
        return;
    QString name = QStringLiteral("NewFolder");
    for (int attempt = 1;; ++attempt) {
        FtpStatus made = call([this, &name] { return m_session.createDirectory(name); });
        if (made)
            break;
        const FtpError &e = made.error();
        // A taken name is answered with an error reply: try the next
        // number, but not without end on a server that refuses every name.
        if (!e.isServerReply() || attempt >= kMaxNewFolderTries) {
            if (e.text.isEmpty())
                m_context.prompter->message(
                    QStringLiteral("FAILED"), QStringLiteral("Error"), FtpPrompter::Icon::None);
            else
                m_context.prompter->message(
                    e.text, QStringLiteral("FTP 새로운 폴더 생성 에러"), FtpPrompter::Icon::None);
            break;
        }
        name = QStringLiteral("NewFolder[%1]").arg(attempt);
    }
    listDirectory(m_session.currentDirectory());
    startEditing(name);
}

void CFtpOpenDialog::onItemRenamed(QTreeWidgetItem *item, int column)
{
    if (m_filling || column != 0 || !item)
        return;
    const QString oldName = item->data(0, kNameRole).toString();
    const QString newName = item->text(0);
    if (newName == oldName)
        return;
    auto restore = [this, item, &oldName] {
        m_filling = true;
        item->setText(0, oldName);
        m_filling = false;
    };
    if (m_transferring) {
        restore();
        refusedWhileTransferring();
        return;
    }
    const QString dir = m_session.currentDirectory();
    // The root ("/", where a chrooted log-in starts) is a folder like any
    // other: its entries are renamed too, as "/name".
    if (newName.isEmpty() || hasForbiddenCharacter(newName) || kindOf(item) == RowKind::Parent) {
        restore();
        return;
    }
    if (!m_session.isConnected()) {
        restore();
        m_context.prompter->message(notConnectedText(), m_context.appName, FtpPrompter::Icon::Information);
        return;
    }
    FtpStatus renamed = call([this, &dir, &oldName, &newName] {
        return m_session.rename(childPath(dir, oldName), childPath(dir, newName));
    });
    if (renamed) {
        // Queued: the label editor that reported the new name is still closing.
        QTimer::singleShot(0, this, [this, dir] { listDirectory(dir); });
        return;
    }
    restore();
    const FtpError &e = renamed.error();
    if (e.isServerReply()) {
        // Let the user type another name at once. Queued: the editor that
        // just closed is still on its way out.
        QTimer::singleShot(0, this, [this, oldName] { startEditing(oldName); });
        return;
    }
    m_context.prompter->message(e.text.isEmpty() ? QStringLiteral("FAILED") : e.text,
        e.text.isEmpty() ? QStringLiteral("Error") : QStringLiteral("FTP 폴더이름바꾸기 에러"),
        FtpPrompter::Icon::None);
}

void CFtpOpenDialog::OnDelete()
{
    if (refusedWhileTransferring())
        return;
    QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    // Read the row before the connection check: its event loop may run a
    // queued listing (after a rename) that replaces every row.
    const QString name = item->text(0);
    const RowKind kind = kindOf(item);
    if (!connectionReady())
        return;
    if (kind == RowKind::Parent) {
        m_context.prompter->message(QStringLiteral("상위 디렉토리(..)는 지울 수 없습니다."),
            m_context.appName, FtpPrompter::Icon::Information);
        return;
    }
    const bool yes = kind == RowKind::Folder ? m_context.prompter->question(
                         QStringLiteral("이 폴더 '") + name + QStringLiteral("' 를 삭제하시기를 원하시나요?"),
                         QStringLiteral("FTP 폴더 삭제 확인"))
                                             : m_context.prompter->question(QStringLiteral("이 파일 '") + name
                                                     + QStringLiteral("'을 삭제 하시겠습니까?"),
                                                 QStringLiteral("FTP 파일 삭제 확인"));
    if (!yes)
        return;
    if (kind == RowKind::File) {
        FtpStatus deleted = call([this, &name] { return m_session.deleteFile(name); });
        if (deleted) {
            removeRow(*m_list, name, static_cast<int>(kind));
            setStatus(ftpstatus::fileDeleted(name));
        } else {
            setStatus(ftpstatus::fileDeleteFailed(name));
        }
        return;
    }
    // The steps are told from the worker; the status line shows each one.
    auto status = [this](const QString &text) {
        QMetaObject::invokeMethod(
            this, [this, text] { setStatus(text); }, Qt::QueuedConnection);
    };
    FtpStatus deleted = call([this, &name, &status] { return deleteFolderTree(m_session, name, status); });
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (deleted)
        removeRow(*m_list, name, static_cast<int>(kind));
    m_currentDir->setText(m_session.currentDirectory());
}
