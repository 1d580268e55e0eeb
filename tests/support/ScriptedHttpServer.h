#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

namespace zandrel::test {

// An HTTP/1.1 server on 127.0.0.1 that answers every request by script and closes the
// connection. It records each request's path and head.
class ScriptedHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers; // e.g. {"Retry-After", "120"}
        bool neverAnswer = false;
        qint64 endlessBytes = 0; // else: this many bytes of filler after the body, without a length
    };
    struct Request
    {
        QByteArray path;
        QByteArray head; // the request line and header lines
    };

    explicit ScriptedHttpServer(QObject *parent = nullptr);

    QString baseUrl() const; // "http://127.0.0.1:PORT/"
    void setReply(const Reply &reply);
    void setReplyFor(std::function<Reply(const Request &)> script) { m_script = std::move(script); }
    const QList<Request> &requests() const { return m_requests; }

private:
    void serve(QTcpSocket *socket);
    void sendFiller(QTcpSocket *socket, qint64 bytes);

    QTcpServer m_server;
    std::function<Reply(const Request &)> m_script;
    QList<Request> m_requests;
};

} // namespace zandrel::test

Q_DECLARE_METATYPE(zandrel::test::ScriptedHttpServer::Reply)
