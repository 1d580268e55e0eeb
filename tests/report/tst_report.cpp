#include "report/Report.h"

#include "harvest/UniqueList.h"
#include "platform/EventYield.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace zandrel;

namespace {

// Records every yield, with which report files exist at that moment, and lets a test act then.
class RecordingYield : public EventYield
{
public:
    explicit RecordingYield(QStringList &events)
        : m_events(events)
    { }
    void yieldOnce() override
    {
        QString event = QStringLiteral("yield");
        for (const QString &path : watched) {
            if (QFile::exists(path))
                event += u' ' + path.section(u'/', -1);
        }
        m_events << event;
        if (onYield)
            onYield(m_count);
        ++m_count;
    }
    QStringList watched;
    std::function<void(int)> onYield;

private:
    QStringList &m_events;
    int m_count = 0;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray expected(const char *name)
{
    return readAll(QString::fromUtf8(ZANDREL_TEST_DATA) + QStringLiteral("/report/") + QLatin1String(name));
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString existingRow(const QString &anchored)
{
    return QStringLiteral("<tr><td>\r\n<a target=\"_blank\" href='http://%1'>http://%1\r\n</td></tr>\r\n")
        .arg(anchored);
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void writesExpectedFiles_data();
    void writesExpectedFiles();
    void linkTexts_data();
    void linkTexts();
    void progressAndLiveList_data();
    void progressAndLiveList();
    void folders_data();
    void folders();
    void stamp_data();
    void stamp();
};

void TestReport::writesExpectedFiles_data()
{
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<QStringList>("available");
    QTest::addColumn<QStringList>("prefixes");
    QTest::addColumn<QStringList>("suffixes");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("html");

    QTest::newRow("small") << QStringList {QStringLiteral("www.alpha.com"), QStringLiteral("www.beta-2.org"),
                                           QStringLiteral("www.gamma.net")}
                           << QStringList {QStringLiteral("myshop.com"), QStringLiteral("yourshop.com")}
                           << QStringList {QStringLiteral("my"), QStringLiteral("your")}
                           << QStringList {QStringLiteral("shop")} << expected("small.txt")
                           << expected("small.htm");
    QTest::newRow("empty lists") << QStringList() << QStringList() << QStringList() << QStringList()
                                 << QByteArray() << expected("empty.htm");
}

void TestReport::writesExpectedFiles()
{
    QFETCH(QStringList, links);
    QFETCH(QStringList, available);
    QFETCH(QStringList, prefixes);
    QFETCH(QStringList, suffixes);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, html);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // An older report of the same name is replaced, not appended to.
    for (const char *extension : {".txt", ".htm"}) {
        QFile old(dir.filePath(QStringLiteral("12-31-00_10_15_07_PM") + QLatin1String(extension)));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }

    UniqueList linkList;
    for (const QString &link : links)
        linkList.addUnique(link);
    QStringList events;
    RecordingYield yield(events);
    ReportWriter writer(yield, [&events](const QString &caption) { events << caption; });
    const ReportInput input {&linkList, available, prefixes, suffixes, true};
    const ReportResult result = writer.SaveResults(QStringLiteral("12-31-00_10_15_07_PM"), input, dir.path(),
                                                   dir.filePath(QStringLiteral("fb")));

    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(!result.usedFallback);
    QCOMPARE(result.folder, dir.path());
    QCOMPARE(result.textPath, dir.path() + QStringLiteral("/12-31-00_10_15_07_PM.txt"));
    QCOMPARE(result.htmlPath, dir.path() + QStringLiteral("/12-31-00_10_15_07_PM.htm"));
    QCOMPARE(readAll(result.textPath), text);
    QCOMPARE(readAll(result.htmlPath), html);
    QCOMPARE(entriesOf(dir.path()).size(), 2);
    QCOMPARE(events.count(QStringLiteral("yield")), links.size() + 2);
}

void TestReport::linkTexts_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<QString>("available");
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("comSuffix");
    QTest::addColumn<QStringList>("wanted");

    QTest::newRow("markup in every field")
        << QStringLiteral("a<b&c'd") << QStringLiteral("x\"y>.com")
        << QStringLiteral("www.evil.com'><script>alert(1)</script>") << true
        << QStringList {
               QStringLiteral("q=a%3Cb%26c%27d&kl=XX&stype=stext='>a&lt;b&amp;c&#39;d\r\n"),
               QStringLiteral("query=a%3Cb%26c%27d'>a&lt;b&amp;c&#39;d\r\n"),
               QStringLiteral("'>http://www.x&quot;y&gt;.com\r\n"),
               QStringLiteral("href='http://www.evil.com&#39;&gt;&lt;script&gt;alert(1)&lt;/script&gt;'>")};
    QTest::newRow("space and non-ASCII")
        << QStringLiteral("big caf\u00e9") << QStringLiteral("ok.com") << QStringLiteral("www.ok.com") << true
        << QStringList {QStringLiteral("?MT=big%20caf%C3%A9&SM=MC&DV=0&LG=any&"
                                       "DC=10&DE=2'>big caf\u00e9\r\n")};
    QTest::newRow("safe query characters kept")
        << QStringLiteral("a.b_c~d-e") << QString() << QString() << true
        << QStringList {QStringLiteral("?search=a.b_c~d-e'>a.b_c~d-e\r\n")};
    QTest::newRow("available without .com")
        << QStringLiteral("x") << QStringLiteral("bestshop") << QString() << false
        << QStringList {
               QStringLiteral("<tr><td>\r\n<a target=\"_blank\" href='http://www.networksolutions.com/'>"
                              "http://www.bestshop.com\r\n</td></tr>\r\n")};
}

void TestReport::linkTexts()
{
    QFETCH(QString, term);
    QFETCH(QString, available);
    QFETCH(QString, existing);
    QFETCH(bool, comSuffix);
    QFETCH(QStringList, wanted);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    UniqueList links;
    links.addUnique(existing);
    QStringList events;
    RecordingYield yield(events);
    ReportWriter writer(yield, {});
    const ReportResult result
        = writer.SaveResults(QStringLiteral("r"), {&links, {available}, {term}, {}, comSuffix}, dir.path(),
                             dir.filePath(QStringLiteral("fb")));
    QVERIFY2(result.ok, qPrintable(result.error));

    const QString html = QString::fromUtf8(readAll(result.htmlPath));
    for (const QString &piece : wanted)
        QVERIFY2(html.contains(piece), qPrintable(piece));
    QVERIFY(!html.contains(QStringLiteral("<script")));
    QCOMPARE(html.count(u"<a "), 8 + 1 + 1);
    // The text file lists the addresses as harvested, for other programs to read.
    QCOMPARE(readAll(result.textPath), existing.toUtf8() + "\r\n");
}

void TestReport::progressAndLiveList_data()
{
    QTest::addColumn<QString>("change"); // what happens to the list at the yield after the first row
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("rows");

    const QString caption = QStringLiteral("Building HTML for existing domain %1 of %2");
    const QString onlyText = QStringLiteral("yield r.txt");
    QTest::newRow("unchanged") << QString() << QStringList {onlyText, caption.arg(0).arg(2),
                                                            onlyText, caption.arg(1).arg(2),
                                                            onlyText, caption.arg(2).arg(2),
                                                            onlyText, QStringLiteral("yield r.txt r.htm")}
                               << QStringList {QStringLiteral("www.a.com"), QStringLiteral("www.b.com"),
                                               QStringLiteral("www.c.com")};
    QTest::newRow("grows") << QStringLiteral("grow")
                           << QStringList {onlyText, caption.arg(0).arg(2),
                                           onlyText, caption.arg(1).arg(3),
                                           onlyText, caption.arg(2).arg(3),
                                           onlyText, QStringLiteral("yield r.txt r.htm")}
                           << QStringList {QStringLiteral("www.a.com"), QStringLiteral("www.b.com"),
                                           QStringLiteral("www.c.com")};
    QTest::newRow("cleared") << QStringLiteral("clear")
                             << QStringList {onlyText, caption.arg(0).arg(2),
                                             onlyText, caption.arg(1).arg(-1),
                                             onlyText, caption.arg(2).arg(-1),
                                             onlyText, QStringLiteral("yield r.txt r.htm")}
                             << QStringList {QStringLiteral("www.a.com"), QString(), QString()};
}

void TestReport::progressAndLiveList()
{
    QFETCH(QString, change);
    QFETCH(QStringList, events);
    QFETCH(QStringList, rows);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    UniqueList links;
    for (const char *host : {"www.a.com", "www.b.com", "www.c.com"})
        links.addUnique(QLatin1String(host));

    QStringList recorded;
    RecordingYield yield(recorded);
    yield.watched = {dir.filePath(QStringLiteral("r.txt")), dir.filePath(QStringLiteral("r.htm"))};
    yield.onYield = [&](int index) {
        if (index != 1)
            return;
        if (change == u"grow")
            links.addUnique(QStringLiteral("www.d.com"));
        else if (change == u"clear")
            links.clear();
    };
    ReportWriter writer(yield, [&recorded](const QString &caption) { recorded << caption; });
    const ReportResult result
        = writer.SaveResults(QStringLiteral("r"), {&links, {}, {}, {}, true}, dir.path(), QString());
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(recorded, events);

    QString table;
    for (const QString &row : rows)
        table += existingRow(row);
    const QString html = QString::fromUtf8(readAll(result.htmlPath));
    QVERIFY2(html.contains(QStringLiteral("bgcolor='00FFFF'>\r\n") + table + QStringLiteral("</table>\r\n")),
             qPrintable(html));
    QCOMPARE(readAll(result.textPath), QByteArray("www.a.com\r\nwww.b.com\r\nwww.c.com\r\n"));
}

enum class Obstacle { None, Missing, ParentIsFile, ReportNameIsFolder };

void TestReport::folders_data()
{
    QTest::addColumn<Obstacle>("inFolder");
    QTest::addColumn<Obstacle>("inFallback");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("usedFallback");
    QTest::addColumn<QStringList>("folderEntries");
    QTest::addColumn<QStringList>("fallbackEntries");

    const QStringList both {QStringLiteral("r.htm"), QStringLiteral("r.txt")};
    const QStringList blocked {QStringLiteral("r.htm")};
    QTest::newRow("folder writable") << Obstacle::None << Obstacle::None << true << false << both
                                     << QStringList();
    QTest::newRow("folder unwritable")
        << Obstacle::ParentIsFile << Obstacle::None << true << true << QStringList() << both;
    QTest::newRow("folder missing, fallback created")
        << Obstacle::Missing << Obstacle::Missing << true << true << QStringList() << both;
    QTest::newRow("report refused in folder")
        << Obstacle::ReportNameIsFolder << Obstacle::None << true << true << blocked << both;
    QTest::newRow("both unwritable") << Obstacle::ParentIsFile << Obstacle::ParentIsFile << false << true
                                     << QStringList() << QStringList();
    // The text file is whole, the report is not there at all, and no temporary file is left.
    QTest::newRow("report refused in fallback")
        << Obstacle::ParentIsFile << Obstacle::ReportNameIsFolder << false << true << QStringList() << both;
}

void TestReport::folders()
{
    QFETCH(Obstacle, inFolder);
    QFETCH(Obstacle, inFallback);
    QFETCH(bool, ok);
    QFETCH(bool, usedFallback);
    QFETCH(QStringList, folderEntries);
    QFETCH(QStringList, fallbackEntries);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile blocker(dir.filePath(QStringLiteral("file.txt")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // Permission bits do not stop root, but a regular file in the path stops everyone.
    const auto prepare = [&](Obstacle obstacle, const QString &name) {
        switch (obstacle) {
        case Obstacle::None:
            QDir(dir.path()).mkpath(name);
            return dir.filePath(name);
        case Obstacle::Missing:
            return dir.filePath(name);
        case Obstacle::ParentIsFile:
            return dir.filePath(QStringLiteral("file.txt/") + name);
        case Obstacle::ReportNameIsFolder:
            QDir(dir.path()).mkpath(name + QStringLiteral("/r.htm"));
            return dir.filePath(name);
        }
        return QString();
    };
    const QString folder = prepare(inFolder, QStringLiteral("program"));
    const QString fallback = prepare(inFallback, QStringLiteral("data/zandrel"));

    UniqueList links;
    links.addUnique(QStringLiteral("www.a.com"));
    QStringList events;
    RecordingYield yield(events);
    ReportWriter writer(yield, {});
    const ReportResult result
        = writer.SaveResults(QStringLiteral("r"), {&links, {}, {}, {}, true}, folder, fallback);

    QCOMPARE(result.ok, ok);
    QCOMPARE(result.usedFallback, usedFallback);
    QCOMPARE(entriesOf(folder), folderEntries);
    QCOMPARE(entriesOf(fallback), fallbackEntries);
    if (ok) {
        QVERIFY(result.error.isEmpty());
        QCOMPARE(result.folder, usedFallback ? fallback : folder);
        QCOMPARE(readAll(result.textPath), QByteArray("www.a.com\r\n"));
        QVERIFY(readAll(result.htmlPath)
                    .endsWith("<p align='center'><b>Search Details</b></p></body></html>\r\n"));
        QCOMPARE(events.size(), 3);
    } else {
        QVERIFY2(result.error.startsWith(QStringLiteral("Could not write ")), qPrintable(result.error));
        QVERIFY(result.htmlPath.isEmpty());
    }
}

void TestReport::stamp_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("stamp");

    const QDateTime evening(QDate(2000, 12, 31), QTime(22, 15, 7));
    const QDateTime morning(QDate(2001, 1, 2), QTime(9, 5, 3));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
    QTest::newRow("en_US evening") << us << evening << QStringLiteral("12-31-00_10_15_07_PM");
    QTest::newRow("en_US morning") << us << morning << QStringLiteral("1-2-01_9_05_03_AM");
    QTest::newRow("de_DE evening") << de << evening << QStringLiteral("31.12.00_22_15_07");
    QTest::newRow("en_GB morning") << gb << morning << QStringLiteral("02-01-2001_09_05_03");
}

void TestReport::stamp()
{
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, stamp);

    const QString made = reportStamp(when, locale);
    QCOMPARE(made, stamp);
    QVERIFY(!made.contains(u'/') && !made.contains(u':') && !made.contains(u' '));
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
