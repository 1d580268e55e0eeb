#pragma once

#include "verdict/QueryLine.h"
#include "verdict/Verdict.h"

#include <QObject>
#include <QTimer>

namespace zandrel {

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

// One WHOIS query over the TCP client, and the events of its answer. start() returns at once;
// every lookup that starts ends exactly once with lookupEnded(), never from inside start(): after
// the server closes, after a failed or timed-out connect (nothing sent), or after a limit ran out.
class WhoisLookup : public QObject
{
    Q_OBJECT
public:
    explicit WhoisLookup(TcpClient &client, QObject *parent = nullptr);

    void setServer(const ServerAddress &server) { m_server = server; }
    const ServerAddress &server() const { return m_server; }
    void setLimits(const LookupLimits &limits) { m_limits = limits; }
    const LookupLimits &limits() const { return m_limits; }

    // Closes any open connection, starts connecting and returns; `queryLine` is sent once the
    // connection is open. A connection not open within the connect wait ends the lookup.
    void start(const QString &queryLine);

    // Gives up the lookup in progress, if any: shows what arrived, closes the connection, adds
    // `why` to the response text on a line of its own and ends the lookup now.
    void abandon(const QString &why);

    bool inProgress() const { return m_active; }

    // The last lookup's own answer (the server's text only, lines ended by CR LF) and how it ended.
    const QString &answer() const { return m_answer; }
    LookupEnd endedHow() const { return m_ended; }
    // Why the last lookup got no whole answer ("connection refused", "no answer within 30 s" …);
    // empty when the server answered and closed.
    const QString &failure() const { return m_failure; }

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
    QString m_queryLine;
    ServerAddress m_server = defaultWhoisServer();
    LookupLimits m_limits;
    QTimer m_connectWait;
    QTimer m_idle;
    QTimer m_total;
    QString m_answer;
    QString m_failure;
    LookupEnd m_ended = LookupEnd::NoAnswer;
    bool m_gotBytes = false; // a lookup that received anything was cut off, never unanswered
    bool m_active = false;
    bool m_starting = false; // inside start(): an end is posted, not emitted
    quint64 m_serial = 0; // tells a posted end from the lookup it belongs to
};

} // namespace zandrel
