#include "ScriptedHttpServer.h"

#include <QTcpSocket>

namespace zandrel::test {

ScriptedHttpServer::ScriptedHttpServer()
{
    setReply({});
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
                *buffer += socket->readAll();
                const qsizetype end = buffer->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                socket->disconnect(this); // one request per connection
                m_requests.append({buffer->split(' ').value(1), buffer->left(end)});
                const Reply reply = m_script(m_requests.last());
                if (reply.neverAnswer)
                    return;
                QByteArray head
                    = "HTTP/1.1 " + QByteArray::number(reply.status) + " Scripted\r\nConnection: close\r\n";
                for (const auto &[name, value] : reply.headers)
                    head += name + ": " + value + "\r\n";
                if (reply.endlessBytes == 0)
                    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
                // Closing waits until everything written has gone out.
                socket->write(head + "\r\n" + reply.body + QByteArray(reply.endlessBytes, '{'));
                socket->disconnectFromHost();
            });
        }
    });
}

} // namespace zandrel::test
