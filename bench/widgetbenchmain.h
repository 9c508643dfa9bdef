#pragma once

// The main of every benchmark that needs widgets: Qt's offscreen platform
// unless one is chosen (scripts/bench picks X11 under Xvfb), then Google
// Benchmark's run. The fixtures of benchfixture::shared() go while the
// application still exists.
#include <QApplication>

#include "benchmain.h"

inline int runWidgetBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int status = benchmain::run(argc, argv);
    // Windows closed by the teardown post their deletions; let them happen here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
