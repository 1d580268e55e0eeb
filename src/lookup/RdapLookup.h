#pragma once

#include "LookupJob.h"
#include "verdict/RdapAnswer.h"

#include <QPointer>

class QNetworkAccessManager;
class QNetworkReply;

namespace zandrel {

class Clock;

// One RDAP query, GET {base}domain/{name}, and the events of its answer, in the shape of a WHOIS
// lookup: the connection line, then the answer as readable lines (CR LF ends), then result() once.
// The same limits hold; redirects are followed a few times, never to a less safe address.
class RdapLookup : public LookupJob
{
    Q_OBJECT
public:
    RdapLookup(QNetworkAccessManager &network, const Clock &clock, QObject *parent = nullptr);
    ~RdapLookup() override;

    // The service's base URL, e.g. "https://rdap.verisign.com/com/v1/".
    void setBase(const QString &base) { m_base = base; }
    const QString &base() const { return m_base; }

    // The name asked, in its ACE form. A query not on its way within the connect wait ends the
    // lookup.
    void setName(const QString &aceName) { m_name = aceName; }

    // Gives up the lookup in progress, if any: adds `why` to the response text on a line of its
    // own and ends the lookup now.
    void abandon(const QString &why);

    // How the lookup ended; complete once result() has been emitted.
    const RdapEnd &lastEnd() const { return m_end; }
    const QString &lastName() const { return m_name; }

    static constexpr int MaxRedirects = 5;

private:
    void doStart() override;
    void doKill() override { dropReply(); }
    void connectWaitRanOut() override;
    void idleRanOut() override { giveUp(idleLimitLine(m_limits)); }
    void totalRanOut() override { giveUp(totalLimitLine(m_limits)); }
    void onSent();
    void onHeaders();
    void onData();
    void onFinished();
    void giveUp(const QString &why);
    void dropReply();

    QNetworkAccessManager &m_network;
    QString m_base;
    QPointer<QNetworkReply> m_reply;
    RdapEnd m_end;
    QString m_name;
    bool m_sent = false;
};

} // namespace zandrel
