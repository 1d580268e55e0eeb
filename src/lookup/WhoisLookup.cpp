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
    : QObject(parent)
    , m_client(client)
{
    m_connectWait.setSingleShot(true);
    m_idle.setSingleShot(true);
    m_total.setSingleShot(true);
    connect(&m_connectWait, &QTimer::timeout, this, [this] {
        if (!m_active)
            return;
        m_client.close();
        m_ended = LookupEnd::ConnectionFailed;
        end();
    });
    connect(&m_idle, &QTimer::timeout, this, [this] {
        giveUp(idleLimitLine(m_limits), m_answer.isEmpty() ? LookupEnd::NoAnswer : LookupEnd::CutOff);
    });
    connect(&m_total, &QTimer::timeout, this, [this] {
        giveUp(totalLimitLine(m_limits), m_answer.isEmpty() ? LookupEnd::NoAnswer : LookupEnd::CutOff);
    });
    connect(&m_client, &TcpClient::connectionEvent, this, &WhoisLookup::onConnection);
    connect(&m_client, &TcpClient::dataEvent, this, &WhoisLookup::onData);
    connect(&m_client, &TcpClient::bytesArrived, this, &WhoisLookup::onBytes);
    connect(&m_client, &TcpClient::limitExceeded, this,
            [this] { giveUp(sizeLimitLine(m_limits), LookupEnd::CutOff); });
    connect(&m_client, &TcpClient::disconnectionEvent, this, &WhoisLookup::onDisconnection);
}

void WhoisLookup::start(const QString &queryLine)
{
    m_idle.stop();
    m_total.stop();
    m_active = true;
    m_answer.clear();
    m_queryLine = queryLine;
    m_ended = LookupEnd::ConnectionFailed;
    ++m_serial;
    m_client.setRemoteHost(m_server.host);
    m_client.setRemotePort(m_server.port);
    m_client.setByteLimit(m_limits.maxBytes);
    m_connectWait.start(m_limits.connectWaitMs);
    // Connecting closes a connection still open from an earlier lookup first.
    m_starting = true;
    m_client.connectToRemote();
    m_starting = false;
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
    if (m_active)
        m_idle.start(m_limits.idleMs);
}

void WhoisLookup::onDisconnection()
{
    if (m_active)
        m_ended = LookupEnd::Answered;
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

void WhoisLookup::end()
{
    if (!m_active)
        return;
    if (m_starting) {
        const quint64 serial = m_serial;
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (serial == m_serial)
                    end();
            },
            Qt::QueuedConnection);
        return;
    }
    m_active = false;
    m_connectWait.stop();
    m_idle.stop();
    m_total.stop();
    emit lookupEnded();
}

} // namespace zandrel
