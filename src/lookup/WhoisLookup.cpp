#include "WhoisLookup.h"

#include "platform/TcpClient.h"
#include "verdict/ServerTable.h"

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

WhoisLookup::WhoisLookup(const Clock &clock, QObject *parent)
    : LookupJob(clock, parent)
    , m_client(std::make_unique<TcpClient>())
{
    connect(m_client.get(), &TcpClient::connectionEvent, this, &WhoisLookup::onConnection);
    connect(m_client.get(), &TcpClient::dataEvent, this, &WhoisLookup::onData);
    connect(m_client.get(), &TcpClient::bytesArrived, this, &WhoisLookup::onBytes);
    connect(m_client.get(), &TcpClient::limitExceeded, this, [this] {
        m_failure = QStringLiteral("cut off at %1 bytes").arg(m_limits.maxBytes);
        giveUp(sizeLimitLine(m_limits), LookupEnd::CutOff);
    });
    connect(m_client.get(), &TcpClient::disconnectionEvent, this, &WhoisLookup::onDisconnection);
}

WhoisLookup::~WhoisLookup() = default;

void WhoisLookup::setServer(const ServerAddress &server)
{
    m_server = server;
    m_charset = ServerTable::builtIn().charsetOf(server.host);
}

void WhoisLookup::connectWaitRanOut()
{
    if (!m_active)
        return;
    m_client->close();
    m_ended = LookupEnd::ConnectionFailed;
    m_failure = QStringLiteral("no connection within %1 s").arg(m_limits.connectWaitMs / 1000.0);
    end();
}

void WhoisLookup::idleRanOut()
{
    m_failure = m_gotBytes ? QStringLiteral("cut off: no data for %1 s").arg(m_limits.idleMs / 1000.0)
                           : QStringLiteral("no answer within %1 s").arg(m_limits.idleMs / 1000.0);
    giveUp(idleLimitLine(m_limits), m_gotBytes ? LookupEnd::CutOff : LookupEnd::NoAnswer);
}

void WhoisLookup::totalRanOut()
{
    m_failure = m_gotBytes ? QStringLiteral("cut off after %1 s").arg(m_limits.totalMs / 1000.0)
                           : QStringLiteral("no answer within %1 s").arg(m_limits.totalMs / 1000.0);
    giveUp(totalLimitLine(m_limits), m_gotBytes ? LookupEnd::CutOff : LookupEnd::NoAnswer);
}

void WhoisLookup::doStart()
{
    m_active = true;
    m_shown = AnswerDecoder(m_charset);
    m_ended = LookupEnd::ConnectionFailed;
    m_client->setRemoteHost(m_server.host);
    m_client->setRemotePort(m_server.port);
    m_client->setByteLimit(m_limits.maxBytes);
    m_connectWait.start(m_limits.connectWaitMs);
    m_client->connectToRemote();
}

void WhoisLookup::doKill()
{
    m_active = false;
    m_client->close();
    m_connectWait.stop();
    m_idle.stop();
    m_total.stop();
}

void WhoisLookup::abandon(const QString &why)
{
    giveUp(why, LookupEnd::Abandoned);
}

void WhoisLookup::onConnection(const Result<void> &connected)
{
    if (!m_active)
        return;
    m_connectWait.stop();
    if (!connected) {
        const QString &description = connected.error().text;
        // As the response box words it, in the middle of a sentence.
        m_failure = description.isEmpty() ? description : description.at(0).toLower() + description.mid(1);
        emit responseText(
            QStringLiteral("Connection failed: %1 (%2)\r\n\r\n").arg(description, hostAndPort(m_server)));
        m_client->close();
        m_ended = LookupEnd::ConnectionFailed;
        end();
        return;
    }
    emit responseText(QStringLiteral("Connected.  Waiting for data...\r\n\r\n"));
    m_ended = LookupEnd::NoAnswer;
    m_client->send(m_queryLine);
    m_idle.start(m_limits.idleMs);
    m_total.start(m_limits.totalMs);
}

void WhoisLookup::onData(const QByteArray &lines)
{
    if (m_active)
        m_answer += lines;
    emit responseText(m_shown.decode(lines));
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
    const QByteArray rest = m_client->takeRest();
    m_client->close();
    m_ended = how;
    m_answer += rest;
    emit responseText(m_shown.decode(rest) + QStringLiteral("\r\n") + why + QStringLiteral("\r\n"));
    end();
}

} // namespace zandrel
