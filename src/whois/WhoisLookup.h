#pragma once

#include "QueryLine.h"
#include "verdict/Verdict.h"

#include <QObject>
#include <QTimer>

namespace zandrel {

class EventYield;
class TcpClient;

// How long a lookup may take. A server that never answers, drips bytes or never stops sending
// must not hold the program: past these limits the lookup is closed and ends the normal way.
struct LookupLimits
{
    int connectWaitMs = 10'000;
    int idleMs = 30'000;
    int totalMs = 60'000;
    qint64 maxBytes = 1 << 20;
    // How long a stopped combination search still waits for a response already on its way.
    int stopGraceMs = 5'000;
};

// The lines that close a lookup when a limit runs out, the same for WHOIS and RDAP.
QString idleLimitLine(const LookupLimits &limits);
QString totalLimitLine(const LookupLimits &limits);
QString sizeLimitLine(const LookupLimits &limits);

// One WHOIS query over the TCP client, and the events of its answer. Every lookup that starts
// ends exactly once with lookupEnded(): after the server closes, after a failed or timed-out
// connect (nothing sent), or after a limit ran out.
class WhoisLookup : public QObject
{
    Q_OBJECT
public:
    WhoisLookup(TcpClient &client, EventYield &yield, QObject *parent = nullptr);

    void setServer(const ServerAddress &server) { m_server = server; }
    const ServerAddress &server() const { return m_server; }
    void setLimits(const LookupLimits &limits) { m_limits = limits; }
    const LookupLimits &limits() const { return m_limits; }

    // Closes any open connection, connects, waits for the connection (yielding to the event
    // queue) and sends `queryLine`. Returns whether it was sent. When nothing was sent, the end of
    // the lookup is posted to the event queue, so a caller that raises a flag right after this
    // returns always sees the end after it.
    bool SearchCurrent(const QString &queryLine);

    // Gives up the lookup in progress, if any: shows what arrived, closes the connection, adds
    // `why` to the response text on a line of its own and ends the lookup now.
    void abandon(const QString &why);

    bool inProgress() const { return m_active; }

    // The last lookup's own answer (the server's text only, lines ended by CR LF) and how it ended.
    const QString &answer() const { return m_answer; }
    LookupEnd endedHow() const { return m_ended; }

signals:
    // Text for the response box, line ends included.
    void responseText(const QString &text);
    void lookupEnded();

private:
    void onConnection(int status, const QString &description);
    void onData(const QString &text);
    void onBytes();
    void onDisconnection();
    void giveUp(const QString &why, LookupEnd how);
    void end();

    TcpClient &m_client;
    EventYield &m_yield;
    ServerAddress m_server = defaultWhoisServer();
    LookupLimits m_limits;
    QTimer m_idle;
    QTimer m_total;
    QString m_answer;
    LookupEnd m_ended = LookupEnd::NoAnswer;
    bool m_active = false;
    bool m_attemptDone = false;
    quint64 m_serial = 0; // tells a posted end from the lookup it belongs to
};

} // namespace zandrel
