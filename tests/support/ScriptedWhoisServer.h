#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

namespace zandrel::test {

// A WHOIS server on 127.0.0.1 that answers by script: each query line it receives is recorded,
// then the reply for it is sent in chunks of `chunkSize` bytes (0: all at once), `chunkDelayMs`
// apart, and the connection is closed unless `keepOpen` is set. An empty reply kept open is a
// server that never answers.
class ScriptedWhoisServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        QByteArray text;
        int chunkSize = 0;
        int chunkDelayMs = 0;
        bool keepOpen = false;
    };

    explicit ScriptedWhoisServer(QObject *parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    QString address() const; // "127.0.0.1:PORT"

    // The reply for every query, or one made from the query line.
    void setReply(const Reply &reply);
    void setReplyFor(std::function<Reply(const QByteArray &query)> script);

    const QList<QByteArray> &queries() const { return m_queries; }

    // The most connections this server had open at once.
    int mostOpen() const { return m_mostOpen; }
    // Nanoseconds on one clock for every server of the process.
    static qint64 nowNs();

signals:
    void queryReceived(const QByteArray &query);

private:
    void serve(QTcpSocket *socket);
    void sendChunk(QPointer<QTcpSocket> socket, QByteArray rest, Reply reply);

    QTcpServer m_server;
    std::function<Reply(const QByteArray &)> m_script;
    QList<QByteArray> m_queries;
    int m_open = 0;
    int m_mostOpen = 0;
};

} // namespace zandrel::test

Q_DECLARE_METATYPE(zandrel::test::ScriptedWhoisServer::Reply)
