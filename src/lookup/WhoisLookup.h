#pragma once

#include "LookupJob.h"
#include "platform/Result.h"
#include "text/AnswerDecoder.h"
#include "verdict/QueryLine.h"
#include "verdict/Verdict.h"

#include <memory>

namespace zandrel {

class TcpClient;

// One WHOIS query over its own TCP client, and the events of its answer: a job. It ends once, after
// the server closes, after a failed or timed-out connect (nothing sent), or after a limit ran out.
class WhoisLookup : public LookupJob
{
    Q_OBJECT
public:
    explicit WhoisLookup(const Clock &clock, QObject *parent = nullptr);
    ~WhoisLookup() override;

    // Also reads the server's answers in the charset its row of the built-in table names.
    void setServer(const ServerAddress &server);
    const ServerAddress &server() const { return m_server; }
    // Sent once the connection is open; a connection not open within the connect wait ends the
    // lookup.
    void setQuery(const QString &queryLine) { m_queryLine = queryLine; }
    // The charset answers are read in; empty: UTF-8, or Latin-1 for an answer that is not UTF-8.
    void setCharset(const QString &charset) { m_charset = charset; }

    // Gives up the lookup in progress, if any: shows what arrived, closes the connection, adds
    // `why` to the response text on a line of its own and ends the lookup now.
    void abandon(const QString &why);

    // The last lookup's own answer (the server's text only, lines ended by CR LF), decoded whole,
    // and how it ended.
    QString answer() const { return decodeAnswer(m_answer, m_charset); }
    LookupEnd endedHow() const { return m_ended; }
    // Why the last lookup got no whole answer ("connection refused", "no answer within 30 s" …);
    // empty when the server answered and closed.
    const QString &failure() const { return m_failure; }

private:
    void doStart() override;
    void doKill() override;
    void connectWaitRanOut() override;
    void idleRanOut() override;
    void totalRanOut() override;
    void onConnection(const Result<void> &connected);
    void onData(const QByteArray &lines);
    void onBytes();
    void onDisconnection();
    void giveUp(const QString &why, LookupEnd how);

    std::unique_ptr<TcpClient> m_client;
    QString m_queryLine;
    ServerAddress m_server = defaultWhoisServer();
    QString m_charset;
    QByteArray m_answer;
    AnswerDecoder m_shown; // the answer as the response box gets it, piece by piece
    QString m_failure;
    LookupEnd m_ended = LookupEnd::NoAnswer;
    bool m_gotBytes = false; // a lookup that received anything was cut off, never unanswered
};

} // namespace zandrel
