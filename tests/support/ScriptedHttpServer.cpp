#include "ScriptedHttpServer.h"

#include <QPointer>
#include <QTcpSocket>

namespace zandrel::test {

ScriptedHttpServer::ScriptedHttpServer(QObject *parent)
    : QObject(parent)
{
    setReply({});
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

QString ScriptedHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort());
}

void ScriptedHttpServer::setReply(const Reply &reply)
{
    m_script = [reply](const Request &) {
        return reply;
    };
}

void ScriptedHttpServer::serve(QTcpSocket *socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        const QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
        socket->setProperty("buffer", buffer);
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0 || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const Request request {buffer.split(' ').value(1), buffer.left(end)};
        m_requests.append(request);
        const Reply reply = m_script(request);
        if (reply.neverAnswer)
            return;
        QByteArray head
            = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\nConnection: close\r\n";
        for (const auto &[name, value] : reply.headers)
            head += name + ": " + value + "\r\n";
        if (reply.endlessBytes == 0)
            head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        socket->write(head + "\r\n" + reply.body);
        sendFiller(socket, reply.endlessBytes);
    });
}

void ScriptedHttpServer::sendFiller(QTcpSocket *socket, qint64 bytes)
{
    // 64 KiB pieces, each written once the previous one has gone out; then the server closes.
    auto left = std::make_shared<qint64>(bytes);
    auto more = [socket = QPointer<QTcpSocket>(socket), left] {
        if (!socket || socket->bytesToWrite() > 0)
            return;
        if (*left <= 0) {
            socket->disconnectFromHost();
            return;
        }
        const qint64 piece = std::min<qint64>(*left, 64 * 1024);
        *left -= piece;
        socket->write(QByteArray(piece, '{'));
    };
    connect(socket, &QTcpSocket::bytesWritten, this, more);
    more();
}

} // namespace zandrel::test
