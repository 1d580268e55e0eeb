#include "Router.h"

#include "platform/TcpClient.h"
#include "verdict/Registrable.h"

#include <QUrl>

namespace zandrel {

QString rdapServerKey(const QString &base)
{
    return QUrl(base).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

// One question to the IANA server, and the plans that wait for its answer.
struct Router::Referral
{
    TcpClient client;
    WhoisLookup lookup {client};
    QList<std::function<void(std::optional<LookupEnd>)>> waiting;
};

Router::Router(const RouterSettings &settings, const Clock &clock, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_referrals(clock, settings.cacheFolder)
    , m_bootstrap(m_network, clock, settings.cacheFolder)
{
    m_bootstrap.setSourceUrl(settings.rdapBootstrapUrl);
}

Router::~Router() = default;

void Router::report(const QString &problem)
{
    if (problem.isEmpty() || m_reported.contains(problem))
        return;
    m_reported.insert(problem);
    emit notice(problem);
}

Route Router::routeFor(const QString &routedName)
{
    Route route = routeName(routedName, ServerTable::builtIn(), m_settings.overrides,
                            [this](const QString &tld) { return m_referrals.server(tld); });
    for (const QString &bad : std::as_const(route.malformed))
        report(QStringLiteral("Ignored the server setting %1: it is not HOST or HOST:PORT.").arg(bad));
    return route;
}

void Router::plan(const QString &name, int queryType, bool sendUnregistrable,
                  const std::function<void(LookupPlan)> &done)
{
    LookupPlan plan;
    plan.name = name;
    plan.name.remove(u'\r');
    plan.name.remove(u'\n');
    // In the "Whois" form a registrar or host query is not a name to judge.
    plan.judged = queryType == DomainSearch || looksLikeDomainName(plan.name);
    const std::optional<QString> ascii = asciiName(plan.name);
    plan.ace = ascii.value_or(plan.name);
    if (plan.judged)
        plan.unregistrable = unregistrableReason(plan.name);
    if (plan.unregistrable && !sendUnregistrable) {
        done(plan);
        return;
    }
    const bool routable = plan.judged && ascii;
    const QString routed = routable ? plan.ace : QStringLiteral("com");
    planRoute(std::move(plan), routed, queryType, routable, false, done);
}

void Router::planRoute(LookupPlan plan, const QString &routed, int queryType, bool routable, bool ianaAsked,
                       const std::function<void(LookupPlan)> &done)
{
    const Route route = routeFor(routed);
    if (route.kind == Route::Kind::AskIana && !ianaAsked) {
        askIana(route.tld,
                [this, plan, routed, queryType, routable, done,
                 tld = route.tld](std::optional<LookupEnd> failed) mutable {
                    // The server asked was IANA's, whatever it said; a server it names replaces it.
                    if (const std::optional<ServerAddress> iana = parseServerAddress(m_settings.ianaServer))
                        plan.recordServer = hostAndPort(*iana);
                    if (failed) {
                        plan.unasked = *failed;
                        plan.unaskedLines
                            = QStringLiteral("The IANA server did not say which server serves .") + tld
                            + QStringLiteral("\r\n");
                    }
                    planRoute(std::move(plan), routed, queryType, routable, true, done);
                });
        return;
    }
    plan.rules = ServerTable::builtIn().judgingRules(route.tld);
    plan.authority = route.authority;
    if (route.kind == Route::Kind::Rdap) {
        planRdap(std::move(plan), route, done);
        return;
    }
    if (route.kind == Route::Kind::NoServer) {
        plan.unaskedLines
            += QStringLiteral("No WHOIS server is known for .") + route.tld + QStringLiteral("\r\n");
        plan.noService = true;
    }
    if (route.kind == Route::Kind::Server) {
        // Only the registry's own server as the table or IANA names it: a server the user chose is
        // not swapped for another service.
        const ServerOverrides &overrides = m_settings.overrides;
        plan.rdapFallback = overrides.protocol == Protocol::Auto && routable
            && overrides.serverOption.isEmpty() && overrides.whoisServer.isEmpty()
            && !overrides.perTld.contains(route.tld) && route.authority.kind == Authority::Kind::Registry;
        plan.via = LookupPlan::Via::Whois;
        plan.server = route.server;
        plan.serverKey = hostAndPort(route.server);
        plan.recordServer = plan.serverKey;
        plan.queryLine = routable ? queryFromTemplate(route.queryTemplate, queryType, plan.ace)
                                  : buildQueryLine(queryType, plan.name, false);
    }
    done(std::move(plan));
}

QString Router::rdapBaseFor(const QString &aceName)
{
    return m_bootstrap.bootstrap().baseFor(aceName);
}

// One lookup over RDAP, at the route's base URL or the one IANA's bootstrap names.
void Router::planRdap(LookupPlan plan, const Route &route, const std::function<void(LookupPlan)> &done)
{
    if (route.rdapBase.isEmpty() && !m_bootstrapSettled) {
        m_bootstrap.refreshIfStale([this, plan, route, done] {
            m_bootstrapSettled = true;
            planRdap(plan, route, done);
        });
        return;
    }
    QString base = route.rdapBase;
    if (base.isEmpty()) {
        base = m_bootstrap.bootstrap().baseFor(plan.ace);
        if (base.isEmpty()) // a term that is no domain name goes where its routing went
            base = m_bootstrap.bootstrap().baseFor(route.tld);
        report(m_bootstrap.message());
    }
    if (base.isEmpty()) {
        if (m_settings.overrides.protocol == Protocol::Auto)
            plan.unaskedLines
                += QStringLiteral("No WHOIS server is known for .") + route.tld + QStringLiteral("\r\n");
        plan.unaskedLines
            += QStringLiteral("No RDAP service is known for .") + route.tld + QStringLiteral("\r\n");
        plan.noService = true;
        // A bootstrap that gives no routes at all is why; a failed refresh alone is not.
        if (m_bootstrap.bootstrap().size() == 0)
            plan.unaskedLines += m_bootstrap.message() + QStringLiteral("\r\n");
        done(std::move(plan));
        return;
    }
    plan.via = LookupPlan::Via::Rdap;
    plan.rdapBase = base;
    plan.recordServer = base;
    plan.serverKey = rdapServerKey(base);
    done(std::move(plan));
}

// Learns from the IANA server which WHOIS server serves `tld` and keeps it for a week; `done` gets
// how the exchange failed when it did not answer.
void Router::askIana(const QString &tld, const std::function<void(std::optional<LookupEnd>)> &done)
{
    if (const auto asked = m_referralsAsked.constFind(tld); asked != m_referralsAsked.constEnd()) {
        (*asked)->waiting << done;
        return;
    }
    const std::optional<ServerAddress> iana = parseServerAddress(m_settings.ianaServer);
    if (!iana) {
        report(QStringLiteral("Ignored the server setting iana=%1: it is not HOST or HOST:PORT.")
                   .arg(m_settings.ianaServer));
        done(LookupEnd::ConnectionFailed);
        return;
    }
    auto referral = std::make_shared<Referral>();
    referral->waiting << done;
    m_referralsAsked.insert(tld, referral);
    WhoisLookup &lookup = referral->lookup;
    lookup.setLimits(m_settings.limits);
    lookup.setServer(*iana);
    connect(&lookup, &WhoisLookup::lookupEnded, this, [this, tld] {
        const std::shared_ptr<Referral> ended = m_referralsAsked.take(tld);
        if (!ended)
            return;
        const LookupEnd how = ended->lookup.endedHow();
        std::optional<LookupEnd> failed;
        if (how == LookupEnd::Answered)
            m_referrals.insert(tld, parseIanaWhoisServer(ended->lookup.answer()).value_or(QString()));
        else
            failed = how;
        for (const auto &waiting : std::as_const(ended->waiting))
            waiting(failed);
        // The lookup is still on the stack of this call: it goes once the call has returned.
        QMetaObject::invokeMethod(
            this, [ended] {}, Qt::QueuedConnection);
    });
    lookup.start(tld + QStringLiteral("\r\n"));
}

} // namespace zandrel
