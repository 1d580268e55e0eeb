#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

#include <functional>

namespace zandrel::test {

// A DNS resolver on 127.0.0.1 (UDP, a port of its own) that answers by script: NS records,
// NXDOMAIN, SERVFAIL, silence or garbage. Every query's name is recorded.
class ScriptedDnsResolver : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        enum class Kind { NameServers, NxDomain, NoData, ServFail, Silence, Garbage };
        Kind kind = Kind::NxDomain;
        QStringList nameServers;
    };

    explicit ScriptedDnsResolver(QObject *parent = nullptr);

    QString address() const; // "127.0.0.1:PORT"

    // The reply for each query, made from its name (lower case, no trailing dot).
    void setReplyFor(std::function<Reply(const QString &name)> script) { m_script = std::move(script); }
    const std::function<Reply(const QString &name)> &replyFor() const { return m_script; }
    const QStringList &queries() const { return m_queries; }

private:
    void read();

    QUdpSocket m_socket;
    std::function<Reply(const QString &)> m_script;
    QStringList m_queries;
};

} // namespace zandrel::test
