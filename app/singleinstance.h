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

    // The per-user name of the channel.
    static QString defaultName();
    // Hands absolute paths to the running instance; false when none answers.
    static bool sendToRunning(const QString &name, const QStringList &paths, int timeoutMs = 1000);

    bool listen();

signals:
    void pathsReceived(const QStringList &paths);

private:
    QString m_name;
    QLocalServer *m_server;
};
