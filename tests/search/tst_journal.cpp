// The run journal and the time left shown during a run.
#include "Journals.h"
#include "Tables.h"
#include "search/Progress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Start(QDate(2026, 12, 6), QTime(22, 40, 0), Qt::UTC);
// Routing as a resume must take it back: the servers and the resolver the run used.
const RunInputs Inputs {
    {u"my"_s, u"caf\u00e9"_s},
    {u"a,\"b\""_s},
    false,
    true,
    1,
    u"Nag\r\n"_s,
    u"[::1]:43"_s,
    250,
    Start,
    {u"com"_s, u"org"_s},
    true,
    ServerOverrides {{},
                     {{u"org"_s, u"127.0.0.1:4301"_s}, {u"io"_s, u"rdap:http://[::1]/"_s}},
                     u"whois.example:43"_s,
                     Protocol::Whois},
    u"[::1]:5353"_s,
    true};

// Free, rate-limited, a registrar query (no verdict), a name nobody can register, free again …
LookupRecord sampleRecord(qint64 index)
{
    LookupRecord record {index,
                         u"n%1.com"_s.arg(index),
                         index != 3,
                         index == 2       ? Verdict::unknown(UnknownReason::RateLimited)
                             : index == 4 ? Verdict::notRegistrable(u"empty label"_s)
                             : index == 5 ? Verdict {VerdictKind::Reserved, {}, u"blocked by the registry"_s}
                                          : Verdict {.kind = VerdictKind::Free},
                         u"whois.example:43"_s,
                         Start.addSecs(index),
                         {u"n%1.com"_s.arg(index)},
                         {u"www.\"y\".com"_s}};
    // What the answer said beyond the verdict goes into the journal too.
    if (index == 1) {
        record.verdict = {VerdictKind::Taken, {}, {}};
        record.details = {false,
                          Stage::Redemption,
                          QDate(2027, 1, 5),
                          u"Example \"Registrar\""_s,
                          QDate(2015, 11, 20),
                          QDate(2026, 11, 20),
                          {u"redemptionPeriod"_s, u"pendingDelete"_s},
                          u"Domain Status: redemptionPeriod"_s};
    }
    if (index == 3)
        record.details.premium = true;
    return record;
}

} // namespace

class tst_Journal : public QObject
{
    Q_OBJECT
private slots:
    // A run holds its journal while it writes: another cannot take it over until the first closes
    // it (or its process ends). What the runs wrote reads back whole, and an existing journal is
    // never written over.
    void writtenLockedAndReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"j.jsonl"_s);
        JournalWriter first, second;
        QVERIFY(first.create(path, Inputs) && first.append(sampleRecord(1)));
        QVERIFY(journalInUse(path) && !journalInUse(dir.filePath(u"none"_s)));
        const QByteArray before = readAll(path);
        const Result<void> reopened = second.reopen(path, 10);
        QVERIFY(!reopened);
        QCOMPARE(reopened.error().text,
                 u"Could not lock the journal %1: another search is writing it"_s.arg(path));
        QCOMPARE(readAll(path), before); // not cut to the size asked for
        first.close();
        QVERIFY(!journalInUse(path));
        QVERIFY(second.reopen(path, readJournal(path)->wholeSize) && journalInUse(path));
        QVERIFY(second.append(sampleRecord(2)) && second.append(sampleRecord(3))
                && second.append(sampleRecord(4)) && second.append(sampleRecord(5)));
        QVERIFY(second.finish(Start.addDays(1)));
        second.close();
        const Result<JournalContents> read = readJournal(path);
        QVERIFY2(read, qPrintable(read ? QString() : read.error().text));
        const JournalContents &contents = *read;
        QCOMPARE(contents.inputs, Inputs);
        QCOMPARE(contents.records,
                 (QList<LookupRecord> {sampleRecord(1), sampleRecord(2), sampleRecord(3), sampleRecord(4),
                                       sampleRecord(5)}));
        // Reasons in the words journals have always held.
        QVERIFY(readAll(path).contains("\"reason\":\"rate-limited\""));
        QVERIFY(readAll(path).contains("\"reason\":\"empty label\""));
        QVERIFY(contents.finished);
        QCOMPARE(contents.finishedAt, Start.addDays(1));
        // One object per line, times in UTC with a Z.
        QVERIFY(readAll(path).split('\n').at(1).contains("\"time\":\"2026-12-06T22:40:01Z\""));
        JournalWriter again;
        const Result<void> created = again.create(path, Inputs);
        QVERIFY(!created && !created.error().text.isEmpty());
    }

    // A write that fails says why in the system's words.
    void writeErrorKeepsItsCause()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"j.jsonl"_s);
        JournalWriter writer;
        QVERIFY(writer.create(path, Inputs));
        // The file may grow no further, as on a full disk.
        rlimit before {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &before); });
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restoreSignal = qScopeGuard([&] { std::signal(SIGXFSZ, oldHandler); });
        rlimit limit = before;
        limit.rlim_cur = rlim_t(QFileInfo(path).size());
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limit) == 0);
        const Result<void> appended = writer.append(sampleRecord(1));
        QVERIFY(!appended);
        QCOMPARE(appended.error().text, u"Could not write the journal %1: File too large"_s.arg(path));
    }

    // Which run --resume continues: the newest one not finished, or the one named; never one that
    // is finished. (A run being written is refused: tst_cli's cannotStart.)
    void chooseResume_data()
    {
        QTest::addColumn<QList<int>>("runs"); // oldest first: records written; -1 finished, -2 damaged
        QTest::addColumn<int>("named"); // the run asked for, or -1
        QTest::addColumn<int>("chosen"); // -1: none
        QTest::addColumn<QString>("error");
        const QString none = u"there is no unfinished search to resume"_s;
        QTest::newRow("none") << QList<int>() << -1 << -1 << none;
        QTest::newRow("all finished") << QList<int> {-1, -1} << -1 << -1 << none;
        QTest::newRow("newest unfinished, not newest") << QList<int> {1, 2, -1} << -1 << 1 << QString();
        QTest::newRow("damaged newest passed over") << QList<int> {1, -2} << -1 << 0 << QString();
        QTest::newRow("damaged alone")
            << QList<int> {-1, -2} << -1 << -1
            << u"the newest unfinished search cannot be resumed: {1}: line 3 is damaged"_s;
        QTest::newRow("named older run") << QList<int> {1, 2} << 0 << 0 << QString();
        QTest::newRow("named finished run")
            << QList<int> {1, -1} << 1 << -1 << u"the search in {1} is finished"_s;
        QTest::newRow("named damaged run") << QList<int> {-2} << 0 << -1 << u"{0}: line 3 is damaged"_s;
    }
    void chooseResume()
    {
        QFETCH(QList<int>, runs);
        QFETCH(int, named);
        QFETCH(int, chosen);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < runs.size(); ++i) {
            JournalWriter writer;
            QVERIFY(writeRun(writer, dir.path(), Start.addSecs(i), Inputs, std::max(runs.at(i), 1),
                             runs.at(i) == -1));
            writer.close();
            paths << writer.path();
            QFile file(writer.path());
            QVERIFY(runs.at(i) != -2 || (file.open(QIODevice::Append) && file.write("{damaged\n{}\n") > 0));
        }
        const FixedClock clock(Start);
        const Result<ResumeChoice> choice
            = JournalFolder(dir.path(), clock).chooseResume(named < 0 ? QString() : paths.at(named));
        for (int i = 0; i < paths.size(); ++i)
            error.replace(u"{%1}"_s.arg(i), paths.at(i));
        QCOMPARE(choice ? QString() : choice.error().text, error);
        QCOMPARE(choice ? choice->path : QString(), chosen < 0 ? QString() : paths.at(chosen));
        if (choice)
            QCOMPARE(choice->contents.recordCount, runs.at(chosen));
    }

    // A torn last line (power cut) is cut off and the run goes on; damage before it is reported.
    void damage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records"); // read back; -1: unreadable
        QTest::addColumn<QString>("error");

        QTemporaryDir dir;
        JournalWriter writer;
        QVERIFY(writer.create(dir.filePath(u"j"_s), Inputs) && writer.append(sampleRecord(1))
                && writer.append(sampleRecord(2)));
        const QByteArray good = readAll(writer.path()); // a header and two records
        const QByteArray line3 = "{\"type\":\"lookup\",\"index\":3,\"name\":\"a\",\"verdict\":\"free\","
                                 "\"addedAvailable\":[],\"addedLinks\":[]}\n";
        const QString line4 = u"line 4 is damaged"_s;

        QTest::newRow("torn last line") << good + line3.left(30) << 2 << QString();
        // A journal from before the pace was kept takes the usual one (-1).
        QTest::newRow("no pace") << QByteArray(good).replace(",\"delayMs\":250", "") << 2 << QString();
        // The journal is read in pieces of 1 MB: a line may run over several.
        QTest::newRow("line over many reads")
            << QByteArray(good).replace("Nag\\r\\n", QByteArray(3 << 20, 'n')) + line3.left(30) << 2
            << QString();
        QTest::newRow("whole line, no line end") << good + line3.chopped(1) << 2 << QString();
        QTest::newRow("zeros after a power cut") << good + QByteArray(300, '\0') << 2 << QString();
        QTest::newRow("next line after a torn one") << good + "{\"ty\n" + line3 << -1 << line4;
        QTest::newRow("index out of order") << good + QByteArray(line3).replace(":3", ":4") << -1 << line4;
        QTest::newRow("unknown verdict") << good + QByteArray(line3).replace("free", "maybe") << -1 << line4;
        QTest::newRow("newer format") << QByteArray(good).replace("\"version\":1", "\"version\":2") << -1
                                      << u"written by a newer Zandrel (format 2)"_s;
        QTest::newRow("not a journal")
            << QByteArray(good).replace("\"header\"", "\"list\"") << -1 << u"not a Zandrel journal"_s;
        QTest::newRow("header torn") << good.left(20) << -1 << u"empty"_s;
    }
    void damage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"j.jsonl"_s);
        QVERIFY(writeAll(path, bytes));
        const Result<JournalContents> contents = readJournal(path);
        QTEST(contents ? QString() : contents.error().text, "error");
        if (records < 0)
            return;
        QCOMPARE(contents->records.size(), records);
        QCOMPARE(contents->inputs.delayMs, bytes.contains("delayMs") ? 250 : -1);
        // Going on cuts the torn line off first.
        JournalWriter writer;
        QVERIFY(writer.reopen(path, contents->wholeSize) && writer.append(sampleRecord(3)));
        QCOMPARE(readJournal(path)->records.size(), records + 1);
    }

    // Lines reach the disk in groups of 256, the rest 100 ms after the first of them, each group
    // one write and one fsync. A kill before then loses only the lines waiting: a resume asks
    // again from the first of them.
    void groupCommit_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("groupsAtOnce");
        QTest::addColumn<int>("groupsAfter");
        QTest::newRow("three") << 3 << 0 << 1;
        QTest::newRow("one full group") << 256 << 1 << 1;
        QTest::newRow("1,100 at once") << 1100 << 4 << 5;
    }
    void groupCommit()
    {
        QFETCH(int, records);
        QFETCH(int, groupsAtOnce);
        QFETCH(int, groupsAfter);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"j.jsonl"_s);
        ManualClock clock(Start);
        JournalWriter writer(clock);
        QVERIFY(writer.create(path, Inputs)); // its first line, one group
        for (int i = 1; i <= records; ++i)
            QVERIFY(writer.append(sampleRecord(i)));
        clock.advance(JournalWriter::GroupMs - 1);
        QVERIFY(writer.waitForDisk());
        QCOMPARE(writer.syncs(), 1 + groupsAtOnce);

        const QString killed = dir.filePath(u"killed.jsonl"_s); // the file as a kill leaves it
        QVERIFY(QFile::copy(path, killed));
        const Result<JournalContents> cut = readJournal(killed);
        QVERIFY2(cut, qPrintable(cut ? QString() : cut.error().text));
        QCOMPARE(cut->nextIndex(), groupsAtOnce * JournalWriter::GroupLines + 1);

        clock.advance(1);
        QVERIFY(writer.waitForDisk());
        QCOMPARE(writer.syncs(), 1 + groupsAfter);
        QCOMPARE(writer.writes(), writer.syncs());
        QCOMPARE(readJournal(path)->records.size(), records);
    }

    // Journals get unique names; only finished ones over 30 days old are cleared away.
    void folder()
    {
        QTemporaryDir dir;
        FixedClock clock(Start);
        const JournalFolder folder(dir.filePath(u"runs"_s), clock);
        QCOMPARE(folder.lastJournal(), QString());

        // Two runs in one second finished 40 days ago, one 29 days ago, and the last one unfinished.
        JournalWriter writer;
        QStringList names;
        for (const int daysAgo : {40, 40, 29, 2}) {
            clock.moment = Start.addDays(-daysAgo);
            QVERIFY(folder.start(writer, Inputs));
            names << QFileInfo(writer.path()).fileName();
            if (daysAgo > 2)
                writer.finish(clock.now());
        }
        QCOMPARE(names.at(1), u"run-20261027-224000_2.jsonl"_s);
        QCOMPARE(readJournal(folder.lastJournal())->inputs.startedAt, clock.now());
        clock.moment = Start;
        QCOMPARE(folder.removeFinished(), 2);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), names.mid(2));
    }

    // The time left, rounded up, with no guess before the first lookup ends.
    void timeLeft_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("text");

        QTest::newRow("nothing done yet") << 0LL << 100LL << 5000LL << QString();
        QTest::newRow("hours") << 100LL << 10000LL << 97'600LL << u"about 2 h 41 min left"_s;
        QTest::newRow("minutes") << 10LL << 100LL << 80'000LL << u"about 12 min left"_s;
        QTest::newRow("under a minute") << 99LL << 100LL << 5'000'000LL << u"less than a minute left"_s;
        QTest::newRow("rounds up to the hour") << 1LL << 2LL << 3'590'000LL << u"about 1 h 0 min left"_s;
        QTest::newRow("just under two days") << 1LL << 2LL << 172'740'000LL << u"about 47 h 59 min left"_s;
        QTest::newRow("two days") << 1LL << 2LL << 172'800'000LL << u"about 2 days 0 h left"_s;
        QTest::newRow("beyond any run")
            << 1LL << (1LL << 62) << (1LL << 62) << u"about 41666666666666 days 16 h left"_s;
    }
    void timeLeft()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(qint64, elapsedMs);
        QTEST(timeLeftText(done, total, elapsedMs), "text");
    }

    // The time left is the busiest server's: its names times the pause and its lookups' length.
    void timeLeftByServer_data()
    {
        QTest::addColumn<QList<QueueLoad>>("queues");
        QTest::addColumn<qint64>("unplanned");
        QTest::addColumn<QString>("text"); // with a pause of 1 s
        QTest::newRow("three servers side by side")
            << QList<QueueLoad> {{60, 0}, {60, 0}, {60, 0}} << 0LL << u"about 1 min left"_s;
        QTest::newRow("two names to go at two servers")
            << QList<QueueLoad> {{1, 200}, {1, 0}} << 0LL << u"less than a minute left"_s;
        QTest::newRow("a slow server with few names")
            << QList<QueueLoad> {{2, 59'000}, {100, 0}} << 0LL << u"about 2 min left"_s;
        QTest::newRow("names not yet planned go as the others")
            << QList<QueueLoad> {{300, 0}, {100, 0}} << 400LL << u"about 10 min left"_s;
        QTest::newRow("an operator paced slower than the pause")
            << QList<QueueLoad> {{30, 100, 4'000}, {60, 0, 0}} << 0LL << u"about 2 min left"_s;
        QTest::newRow("none queued yet") << QList<QueueLoad> {} << 600LL << u"about 10 min left"_s;
    }
    void timeLeftByServer()
    {
        QFETCH(QList<QueueLoad>, queues);
        QFETCH(qint64, unplanned);
        QTEST(timeLeftText(timeLeftMs(queues, unplanned, 1000)), "text");
    }

    // A large search is asked about first, with how many names and about how long.
    void largeSearch_data()
    {
        QTest::addColumn<qint64>("names");
        QTest::addColumn<qint64>("pauseMs");
        QTest::addColumn<QString>("question");
        QTest::newRow("not large") << 100'000LL << 3000LL << QString();
        QTest::newRow("large")
            << 100'001LL << 3000LL
            << u"This search looks up 100,001 names, one every 3 s: about 3 days 11 h. Start it?"_s;
        QTest::newRow("short pause")
            << 250'000LL << 1500LL
            << u"This search looks up 250,000 names, one every 1.5 s: about 4 days 8 h. Start it?"_s;
    }
    void largeSearch()
    {
        QFETCH(qint64, names);
        QFETCH(qint64, pauseMs);
        QTEST(largeSearchQuestion(names, pauseMs), "question");
    }
};

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_journal.moc"
