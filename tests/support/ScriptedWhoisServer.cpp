#include "ScriptedWhoisServer.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

namespace zandrel::test {

ScriptedWhoisServer::ScriptedWhoisServer(QObject *parent)
    : QObject(parent)
{
    setReply({});
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

qint64 ScriptedWhoisServer::nowNs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.nsecsElapsed();
}

QString ScriptedWhoisServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

void ScriptedWhoisServer::setReply(const Reply &reply)
{
    m_script = [reply](const QByteArray &) {
        return reply;
    };
}

void ScriptedWhoisServer::setReplyFor(std::function<Reply(const QByteArray &)> script)
{
    m_script = std::move(script);
}

void ScriptedWhoisServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    m_mostOpen = std::max(m_mostOpen, ++m_open);
    connect(socket, &QTcpSocket::disconnected, this, [this] { --m_open; });
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        *buffer += socket->readAll();
        const qsizetype end = buffer->indexOf("\r\n");
        if (end < 0 || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const QByteArray query = buffer->left(end + 2);
        m_queries.append(query);
        emit queryReceived(query);
        const Reply reply = m_script(query);
        sendChunk(socket, reply.text, reply);
    });
}

void ScriptedWhoisServer::sendChunk(QPointer<QTcpSocket> socket, QByteArray rest, Reply reply)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    const qsizetype size = reply.chunkSize > 0 ? reply.chunkSize : rest.size();
    socket->write(rest.left(size));
    socket->flush();
    rest.remove(0, size);
    if (!rest.isEmpty()) {
        QTimer::singleShot(reply.chunkDelayMs, this,
                           [this, socket, rest, reply] { sendChunk(socket, rest, reply); });
        return;
    }
    if (!reply.keepOpen)
        socket->disconnectFromHost();
}

} // namespace zandrel::test
