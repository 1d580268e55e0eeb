// Many registries side by side: one queue per server, each at its own pace, results committed in
// the list's order. Three scripted registries on 127.0.0.1 answer; the pauses pass on a manual
// clock, which is moved on only to the next pause's end, never past a lookup's own limits.
#include "Recorders.h"
#include "ScriptedWhoisServer.h"
#include "harvest/UniqueList.h"
#include "search/SearchSession.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int PauseMs = 1000;

// Free or taken by the name's first letter, after `delayMs` (the answer comes in two pieces).
ScriptedWhoisServer::Reply registry(const QByteArray &query, int delayMs)
{
    const QByteArray name = query.trimmed().split(' ').last().toUpper();
    const QByteArray text = name.startsWith("T")
        ? "Domain Name: " + name + "\r\nName Server: NS1." + name + "\r\n"
        : "No match for \"" + name + "\".\r\n";
    return {text, delayMs > 0 ? int(text.size() / 2 + 1) : 0, delayMs};
}

// Three registries: .com and .net share the first, as Verisign's do; .org and .de have one each.
struct Registries
{
    ScriptedWhoisServer verisign, org, de;
    QTemporaryDir cache, journals, reports;
    ScriptedWhoisServer iana;
    ManualClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
    UniqueList available {UniqueList::Key::Exact};
    UniqueList links {UniqueList::Key::WithoutQuotes};
    std::unique_ptr<SearchSession> session;
    QList<LookupRecord> committed;
    // When each server was asked, on the manual clock.
    QHash<const ScriptedWhoisServer *, QList<qint64>> askedAtMs;

    explicit Registries(int maxServers = 32)
    {
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        settings.rdapBootstrapUrl = u"http://127.0.0.1:1/dns.json"_s;
        settings.ianaServer = iana.address();
        // Lookups end by what the servers do, never by the clock moved on for a pause.
        settings.limits = {.connectWaitMs = 3'600'000, .idleMs = 3'600'000, .totalMs = 3'600'000};
        for (const auto &[tld, server] : {std::pair {u"com"_s, &verisign}, std::pair {u"net"_s, &verisign},
                                          std::pair {u"org"_s, &org}, std::pair {u"de"_s, &de}})
            settings.overrides.perTld.insert(tld, server->address());
        for (ScriptedWhoisServer *server : {&verisign, &org, &de, &iana})
            QObject::connect(server, &ScriptedWhoisServer::queryReceived, server,
                             [this, server] { askedAtMs[server] << clock.monotonicNs() / 1'000'000; });
        session = std::make_unique<SearchSession>(settings, journals.path(), clock, available, links);
        session->request().pauseMs = PauseMs;
        session->request().maxServers = maxServers;
        session->request().stopGraceMs = 2000;
        QObject::connect(session.get(), &SearchSession::committed, session.get(),
                         [this](const LookupRecord &record) { committed << record; });
    }
    void answerAfter(int verisignMs, int orgMs, int deMs)
    {
        verisign.setReplyFor([verisignMs](const QByteArray &q) { return registry(q, verisignMs); });
        org.setReplyFor([orgMs](const QByteArray &q) { return registry(q, orgMs); });
        de.setReplyFor([deMs](const QByteArray &q) { return registry(q, deMs); });
    }
    // Starts a run and drives it to its end: whenever nothing happens for a moment, the clock moves
    // on to the next pause's end.
    bool run(const std::function<void()> &start)
    {
        QSignalSpy finished(session.get(), &SearchSession::finished);
        start();
        for (int turns = 0; finished.isEmpty() && turns < 3000; ++turns) {
            if (finished.wait(10))
                break;
            const qint64 next = clock.nextDueInMs();
            if (next >= 0 && next <= PauseMs)
                clock.advance(next);
        }
        return !finished.isEmpty();
    }
    QStringList committedNames() const
    {
        QStringList names;
        for (const LookupRecord &record : committed)
            names << record.name;
        return names;
    }
    // Every query to `server` came at least the pause after the one before.
    bool pausedApart(const ScriptedWhoisServer *server) const
    {
        const QList<qint64> &at = askedAtMs.value(server);
        for (qsizetype i = 1; i < at.size(); ++i) {
            if (at[i] - at[i - 1] < PauseMs) {
                qWarning("%lld ms apart", at[i] - at[i - 1]);
                return false;
            }
        }
        return true;
    }
    QList<QByteArray> allQueries() const { return verisign.queries() + org.queries() + de.queries(); }
};

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
    // Whatever order the registries answer in, names are committed in the list's order; each
    // registry has one query at a time, none closer than the pause to the end of the one before
    // (the first pause too), and different registries are asked at the same time.
    void pacedPerServerCommittedInOrder_data()
    {
        QTest::addColumn<int>("verisignMs");
        QTest::addColumn<int>("orgMs");
        QTest::addColumn<int>("deMs");
        QTest::newRow("all alike") << 10 << 10 << 10;
        QTest::newRow("the first registry slowest") << 60 << 10 << 0;
        QTest::newRow("the last registry slowest") << 0 << 10 << 60;
        QTest::newRow("the middle one slowest") << 10 << 60 << 0;
    }
    void pacedPerServerCommittedInOrder()
    {
        QFETCH(int, verisignMs);
        QFETCH(int, orgMs);
        QFETCH(int, deMs);
        Registries r;
        r.answerAfter(verisignMs, orgMs, deMs);
        QList<qint64> begun;
        connect(r.session.get(), &SearchSession::begun, r.session.get(),
                [&begun](qint64 index) { begun << index; });
        QVERIFY(r.run([&r] { r.session->searchCombinations(combinations()); }));

        const QStringList names = combinationNames(Prefixes, Suffixes, false);
        QCOMPARE(r.committedNames(), names);
        QList<qint64> indexes;
        for (const LookupRecord &record : r.committed)
            indexes << record.index;
        QCOMPARE(indexes, (QList<qint64> {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
        QCOMPARE(begun, indexes); // shown in order, each once
        QCOMPARE(r.verisign.queries().size(), 8);
        for (const ScriptedWhoisServer *server : {&r.verisign, &r.org, &r.de}) {
            QCOMPARE(server->mostOpen(), 1);
            QVERIFY(r.pausedApart(server));
            // Each registry's first query went at once, the others a pause apart from the one before.
            QCOMPARE(r.askedAtMs[server].first(), r.askedAtMs[&r.verisign].first());
        }
    }

    // Stop lets the lookups under way end within the grace; only names committed in order are in
    // the journal, and the resumed run asks exactly the others.
    void stopThenResumeAsksTheRest()
    {
        Registries first;
        first.answerAfter(5, 60, 5);
        connect(&first.org, &ScriptedWhoisServer::queryReceived, first.session.get(), [&first] {
            if (first.org.queries().size() == 2)
                first.session->stop();
        });
        QVERIFY(first.run([&first] { first.session->searchCombinations(combinations()); }));
        QVERIFY(!first.session->runLog().journalPath().isEmpty());
        const QStringList names = combinationNames(Prefixes, Suffixes, false);
        const qsizetype done = first.committed.size();
        QVERIFY(done > 0 && done < names.size());
        QCOMPARE(first.committedNames(), names.mid(0, done));
        // The second .org lookup was under way when Stop came and answered within the grace.
        QVERIFY(first.committedNames().contains(u"fbx.org"_s));

        Registries again;
        again.answerAfter(0, 0, 0);
        QString error;
        QVERIFY(again.run(
            [&] { QVERIFY(again.session->resume(first.session->runLog().journalPath(), &error)); }));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList asked;
        for (const QByteArray &query : again.allQueries()) // the name is the query's last word
            asked << QString::fromLatin1(query.trimmed().split(' ').last());
        asked.sort();
        QStringList rest = names.mid(done);
        rest.sort();
        QCOMPARE(asked, rest);
        QCOMPARE(again.committedNames(), names.mid(done));
        const RunTally &tally = again.session->tally(); // the whole run's, the part before the cut too
        QCOMPARE(tally.count(VerdictKind::Free) + tally.count(VerdictKind::Taken) + tally.notAnswered(),
                 int(names.size()));
    }

    // The IANA server is a server like any other: nine TLDs the table lacks are asked of it one at
    // a time, the pause apart, and every name under a TLD waits for that TLD's one referral.
    void referralsWaitTheirTurn()
    {
        Registries r;
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

    // A list longer than the names kept in memory (committed names are let go) is asked whole, and
    // a run ends only after its last name.
    void longListAskedWhole()
    {
        Registries r;
        r.answerAfter(0, 0, 0);
        r.session->request().pauseMs = 0;
        QStringList names;
        for (int i = 0; i < 2500; ++i)
            names << u"n%1.%2"_s.arg(i).arg(i % 3 ? u"com"_s : u"org"_s);
        QVERIFY(r.run([&] { r.session->searchNames(names); }));
        QCOMPARE(r.committed.size(), names.size());
        QCOMPARE(r.committed.last().name, names.last());
        QCOMPARE(r.allQueries().size(), names.size());
    }

    // The report of a run across three registries is the report of the same answers asked one at
    // a time.
    void reportAsIfOneAtATime()
    {
        QMap<QString, QByteArray> reports[2];
        for (int one = 0; one < 2; ++one) {
            Registries r(one ? 1 : 32);
            r.answerAfter(10, 0, 30);
            QVERIFY(r.run([&r] { r.session->searchCombinations(combinations()); }));
            const ReportResult written
                = r.session->writeReport(u"r"_s, Prefixes, Suffixes, r.reports.path(), {}, {});
            QVERIFY2(written.ok, qPrintable(written.error));
            for (const QString &file : QDir(r.reports.path()).entryList(QDir::Files)) {
                QFile read(QDir(r.reports.path()).filePath(file));
                QVERIFY(read.open(QIODevice::ReadOnly));
                QByteArray bytes = read.readAll();
                for (const ScriptedWhoisServer *server : {&r.verisign, &r.org, &r.de})
                    bytes.replace(server->address().toUtf8(), "SERVER");
                // One at a time takes longer on the clock: the times differ, nothing else.
                QString text = QString::fromUtf8(bytes);
                text.replace(QRegularExpression(u"\\d\\d:\\d\\d:\\d\\d"_s), u"TIME"_s);
                reports[one].insert(file, text.toUtf8());
            }
            QVERIFY(r.links.count() > 0);
        }
        QCOMPARE(reports[0].keys(), (QStringList {u"r.csv"_s, u"r.htm"_s, u"r.txt"_s}));
        QCOMPARE(reports[0], reports[1]);
    }
};

QTEST_GUILESS_MAIN(tst_SearchRun)
#include "tst_searchrun.moc"
