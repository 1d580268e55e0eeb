// Many registries side by side: one queue per server, each at its own pace, results committed in
// the list's order. Three scripted registries on 127.0.0.1 record when each query arrives.
#include "Recorders.h"
#include "ScriptedWhoisServer.h"
#include "harvest/UniqueList.h"
#include "search/SearchSession.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int PauseMs = 150;

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
    FixedClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
    UniqueList available {UniqueList::Key::Exact};
    UniqueList links {UniqueList::Key::WithoutQuotes};
    std::unique_ptr<SearchSession> session;
    QList<LookupRecord> committed;

    explicit Registries(int maxServers = 32)
    {
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        settings.rdapBootstrapUrl = u"http://127.0.0.1:1/dns.json"_s;
        for (const auto &[tld, server] : {std::pair {u"com"_s, &verisign}, std::pair {u"net"_s, &verisign},
                                          std::pair {u"org"_s, &org}, std::pair {u"de"_s, &de}})
            settings.overrides.perTld.insert(tld, server->address());
        session = std::make_unique<SearchSession>(settings, journals.path(), clock, available, links);
        session->options().pauseMs = PauseMs;
        session->options().maxServers = maxServers;
        session->options().stopGraceMs = 2000;
        QObject::connect(session.get(), &SearchSession::committed, session.get(),
                         [this](const LookupRecord &record) { committed << record; });
    }
    void answerAfter(int verisignMs, int orgMs, int deMs)
    {
        verisign.setReplyFor([verisignMs](const QByteArray &q) { return registry(q, verisignMs); });
        org.setReplyFor([orgMs](const QByteArray &q) { return registry(q, orgMs); });
        de.setReplyFor([deMs](const QByteArray &q) { return registry(q, deMs); });
    }
    bool run(const std::function<void()> &start)
    {
        QSignalSpy finished(session.get(), &SearchSession::finished);
        start();
        return !finished.isEmpty() || finished.wait(30000);
    }
    QStringList committedNames() const
    {
        QStringList names;
        for (const LookupRecord &record : committed)
            names << record.name;
        return names;
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
        QTest::newRow("all alike") << 40 << 40 << 40;
        QTest::newRow("the first registry slowest") << 300 << 40 << 0;
        QTest::newRow("the last registry slowest") << 0 << 40 << 300;
        QTest::newRow("the middle one slowest") << 40 << 300 << 0;
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
            const auto &visits = server->visits();
            for (qsizetype i = 1; i < visits.size(); ++i) {
                const qint64 gapMs = (visits[i].arrivedNs - visits[i - 1].closedNs) / 1'000'000;
                QVERIFY2(
                    gapMs >= PauseMs,
                    qPrintable(u"%1 ms before %2"_s.arg(gapMs).arg(QString::fromLatin1(visits[i].query))));
            }
        }
        // Each registry's first query went at once: before any registry was asked a second time.
        qint64 firstSecond = std::numeric_limits<qint64>::max();
        for (const ScriptedWhoisServer *server : {&r.verisign, &r.org, &r.de})
            firstSecond = std::min(firstSecond, server->visits().at(1).arrivedNs);
        for (const ScriptedWhoisServer *server : {&r.verisign, &r.org, &r.de})
            QVERIFY(server->visits().first().arrivedNs < firstSecond);
    }

    // Stop lets the lookups under way end within the grace; only names committed in order are in
    // the journal, and the resumed run asks exactly the others.
    void stopThenResumeAsksTheRest()
    {
        Registries first;
        first.answerAfter(20, 400, 20);
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

    // A list longer than the names kept in memory (committed names are let go) is asked whole, and
    // a run ends only after its last name.
    void longListAskedWhole()
    {
        Registries r;
        r.answerAfter(0, 0, 0);
        r.session->options().pauseMs = 0;
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
            r.answerAfter(30, 0, 60);
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
                reports[one].insert(file, bytes);
            }
            QVERIFY(r.links.count() > 0);
        }
        QCOMPARE(reports[0].keys(), (QStringList {u"r.csv"_s, u"r.htm"_s, u"r.txt"_s}));
        QCOMPARE(reports[0], reports[1]);
    }
};

QTEST_GUILESS_MAIN(tst_SearchRun)
#include "tst_searchrun.moc"
