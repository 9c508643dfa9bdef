#pragma once

#include <QString>

#include <functional>

class OpenFileListNotifier;
class Prompter;
class QuorelSettings;
class WorkRunner;

// What every document reaches outside itself, handed in by the application:
// the prompter, the runner of long work, the open-files notifications, the
// settings, the comment option and the status bar's message pane.
struct DocumentContext {
    Prompter *prompter = nullptr;
    OpenFileListNotifier *openFileList = nullptr;
    const QuorelSettings *settings = nullptr;
    // Runs long work (a whole-document conversion); none runs it in place.
    WorkRunner *workRunner = nullptr;
    std::function<int()> commentOption;
    std::function<void(const QString &)> setStatusText;
    // Called after every successful save under a new name (the recent-file list).
    std::function<void(const QString &)> addRecentFile;
    QString appName = QStringLiteral("Quorel");
};
