// The report's files, their names and where they go, and the status-bar line of a lookup.
#include "Tables.h"
#include "report/Report.h"
#include "report/VerdictLine.h"
#include "verdict/Registrable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

QStringList events; // the captions of the last report, in order

LookupRecord record(const QString &name, VerdictKind kind, const QString &why = {}, bool judged = true,
                    const QString &server = u"whois.example:43"_s)
{
    LookupRecord made;
    made.name = name;
    made.judged = judged;
    made.verdict = Verdict::fromReasonText(kind, why);
    made.server = server;
    return made;
}

QString entriesOf(const QString &folder)
{
    return QDir(folder)
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        .join(u'|');
}

// Writes report "r" listing `hosts` as existing domains; writes to a path holding `failing` fail.
Result<ReportFiles> save(const QString &hosts, ReportInput input, const QString &folder,
                         const QString &fallback, const QString &failing = {})
{
    input.links = hosts.split(u'|', Qt::SkipEmptyParts);
    events.clear();
    ReportWriter writer([](const QString &caption) { events << caption; });
    writer.setWriteBytes([failing](QIODevice &device, const QByteArray &bytes) -> qint64 {
        const bool fail
            = !failing.isEmpty() && static_cast<QFileDevice &>(device).fileName().contains(failing);
        return fail ? device.write(bytes.left(bytes.size() / 2)) : device.write(bytes);
    });
    return writer.SaveResults(u"r"_s, input, folder, fallback);
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void writesExpectedFiles_data()
    {
        QTest::addColumn<QString>("links");
        QTest::addColumn<ReportInput>("input");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QByteArray>("csv");

        const QString data = QStringLiteral(ZANDREL_TEST_DATA "/report/");
        const QString step = u"Building HTML for existing domain %1 of 2|"_s;
        // Records whose cells need quoting or would start a formula; local time in, UTC out.
        LookupRecord quoted = record(u"a,\"b\"\n.com"_s, VerdictKind::Unknown,
                                     reasonWords(UnknownReason::RateLimited), true, {});
        LookupRecord formula = record(u"=caf\u00e9.de"_s, VerdictKind::Unknown,
                                      reasonWords(UnknownReason::RateLimited), true, u"@\u00e9,y"_s);
        quoted.checkedAt = formula.checkedAt
            = QDateTime(QDate(2026, 12, 6), QTime(22, 40, 5), Qt::OffsetFromUTC, 3600);
        const QByteArray header
            = "domain,verdict,reason,server,checked_at,premium,stage,drops,registrar,created,"
              "expires,status,evidence\r\n";
        QTest::newRow("small") << "www.alpha.com|www.beta-2.org|www.gamma.net"
                               << ReportInput {{record(u"myshop.com"_s, VerdictKind::Free), quoted, formula,
                                                record(u"yourshop.com"_s, VerdictKind::Free)},
                                               {},
                                               words("my|your"),
                                               words("shop")}
                               << (step.arg(0) + step.arg(1) + step.arg(2)).split(u'|', Qt::SkipEmptyParts)
                               << readAll(data + u"small.txt"_s) << readAll(data + u"small.htm"_s)
                               << header
                + "myshop.com,free,,whois.example:43,,,,,,,,,\r\n"
                  "\"a,\"\"b\"\"\n.com\",unknown,rate-limited,,2026-12-06T21:40:05Z,,,,,,,,\r\n"
                  "'=caf\u00e9.de,unknown,rate-limited,\"'@\u00e9,y\",2026-12-06T21:40:05Z,,,,,,,,\r\n"
                  "yourshop.com,free,,whois.example:43,,,,,,,,,\r\n";
        // What the answers said beyond free or taken: sections of their own, dropping names earliest
        // first, and the expiry date beside the existing domain its answer dated.
        const auto detailed = [](const char *name, VerdictKind kind, Stage stage, const QDate &drops,
                                 const QString &why = {}) {
            LookupRecord made = record(asText(name), kind, why);
            made.details.stage = stage;
            made.details.drops = drops;
            made.details.premium = kind == VerdictKind::Free;
            return made;
        };
        LookupRecord dated = detailed("dated.com", VerdictKind::Taken, Stage::Registered, {});
        dated.details.expires = QDate(2027, 3, 1);
        dated.addedLinks = QStringList {u"www.dated.com"_s};
        QTest::newRow("beyond free or taken")
            << "www.dated.com"
            << ReportInput {{detailed("gold.games", VerdictKind::Free, Stage::None, {}),
                             detailed("late.org", VerdictKind::Taken, Stage::PendingDelete,
                                      QDate(2027, 2, 1)),
                             detailed("gpt.domains", VerdictKind::Reserved, Stage::None, {},
                                      u"blocked by the registry"_s),
                             detailed("soon.org", VerdictKind::Taken, Stage::Redemption, QDate(2027, 1, 5)),
                             dated},
                            {},
                            {},
                            {}}
            << QStringList {u"Building HTML for existing domain 0 of 0"_s}
            << QByteArray("gold.games\r\nwww.dated.com\r\n\r\nPremium:\r\ngold.games\r\n\r\nReserved:\r\ngpt."
                          "domains\tblocked by "
                          "the registry\r\n\r\nDropping soon:\r\nsoon.org\tin redemption, may drop about "
                          "2027-01-05\r\nlate.org\tpending delete, may drop about 2027-02-01\r\n")
            << readAll(data + u"beyond.htm"_s)
            << header
                + "gold.games,free,,whois.example:43,,true,,,,,,,\r\n"
                  "late.org,taken,,whois.example:43,,,pending-delete,2027-02-01,,,,,\r\n"
                  "gpt.domains,reserved,blocked by the registry,whois.example:43,,,,,,,,,\r\n"
                  "soon.org,taken,,whois.example:43,,,redemption,2027-01-05,,,,,\r\n"
                  "dated.com,taken,,whois.example:43,,,registered,,,,2027-03-01,,\r\n";
        QTest::newRow("empty lists") << "" << ReportInput() << QStringList() << QByteArray()
                                     << readAll(data + u"empty.htm"_s) << header;
        // The CSV and the HTML tell the same verdicts: a name asked again counts once, with its last
        // verdict, in both. A name nobody can register, or no domain name, is neither available nor
        // unanswered.
        const auto only = [&](const char *tag, const QList<LookupRecord> &records, const char *htm,
                              const QByteArray &rows, const QByteArray &text = {}) {
            QTest::newRow(tag) << "" << ReportInput {records, {}, {}, {}} << QStringList() << text
                               << readAll(data + QString::fromUtf8(htm)) << header + rows;
        };
        const QString noAnswer = reasonWords(UnknownReason::NoAnswer);
        only("searched unanswered again",
             {record(u"a.com"_s, VerdictKind::Unknown, noAnswer), record(u"b.com"_s, VerdictKind::Taken),
              record(u"c.com"_s, VerdictKind::Unknown, noAnswer), record(u"A.com"_s, VerdictKind::Free)},
             "asked-again.htm",
             "A.com,free,,whois.example:43,,,,,,,,,\r\nb.com,taken,,whois.example:43,,,,,,,,,\r\n"
             "c.com,unknown,no answer,whois.example:43,,,,,,,,,\r\n",
             "A.com\r\n");
        only("free, then not answered",
             {record(u"a.com"_s, VerdictKind::Free),
              record(u"a.com"_s, VerdictKind::Unknown, reasonWords(UnknownReason::Unrecognised))},
             "free-then-unanswered.htm", "a.com,unknown,unrecognised,whois.example:43,,,,,,,,,\r\n");
        only("not registrable",
             {record(u"a-.com"_s, VerdictKind::NotRegistrable, unregistrable::HyphenAtEnd)}, "empty.htm",
             "a-.com,not-registrable,label starts or ends with a hyphen,whois.example:43,,,,,,,,,\r\n");
        only("not a domain name", {record(u"Registrar X"_s, VerdictKind::Unknown, {}, false)}, "empty.htm",
             "Registrar X,,,whois.example:43,,,,,,,,,\r\n");
    }

    void writesExpectedFiles()
    {
        QFETCH(QString, links);
        QFETCH(ReportInput, input);
        QTemporaryDir dir;
        const QString old = dir.filePath(u"r.htm"_s); // another report's, never replaced
        QVERIFY(writeAll(old, QByteArray(100, 'x')));
        const Result<ReportFiles> saved = save(links, input, dir.path(), dir.filePath(u"fb"_s));
        QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().text));
        const ReportFiles &result = *saved;
        QVERIFY(!result.usedFallback);
        QCOMPARE(readAll(old), QByteArray(100, 'x'));
        QVERIFY(result.htmlPath.endsWith(u"/r-2.htm"_s) && result.textPath.endsWith(u"/r-2.txt"_s));
        QTEST(events, "events");
        QTEST(readAll(result.textPath), "text");
        QTEST(readAll(result.htmlPath), "html");
        QTEST(readAll(result.csvPath), "csv");
    }

    void escapesLinks()
    {
        // Markup in a term, an available name, an unanswered name and an existing host. An available
        // name carries its own TLD; the unanswered get their own section.
        const QString existing = u"www.e.com'><script>"_s;
        QTemporaryDir dir;
        const Result<ReportFiles> result
            = save(existing,
                   {{record(u"x'y<&.org"_s, VerdictKind::Free),
                     record(u"b<i>.org"_s, VerdictKind::Unknown, reasonWords(UnknownReason::RateLimited))},
                    {},
                    words("a<b&c'd|big caf\u00e9"),
                    {}},
                   dir.path(), {});
        const QString html = QString::fromUtf8(readAll(result->htmlPath));
        for (const QString &piece :
             words("q=a%3Cb%26c%27d&kl=XX&stype=stext='>a&lt;b&amp;c&#39;d\r\n|"
                   "query=a%3Cb%26c%27d'>a&lt;b&amp;c&#39;d\r\n|"
                   "?MT=big%20caf%C3%A9&SM=MC&DV=0&LG=any&DC=10&DE=2'>big caf\u00e9\r\n|"
                   "networksolutions.com/'>http://www.x&#39;y&lt;&amp;.org\r\n|"
                   "</table>\r\n<p align='center'><b>Not Answered</b></p>|"
                   "<tr><td>b&lt;i&gt;.org</td><td>rate-limited</td></tr>\r\n</table>|"
                   "href='http://www.e.com&#39;&gt;&lt;script&gt;'>"))
            QVERIFY2(html.contains(piece), qPrintable(piece));
        QVERIFY(!html.contains(u"<script"_s));
        // Control characters and bidirectional overrides and isolates show as replacement characters.
        QCOMPARE(escapeHtml(u"a\u202Eb\u2066c\u2069d\u202Ae\u0000f\tg\x1Fh\u2067i"_s),
                 u"a\uFFFDb\uFFFDc\uFFFDd\uFFFDe\uFFFDf\uFFFDg\uFFFDh\uFFFDi"_s);
        QCOMPARE(readAll(result->textPath), "x'y<&.org\r\n" + existing.toUtf8() + "\r\n"); // plain text
    }

    void fallsBack_data()
    {
        // Permission bits do not stop root, but a file where a folder should be stops everyone.
        QTest::addColumn<QString>("blockers"); // made first: "x/" a folder, "x" a file, "x>y" a link
        QTest::addColumn<QString>("failing"); // writes to paths holding this fail halfway
        QTest::addColumn<QString>("saved"); // the folder the report is in; empty: none
        QTest::addColumn<QString>("entries"); // of the folder, then of the fallback

        textRow("folder unwritable", "p", "", "fb", " / r.csv|r.htm|r.txt");
        textRow("both unwritable", "p|fb", "", "", " / ");
        // Every file of the report takes the first base name free for all of them; links count.
        textRow("names taken", "p/r.htm/|p/r-2.txt|p/r-3.csv>nowhere|p/r-4.htm", "", "p",
                "r-2.txt|r-3.csv|r-4.htm|r-5.csv|r-5.htm|r-5.txt|r.htm / ");
        // A failed write (a full disk) is no report: nothing is left of it where it failed, and the
        // lists go together. The lists stay when only the report fails in the fallback.
        textRow("htm fails in folder", "p/", "/p/r.htm", "fb", " / r.csv|r.htm|r.txt");
        textRow("csv fails in folder", "p/", "/p/r.csv", "fb", " / r.csv|r.htm|r.txt");
        textRow("write fails everywhere", "p/", ".htm", "", " / r.csv|r.txt");
    }

    void fallsBack()
    {
        QFETCH(QString, blockers);
        QTemporaryDir dir;
        QFETCH(QString, failing);
        for (const QString &path : blockers.split(u'|')) {
            QFile file(dir.filePath(path.section(u'>', 0, 0)));
            if (path.contains(u'>'))
                QVERIFY(QFile::link(path.section(u'>', 1), file.fileName()));
            else
                QVERIFY(path.endsWith(u'/') ? QDir(dir.path()).mkpath(path)
                                            : file.open(QIODevice::WriteOnly));
        }
        const QString folder = dir.filePath(u"p"_s);
        const Result<ReportFiles> result = save(u"www.a.com"_s, {}, folder, dir.filePath(u"fb"_s), failing);
        QFETCH(QString, saved);
        QCOMPARE(result.ok(), !saved.isEmpty());
        QVERIFY(result ? result->usedFallback == (saved != u"p") && result->folder == dir.filePath(saved)
                       : !result.error().text.isEmpty());
        QTEST(entriesOf(folder) + u" / "_s + entriesOf(dir.filePath(u"fb"_s)), "entries");
    }

    // The stamp in a report's name is the same in every locale, 12-hour with AM or PM.
    void stamp()
    {
        const QLocale before;
        for (const char *locale : {"C", "ar_EG"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            const QString midnight = reportStamp(QDateTime(QDate(2000, 12, 31), QTime(0, 5, 9)));
            const QString morning = reportStamp(QDateTime(QDate(2000, 12, 31), QTime(9, 0, 0)));
            QLocale::setDefault(before);
            QCOMPARE(midnight, u"12-31-2000_12_05_09_AM"_s);
            QCOMPARE(morning, u"12-31-2000_09_00_00_AM"_s);
        }
    }

    // The status-bar line of a single lookup.
    void verdictLine_data()
    {
        QTest::addColumn<LookupRecord>("record");
        QTest::addColumn<QString>("line");
        const auto row = [](const char *tag, const char *name, VerdictKind kind, const char *server,
                            const char *line, const QString &why = {}, bool judged = true) {
            QTest::newRow(tag) << record(asText(name), kind, why, judged, asText(server)) << asText(line);
        };
        using enum VerdictKind;
        row("taken", "myshop.com", Taken, "whois.verisign-grs.com:43",
            "myshop.com: taken (whois.verisign-grs.com)");
        row("free, other port", "a.net", Free, "127.0.0.1:4343", "a.net: free (127.0.0.1:4343)");
        row("free over RDAP", "a.app", Free, "https://pubapi.registry.google/rdap/",
            "a.app: free (pubapi.registry.google)");
        row("no server", "a.zz", Taken, "", "a.zz: taken");
        row("not registrable", "-bad.com", NotRegistrable, "",
            "-bad.com: not registrable (label starts or ends with a hyphen)", unregistrable::HyphenAtEnd);
        row("unknown", "x.com", Unknown, "whois.verisign-grs.com:43", "x.com: unknown, no answer",
            reasonWords(UnknownReason::NoAnswer));
        row("unknown without a reason", "x.com", Unknown, "", "x.com: unknown");
        row("not a domain name", "NETWORK SOLUTIONS", Unknown, "whois.verisign-grs.com:43", "", {}, false);
        row("reserved", "gpt.domains", Reserved, "whois.donuts.co:43",
            "gpt.domains: reserved (blocked by the registry)", u"blocked by the registry"_s);
        // What the answer said beyond the verdict.
        const auto detailed
            = [](const char *tag, VerdictKind kind, const VerdictDetails &details, const char *line) {
                  LookupRecord made = record(u"myshop.com"_s, kind, {}, true, u"whois.verisign-grs.com:43"_s);
                  made.details = details;
                  QTest::newRow(tag) << made << asText(line);
              };
        const QDate expires(2027, 3, 1), drops(2027, 1, 5);
        const auto said
            = [](Stage stage, const QDate &dropsOn, const QDate &expiresOn, bool premium = false) {
                  VerdictDetails details;
                  details.stage = stage;
                  details.drops = dropsOn;
                  details.expires = expiresOn;
                  details.premium = premium;
                  return details;
              };
        detailed("expiry date", Taken, said(Stage::None, {}, expires),
                 "myshop.com: taken, expires 2027-03-01 (whois.verisign-grs.com)");
        detailed("expired", Taken, said(Stage::Expired, {}, QDate(2026, 11, 30)),
                 "myshop.com: taken, expired 2026-11-30 (whois.verisign-grs.com)");
        detailed("in redemption", Taken, said(Stage::Redemption, drops, expires),
                 "myshop.com: taken, in redemption, may drop about 2027-01-05 (whois.verisign-grs.com)");
        detailed("pending delete", Taken, said(Stage::PendingDelete, drops, {}),
                 "myshop.com: taken, pending delete, may drop about 2027-01-05 (whois.verisign-grs.com)");
        detailed("premium", Free, said(Stage::None, {}, {}, true),
                 "myshop.com: free, premium (whois.verisign-grs.com)");
    }
    void verdictLine()
    {
        QFETCH(LookupRecord, record);
        QTEST(zandrel::verdictLine(record), "line");
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
