#include "WhoisLookup.h"

#include "platform/TcpClient.h"

namespace zandrel {

QString idleLimitLine(const LookupLimits &limits)
{
    return QStringLiteral("Connection closed: no data from the server for %1 seconds.")
        .arg(limits.idleMs / 1000.0);
}

QString totalLimitLine(const LookupLimits &limits)
{
    return QStringLiteral("Connection closed: the response took longer than %1 seconds.")
        .arg(limits.totalMs / 1000.0);
}

QString sizeLimitLine(const LookupLimits &limits)
{
    return QStringLiteral("Connection closed: the response is larger than %1 bytes.").arg(limits.maxBytes);
}

WhoisLookup::WhoisLookup(TcpClient &client, QObject *parent)
    : LookupJob(parent)
    , m_client(client)
{
    connect(&m_connectWait, &QTimer::timeout, this, [this] {
        if (!m_active)
            return;
        m_client.close();
        m_ended = LookupEnd::ConnectionFailed;
        m_failure = QStringLiteral("no connection within %1 s").arg(m_limits.connectWaitMs / 1000.0);
        end();
    });
    connect(&m_idle, &QTimer::timeout, this, [this] {
        m_failure = m_gotBytes ? QStringLiteral("cut off: no data for %1 s").arg(m_limits.idleMs / 1000.0)
                               : QStringLiteral("no answer within %1 s").arg(m_limits.idleMs / 1000.0);
        giveUp(idleLimitLine(m_limits), m_gotBytes ? LookupEnd::CutOff : LookupEnd::NoAnswer);
    });
    connect(&m_total, &QTimer::timeout, this, [this] {
        m_failure = m_gotBytes ? QStringLiteral("cut off after %1 s").arg(m_limits.totalMs / 1000.0)
                               : QStringLiteral("no answer within %1 s").arg(m_limits.totalMs / 1000.0);
        giveUp(totalLimitLine(m_limits), m_gotBytes ? LookupEnd::CutOff : LookupEnd::NoAnswer);
    });
    connect(&m_client, &TcpClient::connectionEvent, this, &WhoisLookup::onConnection);
    connect(&m_client, &TcpClient::dataEvent, this, &WhoisLookup::onData);
    connect(&m_client, &TcpClient::bytesArrived, this, &WhoisLookup::onBytes);
    connect(&m_client, &TcpClient::limitExceeded, this, [this] {
        m_failure = QStringLiteral("cut off at %1 bytes").arg(m_limits.maxBytes);
        giveUp(sizeLimitLine(m_limits), LookupEnd::CutOff);
    });
    connect(&m_client, &TcpClient::disconnectionEvent, this, &WhoisLookup::onDisconnection);
}

void WhoisLookup::start(const QString &queryLine)
{
    beginStart();
    m_answer.clear();
    m_failure.clear();
    m_gotBytes = false;
    m_queryLine = queryLine;
    m_ended = LookupEnd::ConnectionFailed;
    m_client.setRemoteHost(m_server.host);
    m_client.setRemotePort(m_server.port);
    m_client.setByteLimit(m_limits.maxBytes);
    m_connectWait.start(m_limits.connectWaitMs);
    // Connecting closes a connection still open from an earlier lookup first.
    m_client.connectToRemote();
    finishStarting();
}

void WhoisLookup::abandon(const QString &why)
{
    giveUp(why, LookupEnd::Abandoned);
}

void WhoisLookup::onConnection(int status, const QString &description)
{
    if (!m_active)
        return;
    m_connectWait.stop();
    if (status != 0) {
        // As the response box words it, in the middle of a sentence.
        m_failure = description.isEmpty() ? description : description.at(0).toLower() + description.mid(1);
        emit responseText(
            QStringLiteral("Connection failed: %1 (%2)\r\n\r\n").arg(description, hostAndPort(m_server)));
        m_client.close();
        m_ended = LookupEnd::ConnectionFailed;
        end();
        return;
    }
    emit responseText(QStringLiteral("Connected.  Waiting for data...\r\n\r\n"));
    m_ended = LookupEnd::NoAnswer;
    m_client.send(m_queryLine);
    m_idle.start(m_limits.idleMs);
    m_total.start(m_limits.totalMs);
}

void WhoisLookup::onData(const QString &text)
{
    if (m_active)
        m_answer += text;
    emit responseText(text);
}

void WhoisLookup::onBytes()
{
    if (!m_active)
        return;
    m_gotBytes = true;
    m_idle.start(m_limits.idleMs);
}

void WhoisLookup::onDisconnection()
{
    if (m_active) {
        m_ended = LookupEnd::Answered;
        if (!m_gotBytes)
            m_failure = QStringLiteral("closed with no answer");
    }
    end();
}

void WhoisLookup::giveUp(const QString &why, LookupEnd how)
{
    if (!m_active)
        return;
    // What arrived before the limit is shown, the last line too.
    const QString rest = m_client.takeRest();
    m_client.close();
    m_ended = how;
    if (!rest.isEmpty())
        m_answer += rest;
    emit responseText(rest + QStringLiteral("\r\n") + why + QStringLiteral("\r\n"));
    end();
}

} // namespace zandrel
