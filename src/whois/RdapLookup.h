#pragma once

#include "RdapAnswer.h"
#include "WhoisLookup.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

namespace zandrel {

class Clock;
class EventYield;

// One RDAP query, GET {base}domain/{name}, and the events of its answer, in the shape of a WHOIS
// lookup: the connection line, then the answer as readable lines (CR LF ends), then lookupEnded()
// exactly once. The same limits hold; redirects are followed a few times, never to a less safe
// address.
class RdapLookup : public QObject
{
    Q_OBJECT
public:
    RdapLookup(QNetworkAccessManager &network, EventYield &yield, const Clock &clock,
               QObject *parent = nullptr);
    ~RdapLookup() override;

    // The service's base URL, e.g. "https://rdap.verisign.com/com/v1/".
    void setBase(const QString &base) { m_base = base; }
    const QString &base() const { return m_base; }
    void setLimits(const LookupLimits &limits) { m_limits = limits; }
    const LookupLimits &limits() const { return m_limits; }

    // Sends the query for `aceName` (the name in its ACE form) and waits (yielding to the event
    // queue) until it is on its way. Returns whether it was sent. When nothing was sent, the end of
    // the lookup is posted to the event queue, as for a WHOIS lookup.
    bool SearchCurrent(const QString &aceName);

    // Gives up the lookup in progress, if any: adds `why` to the response text on a line of its
    // own and ends the lookup now.
    void abandon(const QString &why);

    bool inProgress() const { return m_active; }
    // How the last lookup ended; complete once lookupEnded() has been emitted.
    const RdapEnd &lastEnd() const { return m_end; }
    const QString &lastName() const { return m_name; }

    static constexpr int MaxRedirects = 5;

signals:
    void responseText(const QString &text);
    void lookupEnded();

private:
    void onSent();
    void onHeaders();
    void onData();
    void onFinished();
    void giveUp(const QString &why);
    void dropReply();
    void finish();
    void end();

    QNetworkAccessManager &m_network;
    EventYield &m_yield;
    const Clock &m_clock;
    QString m_base;
    LookupLimits m_limits;
    QPointer<QNetworkReply> m_reply;
    QTimer m_idle;
    QTimer m_total;
    RdapEnd m_end;
    QString m_name;
    bool m_active = false;
    bool m_sent = false;
    bool m_waiting = false; // inside SearchCurrent: the end is posted, not emitted
    quint64 m_serial = 0;
};

} // namespace zandrel
