#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

#include <functional>

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
    using Script = std::function<Reply(const Request &)>;

    ScriptedHttpServer();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()); }
    void setReply(const Reply &reply)
    {
        m_script = [reply](const Request &) {
            return reply;
        };
    }
    void setReplyFor(Script script) { m_script = std::move(script); }
    const QList<Request> &requests() const { return m_requests; }

private:
    QTcpServer m_server;
    Script m_script;
    QList<Request> m_requests;
};

} // namespace zandrel::test

Q_DECLARE_METATYPE(zandrel::test::ScriptedHttpServer::Reply)
