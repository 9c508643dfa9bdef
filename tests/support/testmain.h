#pragma once

#include <QApplication>

#include <gtest/gtest.h>

// Widget tests run offscreen; set here because test discovery runs the
// binary without CTest's environment.
inline int runWidgetTests(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
