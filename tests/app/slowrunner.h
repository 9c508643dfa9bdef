#pragma once

#include "document/workrunner.h"
#include "editor/offthreadwork.h"

#include <chrono>
#include <thread>

// The real busy runner, with work that takes longer than the dialog's delay.
class SlowRunner : public WorkRunner {
public:
    SlowRunner(QWidget *window, std::chrono::milliseconds delay)
        : m_inner(window)
        , m_delay(delay)
    {
    }
    void run(const QString &label, const std::function<void()> &work) override
    {
        m_inner.run(label, [this, &work] {
            std::this_thread::sleep_for(m_delay);
            work();
        });
    }

private:
    BusyWorkRunner m_inner;
    std::chrono::milliseconds m_delay;
};
