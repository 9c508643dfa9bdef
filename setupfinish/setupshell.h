#pragma once

#include <QString>

// What finishing the setup asks of the desktop: start a program, show a
// document with the program the desktop chose for it, and tell the user
// about a problem. Tests give their own and see every request, in order.
class SetupShell {
public:
    virtual ~SetupShell() = default;
    // Starts `program` detached, in `workingDirectory`; false when it could
    // not be started.
    virtual bool startProgram(const QString &program, const QString &workingDirectory) = 0;
    // Opens `path` with the desktop's viewer for its type; false when no
    // viewer could be asked.
    virtual bool openDocument(const QString &path) = 0;
    virtual void warning(const QString &text) = 0;
};

// The real desktop: QProcess for programs, the desktop's opener
// (QDesktopServices, xdg-open on Linux) for documents, message boxes.
class DesktopShell : public SetupShell {
public:
    bool startProgram(const QString &program, const QString &workingDirectory) override;
    bool openDocument(const QString &path) override;
    void warning(const QString &text) override;
};
