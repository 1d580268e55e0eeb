// DNS first and many TLDs: a scripted resolver on 127.0.0.1 says which names are delegated; three
// scripted registries record which names reach them. A run stopped and resumed: tst_searchrun.
#include "RegistryRig.h"
#include "search/Preferences.h"

#include <QRegularExpression>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

using Kind = ScriptedDnsResolver::Reply::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

struct Rig : RegistryRig
{
    Rig() { session->request().dnsFirst = true; }
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
        const auto start = [&] {
            if (stage != u"before start"_s)
                rig.session->searchNames({u"a.com"_s, u"b.com"_s, u"c.org"_s});
        };
        if (stage == u"finished"_s)
            QVERIFY(rig.run(start));
        else
            start();
        if (stage == u"dns queries out"_s)
            QTRY_VERIFY(!rig.resolver.queries().isEmpty());
        if (stage == u"lookups out"_s || stage == u"stopping"_s)
            QTRY_VERIFY(!rig.verisign.queries().isEmpty());
        if (stage == u"stopping"_s)
            rig.session->stop();
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
        Rig r;
        if (kind == Kind::Silence) // c-ares' own timers: short, as nothing will answer
            r.session->request().dnsSettings = {.server = r.resolver.address(), .timeoutMs = 40};
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
    // and the notice comes once. A zone DNS fails for (SERVFAIL, an answer that does not parse, no
    // resolver at all) sends its names to the registry too, with a notice of its own saying why.
    void zonesDnsCannotSettle_data()
    {
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<QStringList>("wildcards");
        QTest::addColumn<QStringList>("settled"); // by DNS
        QTest::addColumn<QStringList>("notices"); // their starts, sorted
        QTest::newRow("wildcard .de")
            << false << QStringList {u"de"_s}
            << QStringList {u"da.com"_s, u"da.org"_s, u"db.com"_s, u"db.org"_s}
            << QStringList {u"DNS answers for every name in .de: its names are asked of the registry."_s};
        QTest::newRow("SERVFAIL for .org, garbage for .de")
            << false << QStringList {u"org=ServFail"_s, u"de=Garbage"_s}
            << QStringList {u"da.com"_s, u"db.com"_s}
            << QStringList {u"DNS did not answer for .de (Misformatted DNS reply)"_s,
                            u"DNS did not answer for .org (DNS server returned general failure)"_s};
        QTest::newRow("unreachable resolver")
            << true << QStringList() << QStringList()
            << QStringList {u"DNS did not answer for .com (Could not contact DNS servers)"_s,
                            u"DNS did not answer for .de ("_s, u"DNS did not answer for .org ("_s};
    }
    void zonesDnsCannotSettle()
    {
        QFETCH(bool, unreachable);
        QFETCH(QStringList, wildcards);
        QFETCH(QStringList, settled);
        QFETCH(QStringList, notices);
        Rig r;
        if (unreachable) {
            QUdpSocket closed;
            QVERIFY(closed.bind(QHostAddress::LocalHost, 0));
            r.session->request().dnsSettings = {.server = u"127.0.0.1:%1"_s.arg(closed.localPort())};
        }
        r.wildcardZones = wildcards.filter(QRegularExpression(u"^[a-z]+$"_s));
        for (const QString &failing : wildcards.filter(u"="_s)) {
            const QString tld = failing.section(u'=', 0, 0);
            const Kind kind = failing.endsWith(u"ServFail"_s) ? Kind::ServFail : Kind::Garbage;
            r.resolver.setReplyFor([tld, kind, script = r.resolver.replyFor()](const QString &name) {
                return name.endsWith(u'.' + tld) ? ScriptedDnsResolver::Reply {kind, {}} : script(name);
            });
        }
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
        QStringList said = r.notices;
        said.sort();
        QCOMPARE(said.size(), notices.size());
        for (qsizetype i = 0; i < said.size(); ++i)
            QVERIFY2(said.at(i).startsWith(notices.at(i)), qPrintable(said.at(i)));
    }

    // A TLD list as typed: dots, blanks, case and repeats do not count, an empty list or a hyphen
    // at the end is refused (commas and a dot inside: tst_cli's --tld rows). Its names are
    // combination-major, the TLDs in the order given (--com alone: tst_driver's pairings).
    void tldListAndItsNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("comSuffix");
        QTest::addColumn<QStringList>("names"); // empty: the list is refused
        QTest::newRow("dots, blanks, case, twice")
            << u" .COM, net  .io,com"_s << true
            << QStringList {u"ab.com"_s, u"ab.net"_s, u"ab.io"_s, u"ac.com"_s, u"ac.net"_s, u"ac.io"_s,
                            u"bb.com"_s, u"bb.net"_s, u"bb.io"_s, u"bc.com"_s, u"bc.net"_s, u"bc.io"_s};
        QTest::newRow("nothing appended")
            << u"net,io"_s << false << QStringList {u"ab"_s, u"ac"_s, u"bb"_s, u"bc"_s};
        QTest::newRow("an IDN TLD, in either form")
            << u"xn--p1ai,\u0440\u0444"_s << true
            << QStringList {u"ab.xn--p1ai"_s, u"ac.xn--p1ai"_s, u"bb.xn--p1ai"_s, u"bc.xn--p1ai"_s};
        QTest::newRow("empty") << u" , "_s << true << QStringList();
        QTest::newRow("a hyphen at the end") << u"com-"_s << true << QStringList();
    }
    void tldListAndItsNames()
    {
        QFETCH(QString, typed);
        QFETCH(bool, comSuffix);
        QFETCH(QStringList, names);
        const std::optional<QStringList> tlds = parseTlds(typed);
        QCOMPARE(tlds.has_value(), !names.isEmpty());
        RunInputs run = inputs({u"a"_s, u"b"_s}, {u"b"_s, u"c"_s}, tlds.value_or(QStringList()));
        run.comSuffix = comSuffix;
        if (tlds) {
            QCOMPARE(combinationNames(run), names);
            QCOMPARE(combinationCount(run), names.size());
        }
    }
};

QTEST_GUILESS_MAIN(tst_DnsFirst)
#include "tst_dnsfirst.moc"
