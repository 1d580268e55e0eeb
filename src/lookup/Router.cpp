#include "Router.h"

#include "verdict/Registrable.h"

#include <QUrl>

namespace zandrel {

QString rdapServerKey(const QString &base)
{
    return QUrl(base).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

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

Route Router::routeFor(const QString &routedName, const ServerOverrides &overrides)
{
    Route route = routeName(
        routedName, ServerTable::builtIn(), overrides,
        [this](const QString &tld) { return m_referrals.server(tld); },
        [this](const QString &aceName) { return !m_bootstrap.bootstrap().baseFor(aceName).isEmpty(); });
    for (const QString &bad : std::as_const(route.malformed))
        report(QStringLiteral("Ignored the server setting %1: it is not HOST or HOST:PORT.").arg(bad));
    return route;
}

void Router::plan(const QString &name, int queryType, bool sendUnregistrable,
                  const ServerOverrides &overrides, const std::function<void(LookupPlan)> &done)
{
    LookupPlan plan;
    plan.name = name;
    plan.name.remove(u'\r');
    plan.name.remove(u'\n');
    // In the "Whois" form a registrar or host query is not a name to judge.
    plan.judged = queryType == DomainSearch || looksLikeDomainName(plan.name);
    const std::optional<QString> ascii = asciiName(plan.name);
    plan.ace = ascii.value_or(plan.name);
    if (plan.judged) {
        if (const Result<void> registrable = checkRegistrable(plan.name); !registrable)
            plan.unregistrable = registrable.error().text;
    }
    if (plan.unregistrable && !sendUnregistrable) {
        done(plan);
        return;
    }
    plan.queryType = queryType;
    plan.routable = plan.judged && ascii;
    planRoute(std::move(plan), false, overrides, done);
}

void Router::planRoute(LookupPlan plan, bool ianaAsked, const ServerOverrides &overrides,
                       const std::function<void(LookupPlan)> &done)
{
    const QString routed = plan.routable ? plan.ace : QStringLiteral("com");
    const Route route = routeFor(routed, overrides);
    if (route.kind == Route::Kind::AskIana && !ianaAsked) {
        plan.referralTld = route.tld;
        const std::optional<ServerAddress> iana = parseServerAddress(m_settings.ianaServer);
        if (!iana) {
            report(QStringLiteral("Ignored the server setting iana=%1: it is not HOST or HOST:PORT.")
                       .arg(m_settings.ianaServer));
            planAfterReferral(std::move(plan), LookupEnd::ConnectionFailed, overrides, done);
            return;
        }
        plan.via = LookupPlan::Via::Referral;
        plan.serverKey = hostAndPort(*iana);
        plan.recordServer = plan.serverKey;
        done(std::move(plan));
        return;
    }
    plan.rules = ServerTable::builtIn().judgingRules(route.tld);
    plan.authority = route.authority;
    if (route.kind == Route::Kind::Rdap) {
        planRdap(std::move(plan), route, overrides, done);
        return;
    }
    if (route.kind == Route::Kind::NoServer) {
        plan.unaskedLines
            += QStringLiteral("No WHOIS server is known for .") + route.tld + QStringLiteral("\r\n");
        plan.noService = true;
    }
    if (route.kind == Route::Kind::Server)
        planWhois(plan, route, overrides);
    done(std::move(plan));
}

void Router::planWhois(LookupPlan &plan, const Route &route, const ServerOverrides &overrides) const
{
    // Only the registry's own server as the table or IANA names it: a server the user chose is
    // not swapped for another service.
    plan.rdapFallback = overrides.protocol == Protocol::Auto && plan.routable
        && overrides.serverOption.isEmpty() && overrides.whoisServer.isEmpty()
        && !overrides.perTld.contains(route.tld) && route.authority.kind == Authority::Kind::Registry;
    plan.via = LookupPlan::Via::Whois;
    plan.server = route.server;
    plan.serverKey = hostAndPort(route.server);
    plan.recordServer = plan.serverKey;
    plan.queryLine = plan.routable ? queryFromTemplate(route.queryTemplate, plan.queryType, plan.ace)
                                   : buildQueryLine(plan.queryType, plan.name, false);
}

QString Router::rdapBaseFor(const QString &aceName)
{
    return m_bootstrap.bootstrap().baseFor(aceName);
}

// One lookup over RDAP, at the route's base URL or the one IANA's bootstrap names.
void Router::planRdap(LookupPlan plan, const Route &route, const ServerOverrides &overrides,
                      const std::function<void(LookupPlan)> &done)
{
    if (route.rdapBase.isEmpty() && !m_bootstrapSettled) {
        if (Job *refresh = m_bootstrap.refreshIfStale()) {
            connect(refresh, &Job::result, this, [this, plan, route, overrides, done] {
                m_bootstrapSettled = true;
                planRdap(plan, route, overrides, done);
            });
            return;
        }
        m_bootstrapSettled = true;
    }
    QString base = route.rdapBase;
    if (base.isEmpty()) {
        base = m_bootstrap.bootstrap().baseFor(plan.ace);
        if (base.isEmpty()) // a term that is no domain name goes where its routing went
            base = m_bootstrap.bootstrap().baseFor(route.tld);
        report(m_bootstrap.message());
    }
    // A row whose answers cannot make a name free still reads a record from its WHOIS server.
    if (base.isEmpty() && overrides.protocol == Protocol::Auto && !route.server.host.isEmpty()) {
        planWhois(plan, route, overrides);
        done(std::move(plan));
        return;
    }
    if (base.isEmpty()) {
        if (overrides.protocol == Protocol::Auto)
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

std::unique_ptr<WhoisLookup> Router::referralLookup(const QString &tld) const
{
    auto lookup = std::make_unique<WhoisLookup>(m_clock);
    lookup->setAutoDelete(false);
    lookup->setLimits(m_settings.limits);
    lookup->setServer(parseServerAddress(m_settings.ianaServer).value_or(ServerAddress {}));
    lookup->setQuery(tld + QStringLiteral("\r\n"));
    return lookup;
}

void Router::referralEnded(const QString &tld, const WhoisLookup &lookup)
{
    if (lookup.endedHow() == LookupEnd::Answered)
        m_referrals.insert(tld, parseIanaWhoisServer(lookup.answer()).value_or(QString()));
}

void Router::planAfterReferral(LookupPlan plan, std::optional<LookupEnd> failed,
                               const ServerOverrides &overrides, const std::function<void(LookupPlan)> &done)
{
    // The server asked was IANA's, whatever it said; a server it names replaces it.
    if (const std::optional<ServerAddress> iana = parseServerAddress(m_settings.ianaServer))
        plan.recordServer = hostAndPort(*iana);
    plan.via = LookupPlan::Via::None;
    plan.serverKey.clear();
    if (failed) {
        plan.unasked = *failed;
        plan.unaskedLines = QStringLiteral("The IANA server did not say which server serves .")
            + plan.referralTld + QStringLiteral("\r\n");
    }
    planRoute(std::move(plan), true, overrides, done);
}

} // namespace zandrel
