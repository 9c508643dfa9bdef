#pragma once

#include <QString>

#include <functional>

class OpenFileListNotifier;
class Prompter;
class QuorelSettings;
class WorkRunner;

// What every document reaches outside itself, handed in by the application:
// the prompter, the runner of long work, the open-files notifications, the
// settings, the comment option and the recent-file list. Nothing here is a
// window: the document asks through the prompter and tells through the
// outcomes it returns.
struct DocumentContext {
    Prompter *prompter = nullptr;
    OpenFileListNotifier *openFileList = nullptr;
    const QuorelSettings *settings = nullptr;
    // Runs long work (a whole-document conversion); none runs it in place.
    WorkRunner *workRunner = nullptr;
    std::function<int()> commentOption;
    // Called after every successful save under a new name (the recent-file list).
    std::function<void(const QString &)> addRecentFile;
    QString appName = QStringLiteral("Quorel");
};
