#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;

// A second Quorel started with a file hands the file to the one already
// running and ends; the running one listens here.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The channel of this user on this display or session. A Quorel on
    // another display (another X server, a Wayland session, a remote login)
    // has its own, so a file is never handed to a window its user cannot see.
    static QString defaultName();
    // The same from its parts (empty where the variable is not set).
    static QString nameFor(
        uint userId, const QString &display, const QString &waylandDisplay, const QString &sessionId);
    // Hands absolute paths to the running instance; false when none answers.
    static bool sendToRunning(const QString &name, const QStringList &paths, int timeoutMs = 1000);

    bool listen();

signals:
    void pathsReceived(const QStringList &paths);

private:
    QString m_name;
    QLocalServer *m_server;
};
