#pragma once

#include "lookup/RdapBootstrap.h"
#include "lookup/WhoisLookup.h"
#include "verdict/IanaReferral.h"
#include "verdict/ServerTable.h"
#include "verdict/Verdict.h"

#include <QHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <optional>

namespace zandrel {

class Clock;

// Where one name is asked, in which form, and by which rules its answer is read.
struct LookupPlan
{
    // Referral: the name waits for the IANA server to say which WHOIS server serves its TLD.
    enum class Via { None, Whois, Rdap, Referral };

    QString name; // as typed, line breaks dropped
    QString ace; // as sent
    int queryType = 0;
    bool routable = false; // a domain name in ASCII form: routed by its own TLD
    bool judged = true; // a domain name: it gets a verdict
    std::optional<QString> unregistrable;
    RegistryRules rules;
    Authority authority; // whether the server asked speaks for the name's registry
    Via via = Via::None;
    ServerAddress server; // Via::Whois
    QString queryLine; // Via::Whois
    QString rdapBase; // Via::Rdap
    QString referralTld; // Via::Referral
    // The queue the lookup waits in: one per WHOIS host and port, one per RDAP host; empty when no
    // server is asked.
    QString serverKey;
    QString recordServer; // what the record names: "host:port" or the RDAP base URL
    QString unaskedLines; // why no server is asked, for the response box
    LookupEnd unasked = LookupEnd::NoAnswer;
    bool noService = false; // neither a WHOIS server nor an RDAP service is known for the TLD
    // A WHOIS server that cannot be reached is replaced by the TLD's RDAP service, when the
    // bootstrap knows one (the auto protocol, the server being the registry's own).
    bool rdapFallback = false;
    bool fromFallback = false; // this is that RDAP lookup
};

// What a run is told about each server asked, and what every lookup shares: the table, the
// overrides, the servers IANA named, the RDAP bootstrap and the network.
struct RouterSettings
{
    ServerOverrides overrides;
    QString ianaServer = QStringLiteral("whois.iana.org");
    QString rdapBootstrapUrl = RdapBootstrapCache::defaultSourceUrl();
    QString cacheFolder;
    LookupLimits limits;
};

// Decides where each name goes. Most names are planned at once; a TLD the table lacks waits for
// one IANA referral (shared by every name under it), an RDAP route for the bootstrap's refresh.
class Router : public QObject
{
    Q_OBJECT
public:
    Router(const RouterSettings &settings, const Clock &clock, QObject *parent = nullptr);
    ~Router() override;

    const RouterSettings &settings() const { return m_settings; }
    ServerOverrides &overrides() { return m_settings.overrides; }
    LookupLimits &limits() { return m_settings.limits; }
    QNetworkAccessManager &network() { return m_network; }
    const Clock &clock() const { return m_clock; }

    // Plans the lookup of `name` in `queryType`'s form and hands the plan to `done`, now or once the
    // bootstrap's refresh ended. A name nobody can register is planned to ask no server unless
    // `sendUnregistrable`. A TLD the table lacks gives a Via::Referral plan: the caller asks the
    // IANA server through its queues (referralLookup()), then plans again with planAfterReferral().
    // `overrides`: the servers the run was told to use (a run keeps those it started with).
    void plan(const QString &name, int queryType, bool sendUnregistrable, const ServerOverrides &overrides,
              const std::function<void(LookupPlan)> &done);
    // The question to the IANA server about `tld`, not started.
    std::unique_ptr<WhoisLookup> referralLookup(const QString &tld) const;
    // Keeps what the IANA server said about `tld` for a week, when it answered.
    void referralEnded(const QString &tld, const WhoisLookup &lookup);
    // Plans a name that waited for its referral; `failed`: how the question failed.
    void planAfterReferral(LookupPlan waiting, std::optional<LookupEnd> failed,
                           const ServerOverrides &overrides, const std::function<void(LookupPlan)> &done);
    // The RDAP service the bootstrap at hand names for `aceName`; empty when it names none.
    QString rdapBaseFor(const QString &aceName);

signals:
    // A short word for the user about a setting or a service that did not work as asked.
    void notice(const QString &text);

private:
    Route routeFor(const QString &routedName, const ServerOverrides &overrides);
    void planRoute(LookupPlan plan, bool ianaAsked, const ServerOverrides &overrides,
                   const std::function<void(LookupPlan)> &done);
    void planRdap(LookupPlan plan, const Route &route, const ServerOverrides &overrides,
                  const std::function<void(LookupPlan)> &done);
    void planWhois(LookupPlan &plan, const Route &route, const ServerOverrides &overrides) const;
    void report(const QString &problem);

    RouterSettings m_settings;
    const Clock &m_clock;
    QNetworkAccessManager m_network;
    ReferralCache m_referrals;
    RdapBootstrapCache m_bootstrap;
    QSet<QString> m_reported;
    bool m_bootstrapSettled = false; // refreshed, or no refresh was due
};

// Services under one host share its limits: RDAP lookups queue by the base URL's host.
QString rdapServerKey(const QString &base);

} // namespace zandrel
