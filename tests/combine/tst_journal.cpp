// The run journal and the progress shown during a run.
#include "Recorders.h"
#include "combine/Journal.h"
#include "combine/Progress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Start(QDate(2026, 12, 6), QTime(22, 40, 0), Qt::UTC);

RunInputs sampleInputs()
{
    return {{u"my"_s, u"caf\u00e9"_s}, {u"shop"_s, u"a,\"b\""_s}, false, true, 1,
            u"Nag\r\nline"_s,          u"127.0.0.1:4343"_s,       Start};
}

LookupRecord sampleRecord(qint64 index)
{
    return {
        index,
        u"name%1.com"_s.arg(index),
        index != 3,
        {index == 2 ? VerdictKind::Unknown : VerdictKind::Free, index == 2 ? reason::RateLimited : QString()},
        u"whois.example:43"_s,
        Start.addSecs(index),
        {u"name%1.com"_s.arg(index)},
        {u"www.x.com"_s, u"www.\"y\".com"_s}};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A journal of the sample inputs and `records` records, finished or not.
QString writeSample(const QString &path, int records, bool finished)
{
    JournalWriter writer;
    if (!writer.create(path, sampleInputs()))
        return writer.errorString();
    for (int i = 1; i <= records; ++i)
        writer.append(sampleRecord(i));
    if (finished)
        writer.finish(Start.addDays(1));
    return {};
}

} // namespace

class tst_Journal : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip();
    void damage_data();
    void damage();
    void reopenCutsTornLine();
    void folder();
    void timeLeft_data();
    void timeLeft();
};

void tst_Journal::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"j.jsonl"_s);
    QCOMPARE(writeSample(path, 3, true), QString());
    const JournalContents contents = readJournal(path);
    QVERIFY2(contents.ok(), qPrintable(contents.error));
    QCOMPARE(contents.inputs, sampleInputs());
    QCOMPARE(contents.records.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const LookupRecord &got = contents.records.at(i);
        const LookupRecord want = sampleRecord(i + 1);
        QCOMPARE(got.index, want.index);
        QCOMPARE(got.name, want.name);
        QCOMPARE(got.judged, want.judged);
        QCOMPARE(got.verdict, want.verdict);
        QCOMPARE(got.server, want.server);
        QCOMPARE(got.checkedAt, want.checkedAt);
        QCOMPARE(got.addedAvailable, want.addedAvailable);
        QCOMPARE(got.addedLinks, want.addedLinks);
    }
    QVERIFY(contents.finished);
    QCOMPARE(contents.finishedAt, Start.addDays(1));
    QCOMPARE(contents.nextIndex(), 4);
    // One object per line, times in UTC with a Z.
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 6);
    QVERIFY(lines.at(1).contains("\"time\":\"2026-12-06T22:40:01Z\""));
    // A second journal is never written over the first.
    JournalWriter again;
    QVERIFY(!again.create(path, sampleInputs()) && !again.errorString().isEmpty());
}

void tst_Journal::damage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records"); // read back; -1: unreadable
    QTest::addColumn<QString>("error");

    QTemporaryDir dir;
    const QString path = dir.filePath(u"j"_s);
    writeSample(path, 2, false);
    const QByteArray good = readAll(path); // a header and two records
    const QByteArray lookup3 = "{\"type\":\"lookup\",\"index\":3,\"name\":\"a\",\"verdict\":\"free\","
                               "\"addedAvailable\":[],\"addedLinks\":[]}\n";
    const QString line4 = u"Line 4 of the journal is damaged"_s;

    QTest::newRow("torn last line") << good + lookup3.left(30) << 2 << QString();
    QTest::newRow("whole line, no line end") << good + lookup3.chopped(1) << 2 << QString();
    QTest::newRow("zeros after a power cut") << good + QByteArray(300, '\0') << 2 << QString();
    QTest::newRow("damaged line before the last") << good + "{\"ty\n" + lookup3 << -1 << line4;
    QTest::newRow("index out of order") << good + QByteArray(lookup3).replace(":3", ":4") << -1 << line4;
    QTest::newRow("unknown verdict") << good + QByteArray(lookup3).replace("free", "maybe") << -1 << line4;
    QTest::newRow("newer format") << QByteArray(good).replace("\"version\":1", "\"version\":2") << -1
                                  << u"The journal was written by a newer Zandrel (format 2)"_s;
    QTest::newRow("not a journal") << QByteArray(good).replace("\"header\"", "\"list\"") << -1
                                   << u"The file is not a Zandrel journal"_s;
    QTest::newRow("header torn") << good.left(20) << -1 << u"The journal is empty"_s;
}

void tst_Journal::damage()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"j.jsonl"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const JournalContents contents = readJournal(path);
    QTEST(contents.error, "error");
    QFETCH(int, records);
    if (records >= 0)
        QCOMPARE(contents.records.size(), records);
    QVERIFY(QFile::exists(path)); // nothing is lost
}

void tst_Journal::reopenCutsTornLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"j.jsonl"_s);
    QCOMPARE(writeSample(path, 2, false), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append) && file.write("{\"type\":\"loo") > 0);
    file.close();

    JournalWriter writer;
    QVERIFY(writer.reopen(path, readJournal(path).wholeSize));
    QVERIFY(writer.append(sampleRecord(3)) && writer.finish(Start));
    const JournalContents contents = readJournal(path);
    QVERIFY2(contents.ok(), qPrintable(contents.error));
    QCOMPARE(contents.nextIndex(), 4);
    QVERIFY(contents.finished);
}

void tst_Journal::folder()
{
    QTemporaryDir dir;
    FixedClock clock(Start.addDays(-40));
    const JournalFolder folder(dir.filePath(u"runs"_s), clock);
    QCOMPARE(folder.lastJournal(), QString());

    // Two runs in one second, a later run finished, then one started and not finished.
    JournalWriter writer;
    QStringList paths;
    for (const int daysLater : {0, 0, 11, 38}) {
        clock.moment = Start.addDays(-40 + daysLater);
        QVERIFY(folder.start(writer, sampleInputs()));
        paths << writer.path();
        if (daysLater < 38)
            writer.finish(clock.now());
    }
    QCOMPARE(QFileInfo(paths.at(1)).fileName(), u"run-20261027-224000_2.jsonl"_s);
    QCOMPARE(readJournal(paths.at(3)).inputs.startedAt, clock.now());
    QCOMPARE(folder.lastJournal(), paths.at(3));

    clock.moment = Start;
    QCOMPARE(folder.removeFinished(), 2);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
             (QStringList {QFileInfo(paths.at(2)).fileName(), QFileInfo(paths.at(3)).fileName()}));
}

void tst_Journal::timeLeft_data()
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
    QTest::newRow("all done") << 100LL << 100LL << 1000LL << u"less than a minute left"_s;
}

void tst_Journal::timeLeft()
{
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, elapsedMs);
    QTEST(timeLeftText(done, total, elapsedMs), "text");
}

QTEST_GUILESS_MAIN(tst_Journal)
#include "tst_journal.moc"
