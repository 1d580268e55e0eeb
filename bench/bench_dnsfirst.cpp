// DNS first against scripted servers on 127.0.0.1, in two parts:
//   bench_dnsfirst          20 prefixes x 2 suffixes x 4 TLDs (160 names, 60 % delegated, .de a
//                           wildcard zone) through a scripted resolver and three registries that
//                           take one query a second each and refuse faster ones; pause 1 s. Prints
//                           the wall time against the floor (the busiest registry's names x pause)
//                           and the refused queries. Goals: at most 1.15 x the floor, none refused.
//   bench_dnsfirst --dns N  N names (default 10,000), all delegated, through DNS alone. Goal: 10 s.
#include "Recorders.h"
#include "ScriptedDnsResolver.h"
#include "ScriptedWhoisServer.h"
#include "harvest/UniqueList.h"
#include "search/SearchSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int PauseMs = 1000;

// Delegated (and taken) when the first label's number is not a multiple of 5 after the suffix.
bool delegated(const QString &name)
{
    const QString label = name.section(u'.', 0, 0);
    const int number = label.mid(1, label.size() - 2).toInt();
    const int suffix = label.endsWith(u'a') ? 0 : 1;
    return (number * 2 + suffix) % 5 >= 2; // 60 %
}

// A registry that answers one query a second: a query sooner than that after the one before
// is refused with a limit phrase.
struct Registry
{
    ScriptedWhoisServer server;
    qint64 lastArrivalNs = -1;
    int refused = 0;

    Registry()
    {
        server.setReplyFor([this](const QByteArray &query) {
            const qint64 now = ScriptedWhoisServer::nowNs();
            const bool tooSoon = lastArrivalNs >= 0 && now - lastArrivalNs < 1'000'000'000LL;
            lastArrivalNs = now;
            if (tooSoon) {
                ++refused;
                return ScriptedWhoisServer::Reply {"Query rate limit exceeded\r\n"};
            }
            const QByteArray name = query.trimmed().split(' ').last();
            return ScriptedWhoisServer::Reply {delegated(QString::fromLatin1(name).toLower())
                                                   ? "Domain Name: " + name.toUpper()
                                                       + "\r\nName Server: NS1.HOST.NET\r\n"
                                                   : "No match for \"" + name.toUpper() + "\".\r\n"};
        });
    }
};

struct World
{
    ScriptedDnsResolver resolver;
    QTemporaryDir cache, journals;
    FixedClock clock {QDateTime::currentDateTimeUtc()};
    UniqueList available {UniqueList::Key::Exact};
    UniqueList links {UniqueList::Key::WithoutQuotes};

    std::unique_ptr<SearchSession> session(const QHash<QString, QString> &perTld)
    {
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        settings.rdapBootstrapUrl = u"http://127.0.0.1:1/dns.json"_s;
        for (auto it = perTld.cbegin(); it != perTld.cend(); ++it)
            settings.overrides.perTld.insert(it.key(), it.value());
        auto made = std::make_unique<SearchSession>(settings, journals.path(), clock, available, links);
        DnsSettings dns;
        dns.server = resolver.address();
        made->request().dnsSettings = dns;
        made->request().dnsFirst = true;
        return made;
    }
};

bool runToEnd(SearchSession &session, const std::function<void()> &start)
{
    QSignalSpy finished(&session, &SearchSession::finished);
    start();
    return !finished.isEmpty() || finished.wait(120'000);
}

int manyTlds()
{
    World world;
    world.resolver.setReplyFor([](const QString &name) {
        ScriptedDnsResolver::Reply reply;
        if (name.endsWith(u".de"_s) || delegated(name))
            reply = {ScriptedDnsResolver::Reply::Kind::NameServers, {u"ns1.host.net"_s, u"ns2.host.net"_s}};
        return reply;
    });
    Registry verisign, pir, denic;
    const std::map<QString, Registry *> byTld {
        {u"com"_s, &verisign}, {u"net"_s, &verisign}, {u"org"_s, &pir}, {u"de"_s, &denic}};
    QHash<QString, QString> perTld;
    for (const auto &[tld, registry] : byTld)
        perTld.insert(tld, registry->server.address());
    auto session = world.session(perTld);
    session->request().pauseMs = PauseMs;

    RunInputs inputs;
    for (int i = 0; i < 20; ++i)
        inputs.prefixes << u"p%1"_s.arg(i, 2, 10, QChar(u'0'));
    inputs.suffixes = {u"a"_s, u"b"_s};
    inputs.tlds = {u"com"_s, u"net"_s, u"org"_s, u"de"_s};
    const QStringList names = combinationNames(inputs);

    // What must reach a registry: every undelegated name, and every name of the wildcard zone.
    std::map<Registry *, int> mustAsk;
    int delegatedCount = 0;
    for (const QString &name : names) {
        delegatedCount += delegated(name);
        const QString tld = name.section(u'.', -1);
        if (tld == u"de"_s || !delegated(name))
            ++mustAsk[byTld.at(tld)];
    }
    int busiest = 0;
    for (const auto &[registry, count] : mustAsk)
        busiest = std::max(busiest, count);

    QElapsedTimer wall;
    wall.start();
    if (!runToEnd(*session, [&] { session->searchCombinations(inputs); })) {
        std::fprintf(stderr, "the run did not end\n");
        return 1;
    }
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double floor = double(busiest) * PauseMs / 1000.0;
    int asked = 0;
    for (Registry *registry : {&verisign, &pir, &denic})
        asked += int(registry->server.queries().size());
    int mustTotal = 0;
    for (const auto &[registry, count] : mustAsk)
        mustTotal += count;
    std::printf("names %lld, delegated %d (%.0f %%), must reach a registry %d, reached %d\n",
                qlonglong(names.size()), delegatedCount, 100.0 * delegatedCount / double(names.size()),
                mustTotal, asked);
    std::printf("per registry: verisign %lld, pir %lld, denic %lld (must: %d, %d, %d)\n",
                qlonglong(verisign.server.queries().size()), qlonglong(pir.server.queries().size()),
                qlonglong(denic.server.queries().size()), mustAsk[&verisign], mustAsk[&pir], mustAsk[&denic]);
    std::printf("wall %.2f s, floor %.2f s (busiest registry %d names x %d ms): %.3f x (goal <= 1.15)\n",
                seconds, floor, busiest, PauseMs, seconds / floor);
    std::printf("refused %d (goal 0)\n", verisign.refused + pir.refused + denic.refused);
    return 0;
}

int dnsAlone(int count)
{
    World world;
    // Delegated, but for the zone's check of a name nobody holds (20 letters).
    world.resolver.setReplyFor([](const QString &name) {
        ScriptedDnsResolver::Reply reply;
        if (name.section(u'.', 0, 0).size() != 20)
            reply = {ScriptedDnsResolver::Reply::Kind::NameServers, {u"ns1.host.net"_s, u"ns2.host.net"_s}};
        return reply;
    });
    // Every registry is a refused port: a name that reached one would end unknown.
    auto session = world.session({{u"com"_s, u"127.0.0.1:1"_s}});
    session->request().pauseMs = PauseMs;
    session->request().scanLists = false;
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << u"n%1.com"_s.arg(i);
    int settled = 0;
    QObject::connect(session.get(), &SearchSession::committed, session.get(),
                     [&settled](const LookupRecord &record) { settled += record.server == u"dns"_s; });
    QElapsedTimer wall;
    wall.start();
    if (!runToEnd(*session, [&] { session->searchNames(names); })) {
        std::fprintf(stderr, "the run did not end\n");
        return 1;
    }
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    std::printf("%d names through DNS alone: %.2f s (goal < 10 s), %d settled by DNS, %lld DNS queries\n",
                count, seconds, settled, qlonglong(world.resolver.queries().size()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype dns = arguments.indexOf(u"--dns"_s);
    if (dns > 0)
        return dnsAlone(arguments.value(dns + 1, u"10000"_s).toInt());
    return manyTlds();
}
