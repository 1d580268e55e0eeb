#pragma once

#include "QueryLine.h"

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

// One WHOIS query over the TCP client, and the events of its answer. Every lookup that starts
// ends exactly once with lookupEnded(): after the server closes, after a failed or timed-out
// connect (nothing sent), or after a limit ran out.
class WhoisLookup : public QObject
{
    Q_OBJECT
public:
    WhoisLookup(TcpClient &client, EventYield &yield, QObject *parent = nullptr);

    void setServer(const ServerAddress &server) { m_server = server; }
    void setLimits(const LookupLimits &limits) { m_limits = limits; }
    const LookupLimits &limits() const { return m_limits; }

    // Closes any open connection, connects, waits for the connection (yielding to the event
    // queue) and sends `queryLine`. Returns whether it was sent. When nothing was sent, the end of
    // the lookup is posted to the event queue, so a caller that raises a flag right after this
    // returns always sees the end after it.
    bool SearchCurrent(const QString &queryLine);

    // Gives up the lookup in progress, if any: shows what arrived, closes the connection and ends
    // it now.
    void abandon();

    bool inProgress() const { return m_active; }

signals:
    // Text for the response box, line ends included.
    void responseText(const QString &text);
    void lookupEnded();

private:
    void onConnection(int status, const QString &description);
    void onData(const QString &text);
    void onBytes();
    void onDisconnection();
    void giveUp(const QString &why);
    void end();

    TcpClient &m_client;
    EventYield &m_yield;
    ServerAddress m_server = defaultWhoisServer();
    LookupLimits m_limits;
    QTimer m_idle;
    QTimer m_total;
    bool m_active = false;
    bool m_attemptDone = false;
    quint64 m_serial = 0; // tells a posted end from the lookup it belongs to
};

} // namespace zandrel
