#pragma once

#include <QHash>
#include <QMainWindow>
#include <QSet>

#include <functional>
#include <memory>

class CChildFrame;
class CDockingPaneBar;
class COpenFileListDialog;
class CQuorelDoc;
class CQuorelView;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QToolBar;
class StatusPanes;

// The main window: menus (128 without a document, the document menu with
// one), the toolbar of resource 128, the status bar with its message and
// comment panes, the editor windows, and the docking pane with the list of
// open files. Every command is a QAction carrying its number in data().
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget *parent = nullptr);
    ~CMainFrame() override;

    QAction *action(int id) const;
    QMdiArea *mdiArea() const { return m_mdiArea; }
    COpenFileListDialog *openFileList() const { return m_openFileList; }
    CDockingPaneBar *dockingPane() const { return m_dockingPane; }
    QToolBar *toolBar() const { return m_toolBar; }
    bool isPaneShown() const { return m_paneShown; }

    // A new editor window that takes `doc` over, not yet shown.
    CChildFrame *createChildFrame(std::unique_ptr<CQuorelDoc> doc);
    // Shows a finished editor window and makes it the active one.
    void showChildFrame(CChildFrame *frame);
    QList<CChildFrame *> childFrames() const;
    CChildFrame *activeChildFrame() const;
    CQuorelView *activeView() const;
    CQuorelDoc *activeDocument() const;

    // Status bar pane 1 shows "주석처리" when `on` is 1 and nothing otherwise.
    void ShowCommentIndicator(int on);
    QString commentIndicatorText() const;
    // Status bar pane 0, the message pane. The text stays until the next
    // command, whatever status tips pass over it meanwhile.
    void SetStatusText(const QString &text);
    QString statusText() const;
    // The caret, encoding and line-ending panes after the fixed ones.
    StatusPanes *statusPanes() const { return m_statusPanes; }

    // The recent-file entries of the file menus, most recent first.
    void setRecentFiles(const QStringList &files);

    // Commands that need an active document are enabled only while one is
    // there; peers adding document commands register them here.
    void registerDocumentCommand(int id);
    void updateCommandStates();

    // Frame command 32808: flips the pane.
    void OnViewFileTree();

    // Asked before the main window closes; false keeps it open.
    std::function<bool()> canClose;

    QPrinter *printer();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();

signals:
    // Every new editor view, so commands added elsewhere can attach to it.
    void viewCreated(CQuorelView *view);
    void filesDropped(const QStringList &paths);
    void recentFileChosen(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void createActions();
    void connectCommands();
    void addConventionalShortcuts();
    void leaveCloseKeyToFileMenu(QMdiSubWindow *window);
    QMenu *createFileMenu(bool withDocument);
    QMenu *createNewFileMenu();
    QMenu *createViewMenu();
    QMenu *createHelpMenu();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createStatusPanes();
    void createDockingPane();
    void onSubWindowActivated(QMdiSubWindow *window);
    void showActiveFindDialog(CChildFrame *active);
    void onActivateRequested(quint64 documentId);
    void showMenuSet(bool withDocument);
    void updateWindowMenu();
    void updateEditCommands();
    void arrangeIcons();
    void updateLockPanes();
    void restoreIdleStatus();

    QMdiArea *m_mdiArea;
    COpenFileListDialog *m_openFileList = nullptr;
    CDockingPaneBar *m_dockingPane = nullptr;
    bool m_paneShown = true;
    QLabel *m_messagePane = nullptr;
    QLabel *m_commentPane = nullptr;
    QList<QLabel *> m_lockPanes;
    StatusPanes *m_statusPanes = nullptr;
    QToolBar *m_toolBar = nullptr;
    QHash<int, QAction *> m_actions;
    QSet<int> m_documentCommands;
    QList<QMenu *> m_noDocumentMenus;
    QList<QMenu *> m_documentMenus;
    QList<QAction *> m_recentActions; // per file menu: placeholder + 4 entries
    QStringList m_recentFiles;
    QMenu *m_windowMenu = nullptr;
    QList<QAction *> m_windowListActions;
    std::unique_ptr<QPrinter> m_printer; // made on first use
    bool m_showingDocumentMenus = false;
};
