#pragma once

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include <memory>
#include <utility>

// Runs `work` on a worker thread and returns its result. The window keeps
// painting meanwhile, user input is held back (nothing may change the text
// under the work), and a busy dialog appears when the work takes longer than
// a moment. The library's conversion cannot be interrupted, so there is
// nothing to cancel.
template <typename Work> auto runOffGuiThread(QWidget *parent, const QString &label, Work work)
{
    using Result = decltype(work());
    Result result {};
    std::unique_ptr<QThread> thread(QThread::create([&result, &work] { result = work(); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);

    QProgressDialog progress(label, QString(), 0, 0, parent);
    progress.setWindowTitle(parent ? parent->window()->windowTitle() : QString());
    progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);

    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    return result;
}
