#pragma once

#include "document/workrunner.h"
#include "editor/workgate.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

// Holds back requests to close a window while work on a document runs: the
// window manager's close is no user input to the event loop, and closing
// would pull the document from under the work. Only the windows that were
// there when the work began are held: a question the work itself asks (an
// SFTP host key, say) closes through a close event of its own, and a box
// that cannot close can never be answered.
class CloseRequestBlocker : public QObject {
public:
    CloseRequestBlocker()
    {
        for (QWidget *window : QApplication::topLevelWidgets())
            m_held.push_back(window);
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~CloseRequestBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Close || !watched->isWidgetType())
            return false;
        // Top-level windows and the editor windows inside the main window.
        const auto *widget = static_cast<QWidget *>(watched);
        if (!widget->isWindow() && widget->windowType() != Qt::SubWindow)
            return false;
        const QWidget *window = widget->isWindow() ? widget : widget->window();
        for (const QPointer<QWidget> &held : m_held) {
            if (held == window) {
                event->ignore();
                return true;
            }
        }
        return false;
    }

private:
    std::vector<QPointer<QWidget>> m_held;
};

// Work that ends sooner shows no busy dialog.
constexpr int kBusyDialogDelayMs = 500;

// Runs `work` on a worker thread and returns its result. The window keeps
// painting meanwhile, user input and close requests are held back (nothing
// may change the text under the work), and a busy dialog appears when the
// work takes longer than a moment. The library's conversion cannot be
// interrupted, so there is nothing to cancel.
template <typename Work> auto runOffGuiThread(QWidget *parent, const QString &label, Work work)
{
    using Result = decltype(work());
    Result result {};
    std::unique_ptr<QThread> thread(QThread::create([&result, &work] { result = work(); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);

    QProgressDialog progress(label, QString(), 0, 0, parent);
    progress.setObjectName(QStringLiteral("busyDialog"));
    progress.setWindowTitle(parent ? parent->window()->windowTitle() : QString());
    progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::ApplicationModal);
    // Not setMinimumDuration(): it only restarts the dialog's own show timer
    // when the value already stands at the minimum, and a fresh dialog's value
    // is -1, so the dialog kept its default of four seconds and never showed
    // for work of three. Our own timer shows it.
    QTimer showTimer;
    showTimer.setSingleShot(true);
    QObject::connect(&showTimer, &QTimer::timeout, &progress, [&progress] { progress.show(); });
    showTimer.start(kBusyDialogDelayMs);

    CloseRequestBlocker blocker;
    // Handed-over files and changes on disk wait for this work to end.
    WorkGate::Hold hold;
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    return result;
}

// The runner the documents are given: the work runs off the GUI thread, with
// the busy dialog over `window`.
class BusyWorkRunner : public WorkRunner {
public:
    explicit BusyWorkRunner(QWidget *window)
        : m_window(window)
    {
    }
    void run(const QString &label, const std::function<void()> &work) override
    {
        runOffGuiThread(m_window.data(), label, [&work] {
            work();
            return true;
        });
    }

private:
    QPointer<QWidget> m_window;
};
