// DNS first and many TLDs: a scripted resolver on 127.0.0.1 says which names are delegated; three
// scripted registries record which names reach them.
#include "Recorders.h"
#include "ScriptedDnsResolver.h"
#include "ScriptedWhoisServer.h"
#include "harvest/UniqueList.h"
#include "search/Preferences.h"
#include "search/SearchSession.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

using Kind = ScriptedDnsResolver::Reply::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

// Taken when the name starts with "t", else free.
ScriptedWhoisServer::Reply registry(const QByteArray &query)
{
    const QByteArray name = query.trimmed().split(' ').last().toUpper();
    const QByteArray text = name.startsWith("T") ? "Domain Name: " + name + "\r\nName Server: NS1.X.NET\r\n"
                                                 : "No match for \"" + name + "\".\r\n";
    return {text};
}

bool isRandomCheck(const QString &name)
{
    return name.section(u'.', 0, 0).size() == 20;
}

struct Rig
{
    ScriptedWhoisServer verisign, org, de;
    ScriptedDnsResolver resolver;
    QTemporaryDir cache, journals;
    FixedClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
    UniqueList available {UniqueList::Key::Exact};
    UniqueList links {UniqueList::Key::WithoutQuotes};
    std::unique_ptr<SearchSession> session;
    QList<LookupRecord> committed;
    QStringList notices;
    QStringList shown;
    // Names whose first label starts with "d" are delegated, the rest not; a zone listed here
    // answers for every name.
    QStringList wildcardZones;

    // A resolver's timeout short enough for a test of silence, long enough for a busy machine.
    explicit Rig(const QString &dnsServer = {}, int timeoutMs = 2000)
    {
        for (ScriptedWhoisServer *server : {&verisign, &org, &de})
            server->setReplyFor(registry);
        resolver.setReplyFor([this](const QString &name) {
            ScriptedDnsResolver::Reply reply;
            if ((name.startsWith(u'd') && !isRandomCheck(name))
                || wildcardZones.contains(name.section(u'.', -1)))
                reply = {Kind::NameServers, {u"ns1.host.net"_s, u"ns2.host.net"_s}};
            return reply;
        });
        session = makeSession(dnsServer.isEmpty() ? resolver.address() : dnsServer, timeoutMs);
    }
    std::unique_ptr<SearchSession> makeSession(const QString &dnsServer, int timeoutMs = 2000)
    {
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        settings.rdapBootstrapUrl = u"http://127.0.0.1:1/dns.json"_s;
        for (const auto &[tld, server] : {std::pair {u"com"_s, &verisign}, std::pair {u"net"_s, &verisign},
                                          std::pair {u"org"_s, &org}, std::pair {u"de"_s, &de}})
            settings.overrides.perTld.insert(tld, server->address());
        auto made = std::make_unique<SearchSession>(settings, journals.path(), clock, available, links);
        made->request().pauseMs = 20;
        made->request().stopGraceMs = 2000;
        DnsSettings dns;
        dns.server = dnsServer;
        dns.timeoutMs = timeoutMs;
        made->request().dnsSettings = dns;
        made->request().dnsFirst = true;
        QObject::connect(made.get(), &SearchSession::committed, made.get(),
                         [this](const LookupRecord &record) { committed << record; });
        QObject::connect(made.get(), &SearchSession::notice, made.get(),
                         [this](const QString &text) { notices << text; });
        QObject::connect(made.get(), &SearchSession::text, made.get(),
                         [this](const QString &text) { shown << text; });
        return made;
    }
    bool run(const std::function<void()> &start)
    {
        QSignalSpy finished(session.get(), &SearchSession::finished);
        start();
        return !finished.isEmpty() || finished.wait(30000);
    }
    QStringList registryNames() const
    {
        QStringList names;
        for (const ScriptedWhoisServer *server : {&verisign, &org, &de}) {
            for (const QByteArray &query : server->queries())
                names << QString::fromLatin1(query.trimmed().split(' ').last()).toLower();
        }
        names.sort();
        return names;
    }
    QStringList dnsNames() const
    {
        QStringList names;
        for (const QString &name : resolver.queries()) {
            if (!isRandomCheck(name) && !names.contains(name))
                names << name;
        }
        names.sort();
        return names;
    }
    QStringList committedNames() const
    {
        QStringList names;
        for (const LookupRecord &record : committed)
            names << record.name;
        return names;
    }
};

RunInputs inputs(const QStringList &prefixes, const QStringList &suffixes, const QStringList &tlds)
{
    RunInputs made;
    made.prefixes = prefixes;
    made.suffixes = suffixes;
    made.tlds = tlds;
    return made;
}

} // namespace

class tst_DnsFirst : public QObject
{
    Q_OBJECT

private slots:
    // A session destroyed at any stage of a run, without being stopped first, ends its jobs and
    // frees nothing it still uses (the sanitizers' build runs this too).
    void destroyedAtAnyStage_data()
    {
        QTest::addColumn<QString>("stage");
        for (const char *stage : {"before start", "dns queries out", "lookups out", "stopping", "finished"})
            QTest::newRow(stage) << QString::fromLatin1(stage);
    }
    void destroyedAtAnyStage()
    {
        QFETCH(QString, stage);
        Rig rig;
        if (stage != u"finished"_s)
            rig.verisign.setReplyFor([](const QByteArray &) {
                return ScriptedWhoisServer::Reply {{}, 0, 0, true};
            });
        if (stage == u"dns queries out"_s)
            rig.resolver.setReplyFor([](const QString &) {
                return ScriptedDnsResolver::Reply {Kind::Silence, {}};
            });
        QSignalSpy finished(rig.session.get(), &SearchSession::finished);
        if (stage != u"before start"_s)
            rig.session->searchNames({u"a.com"_s, u"b.com"_s, u"c.org"_s});
        if (stage == u"dns queries out"_s)
            QTRY_VERIFY(!rig.resolver.queries().isEmpty());
        if (stage == u"lookups out"_s || stage == u"stopping"_s)
            QTRY_VERIFY(!rig.verisign.queries().isEmpty());
        if (stage == u"stopping"_s)
            rig.session->stop();
        if (stage == u"finished"_s)
            QVERIFY(finished.wait(20000));
        rig.session.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qWait(20); // what was posted before the end finds nothing freed
    }

    // Only NS records settle a name; every other answer leaves it to its registry, which says
    // free or taken as always.
    void answersDecideWhoIsAsked_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("registryAsked");
        QTest::newRow("delegated") << Kind::NameServers << false;
        QTest::newRow("NXDOMAIN") << Kind::NxDomain << true;
        QTest::newRow("no NS records") << Kind::NoData << true;
        QTest::newRow("SERVFAIL") << Kind::ServFail << true;
        QTest::newRow("timeout") << Kind::Silence << true;
        QTest::newRow("garbage") << Kind::Garbage << true;
    }
    void answersDecideWhoIsAsked()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, registryAsked);
        Rig r({}, kind == Kind::Silence ? 500 : 2000);
        r.resolver.setReplyFor([kind](const QString &name) {
            ScriptedDnsResolver::Reply reply;
            if (name == u"tshop.com"_s)
                reply = {kind, {u"ns1.host.net"_s, u"ns2.host.net"_s}};
            return reply;
        });
        QVERIFY(r.run([&r] { r.session->searchNames({u"tshop.com"_s}); }));
        QCOMPARE(r.committed.size(), 1);
        const LookupRecord &record = r.committed.constFirst();
        QCOMPARE(record.verdict.kind, VerdictKind::Taken);
        QCOMPARE(r.registryNames(), registryAsked ? QStringList {u"tshop.com"_s} : QStringList());
        QCOMPARE(record.server, registryAsked ? r.verisign.address() : u"dns"_s);
        QVERIFY(r.resolver.queries().contains(u"tshop.com"_s));
        if (!registryAsked) {
            QCOMPARE(r.shown.join(QString()),
                     u"tshop.com has name servers ns1.host.net, ns2.host.net: taken (the registry was not "
                     "asked).\r\n"_s);
            // The scans read that line as they read a WHOIS answer.
            QCOMPARE(r.links.entries(),
                     (QStringList {u"www.tshop.com"_s, u"www.ns1.host.net"_s, u"www.ns2.host.net"_s}));
        }
        if (kind == Kind::Silence) // a timeout and its retry
            QCOMPARE(r.resolver.queries().count(u"tshop.com"_s), 2);
    }

    // A zone that answers for a name nobody holds settles nothing: its names go to the registry,
    // and the notice comes once. An unreachable resolver: every name goes, one notice.
    void zonesDnsCannotSettle_data()
    {
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<QStringList>("wildcards");
        QTest::addColumn<QStringList>("settled"); // by DNS
        QTest::addColumn<QString>("notice");
        QTest::newRow("wildcard .de")
            << false << QStringList {u"de"_s}
            << QStringList {u"da.com"_s, u"da.org"_s, u"db.com"_s, u"db.org"_s}
            << u"DNS answers for every name in .de: its names are asked of the registry."_s;
        QTest::newRow("unreachable resolver")
            << true << QStringList() << QStringList() << u"DNS did not answer"_s;
    }
    void zonesDnsCannotSettle()
    {
        QFETCH(bool, unreachable);
        QFETCH(QStringList, wildcards);
        QFETCH(QStringList, settled);
        QFETCH(QString, notice);
        QString closedPort;
        if (unreachable) {
            QUdpSocket closed;
            QVERIFY(closed.bind(QHostAddress::LocalHost, 0));
            closedPort = u"127.0.0.1:%1"_s.arg(closed.localPort());
        }
        Rig r(closedPort);
        r.wildcardZones = wildcards;
        const RunInputs run = inputs({u"d"_s, u"t"_s}, {u"a"_s, u"b"_s}, {u"com"_s, u"de"_s, u"org"_s});
        QVERIFY(r.run([&] { r.session->searchCombinations(run); }));
        const QStringList all = combinationNames(run);
        QCOMPARE(r.committedNames(), all);
        QStringList asked = all;
        for (const QString &name : settled)
            asked.removeAll(name);
        asked.sort();
        QCOMPARE(r.registryNames(), asked);
        for (const LookupRecord &record : std::as_const(r.committed))
            QCOMPARE(record.server == u"dns"_s, settled.contains(record.name));
        QCOMPARE(r.notices.size(), 1);
        QVERIFY2(r.notices.constFirst().startsWith(notice), qPrintable(r.notices.constFirst()));
    }

    // Combination-major, the TLDs in the order given; --com alone is today's list.
    void tldExpansionOrder_data()
    {
        QTest::addColumn<QStringList>("tlds");
        QTest::addColumn<bool>("comSuffix");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("com") << QStringList {u"com"_s} << true
                             << QStringList {u"ab.com"_s, u"ac.com"_s, u"bb.com"_s, u"bc.com"_s};
        QTest::newRow("net, io, com")
            << QStringList {u"net"_s, u"io"_s, u"com"_s} << true
            << QStringList {u"ab.net"_s, u"ab.io"_s, u"ab.com"_s, u"ac.net"_s, u"ac.io"_s, u"ac.com"_s,
                            u"bb.net"_s, u"bb.io"_s, u"bb.com"_s, u"bc.net"_s, u"bc.io"_s, u"bc.com"_s};
        QTest::newRow("nothing appended")
            << QStringList {u"net"_s, u"io"_s} << false << QStringList {u"ab"_s, u"ac"_s, u"bb"_s, u"bc"_s};
    }
    void tldExpansionOrder()
    {
        QFETCH(QStringList, tlds);
        QFETCH(bool, comSuffix);
        QFETCH(QStringList, names);
        RunInputs run = inputs({u"a"_s, u"b"_s}, {u"b"_s, u"c"_s}, tlds);
        run.comSuffix = comSuffix;
        QCOMPARE(combinationNames(run), names);
        QCOMPARE(combinationCount(run), names.size());
    }

    void parseTldList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("tlds"); // empty: refused
        QTest::newRow("commas") << u"com,net,io"_s << QStringList {u"com"_s, u"net"_s, u"io"_s};
        QTest::newRow("dots, blanks, case, twice")
            << u" .COM, net  .io,com"_s << QStringList {u"com"_s, u"net"_s, u"io"_s};
        QTest::newRow("an IDN TLD") << u"xn--p1ai"_s << QStringList {u"xn--p1ai"_s};
        QTest::newRow("empty") << u" , "_s << QStringList();
        QTest::newRow("a dot inside") << u"co.uk"_s << QStringList();
        QTest::newRow("a hyphen at the end") << u"com-"_s << QStringList();
    }
    void parseTldList()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, tlds);
        QCOMPARE(parseTlds(text).value_or(QStringList()), tlds);
    }

    // --check's names without a dot are asked in each TLD; the run keeps their order.
    void namesWithoutDotInEachTld()
    {
        Rig r;
        r.session->request().nameTlds = {u"net"_s, u"com"_s};
        QVERIFY(r.run([&r] { r.session->searchNames({u"dshop"_s, u"tshop.org"_s, u"fshop"_s}); }));
        QCOMPARE(
            r.committedNames(),
            (QStringList {u"dshop.net"_s, u"dshop.com"_s, u"tshop.org"_s, u"fshop.net"_s, u"fshop.com"_s}));
        QCOMPARE(r.registryNames(), (QStringList {u"fshop.com"_s, u"fshop.net"_s, u"tshop.org"_s}));
    }

    // A run longer than the names a run keeps before it drops the committed ones commits them all.
    void longRunCommitsEveryName()
    {
        Rig r;
        QStringList names;
        for (int i = 0; i < 3000; ++i)
            names << u"d%1.com"_s.arg(i);
        QVERIFY(r.run([&] { r.session->searchNames(names); }));
        QCOMPARE(r.committed.size(), names.size());
        QCOMPARE(r.committed.constLast().name, names.constLast());
        QVERIFY(r.registryNames().isEmpty());
    }

    // A many-TLD, DNS-first run cut off and resumed asks exactly the names it had not committed,
    // and the two parts together are the uninterrupted run.
    void resumeAsksWhatWasLeft()
    {
        Rig r;
        const RunInputs run
            = inputs({u"d"_s, u"t"_s, u"f"_s}, {u"a"_s, u"b"_s}, {u"com"_s, u"org"_s, u"de"_s});
        const QStringList all = combinationNames(run);
        QObject::connect(r.session.get(), &SearchSession::committed, r.session.get(), [&r] {
            if (r.committed.size() == 8)
                r.session->stop();
        });
        QVERIFY(r.run([&] { r.session->searchCombinations(run); }));
        const qsizetype done = r.committed.size();
        QVERIFY(done >= 8 && done < all.size());
        const QStringList first = r.committedNames();

        const SearchSession::LastRun last = r.session->findLastRun();
        QVERIFY(last.resumable);
        QCOMPARE(last.total, all.size());
        QCOMPARE(last.done, done);
        r.committed.clear();
        r.session = r.makeSession(r.resolver.address());
        r.session->request().dnsFirst = false; // the journal says DNS first
        const QStringList before = r.resolver.queries();
        const QStringList registryBefore = r.registryNames();
        QString error;
        QVERIFY(r.run([&] { QVERIFY(r.session->resume(last.path, &error)); }));
        QCOMPARE(first + r.committedNames(), all);
        QStringList askedAfter;
        for (const QString &name : r.resolver.queries().mid(before.size())) {
            if (!isRandomCheck(name))
                askedAfter << name;
        }
        askedAfter.sort();
        QStringList left = all.mid(done);
        left.sort();
        QCOMPARE(askedAfter, left);
        QStringList registryAfter = r.registryNames();
        for (const QString &name : registryBefore)
            registryAfter.removeOne(name);
        QStringList undelegatedLeft;
        for (const QString &name : all.mid(done)) {
            if (!name.startsWith(u'd'))
                undelegatedLeft << name;
        }
        undelegatedLeft.sort();
        QCOMPARE(registryAfter, undelegatedLeft);
        QCOMPARE(r.session->inputs().tlds, run.tlds);
        QVERIFY(r.session->inputs().dnsFirst);
    }
};

QTEST_GUILESS_MAIN(tst_DnsFirst)
#include "tst_dnsfirst.moc"
