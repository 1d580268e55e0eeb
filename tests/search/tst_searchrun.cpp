// Many registries side by side: one queue per server, each at its own pace, results committed in
// the list's order, a run stopped and resumed. Three scripted registries answer, the pauses pass on
// a manual clock.
#include "RegistryRig.h"
#include "ScriptedHttpServer.h"
#include "Tables.h"
#include "search/Pace.h"
#include "search/RunPlan.h"

#include <QRegularExpression>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

const QStringList Prefixes {u"ta"_s, u"fb"_s, u"tc"_s, u"fd"_s};
const QStringList Suffixes {u"x.com"_s, u"x.org"_s, u"x.de"_s, u"x.net"_s};

RunInputs combinations()
{
    RunInputs inputs;
    inputs.prefixes = Prefixes;
    inputs.suffixes = Suffixes;
    inputs.comSuffix = false;
    return inputs;
}

} // namespace

class tst_SearchRun : public QObject
{
    Q_OBJECT

private slots:
    // Whatever order the registries answer in, names are committed in the list's order, so the
    // lists (and the report made of them) are those of one server asked at a time; each registry
    // has one query at a time, none closer than the pause to the end of the one before (the first
    // pause too), and different registries are asked at the same time.
    void pacedPerServerCommittedInOrder_data()
    {
        QTest::addColumn<int>("verisignMs");
        QTest::addColumn<int>("orgMs");
        QTest::addColumn<int>("deMs");
        QTest::addColumn<int>("maxServers");
        QTest::newRow("all alike") << 10 << 10 << 10 << 32;
        QTest::newRow("the first registry slowest") << 60 << 10 << 0 << 32;
        QTest::newRow("one server at a time") << 10 << 0 << 30 << 1;
    }
    void pacedPerServerCommittedInOrder()
    {
        QFETCH(int, verisignMs);
        QFETCH(int, orgMs);
        QFETCH(int, deMs);
        RegistryRig r;
        QFETCH(int, maxServers);
        r.session->request().maxServers = maxServers;
        r.answerAfter(verisignMs, orgMs, deMs);
        QList<qint64> begun;
        connect(r.session.get(), &SearchSession::begun, r.session.get(),
                [&begun](qint64 index) { begun << index; });
        QVERIFY(r.run([&r] { r.session->searchCombinations(combinations()); }));

        const QStringList names = combinationNames(Prefixes, Suffixes, false);
        QCOMPARE(r.committedNames(), names);
        QCOMPARE(begun.size(), names.size()); // shown in order, each once
        for (qsizetype i = 0; i < names.size(); ++i)
            QVERIFY(r.committed[i].index == i + 1 && begun[i] == i + 1);
        // As each registry's own rules read the scripted answers.
        QCOMPARE(r.available.entries(),
                 (QStringList {u"fbx.com"_s, u"fbx.net"_s, u"fdx.com"_s, u"fdx.net"_s}));
        QStringList links;
        for (const QString &name :
             {u"tax.com"_s, u"tax.org"_s, u"tax.net"_s, u"tcx.com"_s, u"tcx.org"_s, u"tcx.net"_s})
            links << u"www."_s + name << u"www.ns1."_s + name;
        QCOMPARE(r.links.entries(), links);
        QCOMPARE(r.verisign.queries().size(), 8);
        for (const ScriptedWhoisServer *server : {&r.verisign, &r.org, &r.de}) {
            QCOMPARE(server->mostOpen(), 1);
            QVERIFY(r.pausedApart(server));
            // Each registry's first query went at once, unless the registries wait their turn.
            if (maxServers > 1)
                QCOMPARE(r.askedAtMs[server].first(), r.askedAtMs[&r.verisign].first());
        }
    }

    // Stop lets the lookups under way end within the grace; only names committed in order are in
    // the journal. A new session, whose settings now name other servers and another resolver,
    // resumes the run as it was (many TLDs, DNS first, .com through the WhoisServer setting, the
    // other TLDs through their own servers) and asks DNS and each registry exactly the names left;
    // its tally is the whole run's.
    void stopThenResumeAsksTheRest()
    {
        RegistryRig r;
        r.answerAfter(5, 60, 5);
        r.session->request().dnsFirst = true;
        r.session->router().overrides().perTld.remove(u"com"_s);
        r.session->router().overrides().whoisServer = r.verisign.address();
        RunInputs run;
        run.prefixes = {u"t"_s, u"f"_s, u"d"_s};
        run.suffixes = {u"a"_s, u"b"_s};
        run.tlds = {u"com"_s, u"org"_s, u"de"_s};
        connect(&r.org, &ScriptedWhoisServer::queryReceived, r.session.get(), [&r] {
            if (r.org.queries().size() == 2)
                r.session->stop();
        });
        QVERIFY(r.run([&] { r.session->searchCombinations(run); }));
        const QStringList all = combinationNames(run);
        const qsizetype done = r.committed.size();
        QVERIFY(done > 0 && done < all.size());
        QCOMPARE(r.committedNames(), all.mid(0, done));
        // The second .org lookup was under way when Stop came and answered within the grace.
        QVERIFY(r.committedNames().contains(u"tb.org"_s));
        const SearchSession::LastRun last = r.session->findLastRun();
        QVERIFY(last.resumable);
        QCOMPARE(last.total, all.size());
        QCOMPARE(last.done, done);

        r.committed.clear();
        r.session = r.makeSession(); // DNS first off: the journal says on
        for (const QString &tld : {u"com"_s, u"org"_s, u"de"_s})
            r.session->router().overrides().perTld.insert(tld, u"127.0.0.1:1"_s);
        r.session->request().dnsSettings.server = u"127.0.0.1:1"_s;
        const qsizetype dnsBefore = r.resolver.queries().size();
        const QStringList registryBefore = r.registryNames();
        QVERIFY(r.run([&] { QVERIFY(r.session->resume(last.path).ok()); }));
        QCOMPARE(r.committedNames(), all.mid(done));
        const auto sorted = [](QStringList names) {
            names.sort();
            return names;
        };
        QStringList dnsAsked = r.resolver.queries().mid(dnsBefore), registryAsked = r.registryNames();
        for (const QString &name : registryBefore)
            registryAsked.removeOne(name);
        dnsAsked.removeIf(&RegistryRig::isRandomCheck);
        QCOMPARE(sorted(dnsAsked), sorted(all.mid(done)));
        QCOMPARE(registryAsked, sorted(all.mid(done).filter(QRegularExpression(u"^[^d]"_s)))); // d: delegated
        for (const auto &[server, tld] : {std::pair {&r.verisign, ".com\r\n"}, std::pair {&r.org, ".org\r\n"},
                                          std::pair {&r.de, ".de\r\n"}}) {
            for (const QByteArray &query : server->queries())
                QVERIFY2(query.endsWith(tld), query.constData());
        }
        QCOMPARE(r.session->inputs().tlds, run.tlds);
        QVERIFY(r.session->inputs().dnsFirst);
        QCOMPARE(r.tallied(), int(all.size())); // the whole run's, the part before the cut too
    }

    // The IANA server is a server like any other: nine TLDs the table lacks are asked of it one at
    // a time, the pause apart, and every name under a TLD waits for that TLD's one referral.
    void referralsWaitTheirTurn()
    {
        RegistryRig r;
        r.iana.setReply({"% IANA WHOIS server\r\nrefer:\r\n"});
        QStringList names;
        for (int tld = 1; tld <= 9; ++tld)
            names << u"a.zz%1"_s.arg(tld) << u"b.zz%1"_s.arg(tld);
        QVERIFY(r.run([&] { r.session->searchNames(names); }));
        QCOMPARE(r.iana.queries().size(), 9);
        QCOMPARE(r.iana.mostOpen(), 1);
        QVERIFY(r.pausedApart(&r.iana));
        QCOMPARE(r.committedNames(), names);
    }

    // A TLD without a row is asked over the RDAP service the bootstrap names, not of the server IANA
    // named, and those queries wait their turn in the service's own queue, the pause apart from the
    // others it is asked (here for .yy, routed there by a [Servers] value).
    void fallbackWaitsInTheServicesQueue()
    {
        RegistryRig r;
        ScriptedHttpServer rdap;
        QList<qint64> askedAtMs;
        rdap.setReplyFor([&](const ScriptedHttpServer::Request &) {
            askedAtMs << r.nowMs();
            return RegistryRig::rdapFree();
        });
        // IANA named a server on this machine's port 43, where nothing listens; a newer bootstrap
        // names the registry's RDAP service, which goes first.
        QVERIFY(
            writeAll(r.cache.filePath(u"whois-referrals.tsv"_s), "zz\tlocalhost\t2026-12-07T09:00:00Z\n"));
        QVERIFY(writeAll(r.cache.filePath(u"rdap-dns.json"_s),
                         R"({"version":"1.0","publication":"2030-01-01T00:00:00Z","services":[[["zz"],[")"
                             + rdap.baseUrl().toUtf8() + R"("]]]})"));
        r.session = r.makeSession();
        r.session->router().overrides().perTld.insert(u"yy"_s, u"rdap:"_s + rdap.baseUrl());
        const QStringList names {u"a.zz"_s, u"a.yy"_s, u"b.zz"_s, u"b.yy"_s};
        QVERIFY(r.run([&] { r.session->searchNames(names); }));
        QCOMPARE(r.committedNames(), names);
        for (const LookupRecord &record : std::as_const(r.committed)) {
            QCOMPARE(record.verdict.kind, VerdictKind::Free);
            QCOMPARE(record.server, rdap.baseUrl());
        }
        QCOMPARE(askedAtMs.size(), 4);
        QVERIFY(RegistryRig::pausedApart(askedAtMs));
    }

    // With the learned pace each operator goes at its own: a published rate is met exactly and
    // never passed, a limit nobody published is found within a few throttles, three TLDs of one
    // operator share its budget, a count over a window holds across two runs. A throttled name is
    // asked again and committed in order; none ends rate-limited.
    void pacedByOperator_data()
    {
        QTest::addColumn<QString>("operators"); // {verisign}, {org}, {de}: the servers' addresses
        QTest::addColumn<int>("hiddenGapMs"); // .org refuses a query closer than this to the last it took
        QTest::addColumn<QStringList>("tlds");
        QTest::addColumn<int>("names"); // per run
        QTest::addColumn<int>("runs");
        QTest::addColumn<int>("windowCount"); // at most this many queries, all servers together,
        QTest::addColumn<int>("windowMs"); // in any such time
        QTest::addColumn<bool>("exact"); // and every query exactly windowMs after the one before
        QTest::addColumn<int>("maxThrottles");
        const QStringList org {u"org"_s};
        QTest::newRow("published rate")
            << u"Org\t{org}\t5/s"_s << 200 << org << 30 << 1 << 1 << 200 << true << 0;
        QTest::newRow("hidden limit") << QString() << 400 << org << 60 << 1 << 1 << 0 << false << 3;
        QTest::newRow("three TLDs, one budget")
            << u"Shared\t{verisign},{org},{de}\t2/s"_s << 0 << QStringList {u"com"_s, u"org"_s, u"de"_s} << 30
            << 1 << 1 << 500 << false << 0;
        QTest::newRow("window over two runs")
            << u"Org\t{org}\t3/min"_s << 0 << org << 4 << 2 << 3 << 60'000 << false << 0;
    }
    void pacedByOperator()
    {
        QFETCH(QString, operators);
        QFETCH(int, hiddenGapMs);
        QFETCH(QStringList, tlds);
        QFETCH(int, names);
        RegistryRig r;
        r.maxStepMs = 60'000;
        operators.replace(u"{verisign}"_s, r.verisign.address())
            .replace(u"{org}"_s, r.org.address())
            .replace(u"{de}"_s, r.de.address());
        // Each run as a program started again would make it: only the state file holds its counts.
        const auto paced = [&] {
            r.session->request().paceStateFile = r.journals.filePath(u"paces.tsv"_s);
            QVERIFY(r.learnPace(operators));
        };
        qint64 lastTakenMs = -1'000'000;
        int throttles = 0;
        qsizetype lastThrottle = -1; // the number of the last query refused
        r.org.setReplyFor([&](const QByteArray &query) {
            const qint64 now = r.nowMs();
            if (now - lastTakenMs < hiddenGapMs) {
                ++throttles;
                lastThrottle = r.org.queries().size();
                return ScriptedWhoisServer::Reply {"WHOIS LIMIT EXCEEDED\r\n"};
            }
            lastTakenMs = now;
            return RegistryRig::registry(query);
        });
        QFETCH(int, runs);
        for (int run = 0; run < runs; ++run) {
            if (run > 0)
                r.session = r.makeSession();
            paced();
            QStringList list;
            for (int i = 0; i < names; ++i)
                list << u"t%1r%2.%3"_s.arg(i).arg(run).arg(tlds.at(i % tlds.size()));
            r.committed.clear();
            QVERIFY(r.run([&] { r.session->searchNames(list); }));
            QCOMPARE(r.committedNames(), list);
            for (const LookupRecord &record : std::as_const(r.committed)) // .de reads the rig's answer apart
                QVERIFY(record.verdict.kind == VerdictKind::Taken || record.name.endsWith(u".de"_s));
        }
        QList<qint64> at
            = r.askedAtMs.value(&r.verisign) + r.askedAtMs.value(&r.org) + r.askedAtMs.value(&r.de);
        std::sort(at.begin(), at.end());
        QFETCH(int, windowCount);
        QFETCH(int, windowMs);
        QFETCH(bool, exact);
        for (qsizetype i = windowCount; i < at.size(); ++i) {
            QVERIFY2(at[i] - at[i - windowCount] >= windowMs, qPrintable(u"query %1"_s.arg(i)));
            if (exact)
                QCOMPARE(at[i] - at[i - 1], windowMs);
        }
        QFETCH(int, maxThrottles);
        QVERIFY2(throttles <= maxThrottles, qPrintable(QString::number(throttles)));
        QVERIFY2(lastThrottle < at.size() / 2, "the limit was not kept once found");
    }

    // --no-wait: past a full window the names end "quota", with when it allows again, unasked and
    // without waiting for it; a rate's next slot is still waited for. The journal ends before the
    // first of them, so a resume once the window allows again asks them.
    void noWaitEndsQuota()
    {
        RegistryRig r;
        const auto paced = [&r] {
            r.session->request().noWait = true;
            return r.learnPace(u"Org\t"_s + r.org.address() + u"\t2/s 3/min"_s);
        };
        QVERIFY(paced());
        RunInputs run;
        run.prefixes = {u"t"_s};
        run.suffixes = {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s};
        run.tlds = {u"org"_s};
        const QStringList names = combinationNames(run);
        QVERIFY(r.run([&] { r.session->searchCombinations(run); }));
        QCOMPARE(r.committedNames(), names);
        QCOMPARE(r.org.queries().size(), 3);
        QCOMPARE(r.askedAtMs[&r.org].last() - r.askedAtMs[&r.org].first(), 1000);
        for (const LookupRecord &record : r.committed.mid(3)) {
            QCOMPARE(reasonWords(record.verdict.reason), u"quota"_s);
            QCOMPARE(record.detail, u"allowed again at 2026-12-07T09:01:00Z"_s);
        }
        QVERIFY(r.clock.moment < QDateTime(QDate(2026, 12, 7), QTime(9, 0, 5), Qt::UTC));
        const SearchSession::LastRun last = r.session->findLastRun();
        QVERIFY(last.resumable);
        QCOMPARE(last.done, 3);

        r.clock.advance(60'000);
        r.committed.clear();
        r.session = r.makeSession();
        QVERIFY(paced());
        QVERIFY(r.run([&] { QVERIFY(r.session->resume(last.path).ok()); }));
        QCOMPARE(r.committedNames(), names.mid(3));
        QCOMPARE(r.org.queries().size(), 5);
        QVERIFY(!r.session->findLastRun().resumable);
    }

    // --plan and the window's large-search question reckon each operator at its budgets without
    // asking anyone: 2,000 .uk names are 1,000 at 5 a second, then, a day after the first, 1,000 more.
    void planReckonsBudgets()
    {
        RegistryRig r;
        const QList<OperatorPlan> plans = planRun(
            QList<std::pair<QString, qint64>> {{u"a.com"_s, 150'000}, {u"a.uk"_s, 2000}}, r.session->router(),
            r.session->paces(), true, 0, r.session->router().settings().overrides);
        QCOMPARE(plans.size(), 2);
        QCOMPARE(plans[0].name, r.verisign.address()); // an operator of its own, its pace learned
        QVERIFY(plans[0].pace.startsWith(u"learned"_s));
        QCOMPARE(plans[1].name, u"Nominet"_s);
        QCOMPARE(plans[1].ms, 86'400'000 + 999 * 200);
        QCOMPARE(planText(plans).section(u'\n', 1, 1),
                 u"Nominet\t2000 names\tpublished 5/s 1000/24h\tabout 24 h 3 min"_s);
        QVERIFY(largeSearchQuestion(plans).startsWith(u"This search looks up 152,000 names"_s));
        QVERIFY(r.verisign.queries().isEmpty() && r.iana.queries().isEmpty());
    }

    // A 429's Retry-After holds the service that long, to the millisecond, before the name is asked
    // again; then it is answered.
    void retryAfterKept()
    {
        RegistryRig r;
        r.maxStepMs = 60'000;
        QVERIFY(r.learnPace(QString()));
        ScriptedHttpServer rdap;
        QList<qint64> askedAtMs;
        rdap.setReplyFor([&](const ScriptedHttpServer::Request &) {
            askedAtMs << r.nowMs();
            return askedAtMs.size() == 1 ? ScriptedHttpServer::Reply {429, "{}", {{"Retry-After", "7"}}}
                                         : RegistryRig::rdapFree();
        });
        r.session->router().overrides().perTld.insert(u"yy"_s, u"rdap:"_s + rdap.baseUrl());
        QVERIFY(r.run([&] { r.session->searchNames({u"a.yy"_s, u"b.yy"_s}); }));
        QCOMPARE(r.committedNames(), (QStringList {u"a.yy"_s, u"b.yy"_s}));
        QCOMPARE(r.committed.first().verdict.kind, VerdictKind::Free);
        QCOMPARE(askedAtMs.size(), 3);
        QCOMPARE(askedAtMs[1] - askedAtMs[0], 7000);
    }

    // A list longer than the names kept in memory (committed names are let go) is asked whole, of
    // the registries or settled by DNS, and a run ends only after its last name.
    void longListAskedWhole_data()
    {
        QTest::addColumn<bool>("dnsFirst");
        QTest::addColumn<bool>("keepRecords"); // off: counts only, as over --check's endless input
        QTest::newRow("registries") << false << true;
        QTest::newRow("settled by DNS") << true << true;
        QTest::newRow("counts only") << false << false;
    }
    void longListAskedWhole()
    {
        QFETCH(bool, dnsFirst);
        QFETCH(bool, keepRecords);
        RegistryRig r;
        r.session->request().pauseMs = 0;
        r.session->request().dnsFirst = dnsFirst;
        r.session->request().keepRecords = keepRecords;
        QStringList names;
        for (int i = 0; i < 2500; ++i)
            names << u"%1%2.%3"_s.arg(dnsFirst ? u"d"_s : u"n"_s).arg(i).arg(i % 3 ? u"com"_s : u"org"_s);
        QVERIFY(r.run([&] { r.session->searchNames(names); }));
        QCOMPARE(r.committed.size(), names.size());
        QCOMPARE(r.committed.last().name, names.last());
        QCOMPARE(r.registryNames().size(), dnsFirst ? 0 : names.size());
        QCOMPARE(r.tallied(), names.size());
        QCOMPARE(r.session->results().size(), keepRecords ? names.size() : 0);
        QCOMPARE(r.available.count() > 0, keepRecords && !dnsFirst); // DNS settles names as taken
    }
};

QTEST_GUILESS_MAIN(tst_SearchRun)
#include "tst_searchrun.moc"
