#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <mutex>

// The record of what went wrong while Quorel ran: every warning of ours and
// anything critical, one line each ("2024-05-01T10:00:00.123+0900 warning
// quorel.document: ..."), in a file of this user's alone (0600). It never grows past the cap:
// when the next line would not fit, the oldest lines go, cut at a line
// start, so the newest part of the record is always there.
class LogFile {
public:
    static constexpr qint64 kCapBytes = 1024 * 1024;

    explicit LogFile(const QString &path, qint64 capBytes = kCapBytes);
    // Gives Qt's messages back to the handler that had them before.
    ~LogFile();
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    // $XDG_STATE_HOME/quorel/quorel.log, else ~/.local/state/quorel/quorel.log.
    static QString defaultPath();

    // False once the file could not be made (the program runs on without
    // it). The file itself appears with its first line.
    bool isOpen() const;

    // Appends one line; any thread may call it. A full disk or a vanished
    // folder loses the line, never the program.
    void append(QtMsgType type, const char *category, const QString &message) noexcept;

    // Makes this file the destination of Qt's warnings and worse. The
    // handler installed before keeps getting every message (stderr).
    void install();

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message);
    void ensureOpen();
    void openFile();
    void trimToFit(qint64 incoming);
    void writeOut(const QByteArray &line);

    QByteArray m_path;
    qint64 m_cap;
    int m_fd = -1;
    bool m_installed = false;
    QtMessageHandler m_previous = nullptr;
    bool m_failed = false;
    mutable std::mutex m_mutex;
};
