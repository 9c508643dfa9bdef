#pragma once

#include <QString>

#include <functional>

// Runs long work on a document's behalf. The document layer has no windows,
// so the editor hands in a runner that keeps the window painting and shows
// a busy dialog; without one the work runs right away on the calling thread.
class WorkRunner {
public:
    virtual ~WorkRunner() = default;
    // Returns once `work` is done; `label` says what the user is waiting for.
    virtual void run(const QString &label, const std::function<void()> &work) = 0;
};
