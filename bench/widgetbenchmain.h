#pragma once

// The main of every benchmark that needs widgets: Qt's offscreen platform
// unless one is chosen (scripts/bench picks X11 under Xvfb), then Google
// Benchmark's run. `beforeExit` runs while the application still exists.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <functional>

inline int runWidgetBenchmarks(int argc, char **argv, const std::function<void()> &beforeExit = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (beforeExit)
        beforeExit();
    return 0;
}
