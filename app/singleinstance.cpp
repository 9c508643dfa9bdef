#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

#include <memory>

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
    , m_server(new QLocalServer(this))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::nameFor(
    uint userId, const QString &display, const QString &waylandDisplay, const QString &sessionId)
{
    QStringList parts;
    for (const QString &part : {display, waylandDisplay, sessionId}) {
        // Kept apart even when empty, so ":0" alone never meets a session
        // id ":0"; percent-encoded, since a Wayland display may be a path.
        parts << QString::fromLatin1(part.toUtf8().toPercentEncoding());
    }
    QString where = parts.join(QLatin1Char('+'));
    // The channel is a socket file whose whole path must stay short.
    if (where.size() > 48)
        where = QString::fromLatin1(
            QCryptographicHash::hash(where.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
    return QStringLiteral("Quorel-%1-%2").arg(userId).arg(where);
}

QString SingleInstance::defaultName()
{
    return nameFor(::getuid(), qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"),
        qEnvironmentVariable("XDG_SESSION_ID"));
}

bool SingleInstance::sendToRunning(const QString &name, const QStringList &paths, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(paths.join(QLatin1Char('\n')).toUtf8());
    socket.write("\n");
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::listen()
{
    // A running Quorel keeps its channel. Qt would silently replace the
    // socket file, so ask first; only a channel nobody answers (left by a
    // program that ended abnormally) is taken over.
    {
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (probe.waitForConnected(200))
            return false;
    }
    QLocalServer::removeServer(m_name);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            // Shared by the socket's two handlers; freed with the last of them.
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, socket,
                [socket, buffer] { buffer->append(socket->readAll()); });
            connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                QStringList paths;
                for (const QString &line : QString::fromUtf8(*buffer).split(QLatin1Char('\n'))) {
                    if (!line.isEmpty())
                        paths << line;
                }
                socket->deleteLater();
                if (!paths.isEmpty())
                    emit pathsReceived(paths);
            });
        }
    });
    return true;
}
