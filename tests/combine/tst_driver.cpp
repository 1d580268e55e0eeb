// The combination search from click to report, against a scripted WHOIS server.
#include "ScriptedHttpServer.h"
#include "WhoRig.h"
#include "verdict/ServerTable.h"

#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {
QStringList filesIn(const QString &folder, const QString &pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Files);
}

ScriptedWhoisServer::Reply noMatch(const QByteArray &name)
{
    return {"No match for \"" + name.toUpper() + "\".\r\n"};
}

// Free, taken or unrecognised by the name's first letter.
ScriptedWhoisServer::Reply registryReply(const QByteArray &query)
{
    const QByteArray name = query.mid(3, query.size() - 5).toUpper();
    if (name.startsWith("Y"))
        return noMatch(name);
    if (name.startsWith("M"))
        return {"   Domain Name: " + name + "\r\n   Registrar WHOIS Server: whois.r.com\r\n"};
    return {"busy\r\n"};
}

// The report files a rig wrote, by extension, its server's address made plain.
QMap<QString, QByteArray> reportOf(WhoRig &rig)
{
    QMap<QString, QByteArray> files;
    const QString folder = rig.programDir.path();
    for (const QString &name : filesIn(folder, u"*.*"_s)) {
        if (name == u"p.txt" || name == u"s.txt") // the word lists
            continue;
        QFile file(QDir(folder).filePath(name));
        QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        files.insert(QFileInfo(name).suffix(), bytes.replace(rig.server.address().toUtf8(), "SERVER"));
    }
    return files;
}

const QByteArray Prefixes = "my\r\nyour\r\nzed\r\n";
const QByteArray Suffixes = "shop\r\nstore\r\n";
} // namespace

class tst_Driver : public QObject
{
    Q_OBJECT

    // Fast pauses, word lists from files.
    static void prepare(WhoRig &rig, const QByteArray &prefixes, const QByteArray &suffixes)
    {
        rig.useWordLists(prefixes, suffixes);
        rig.who->Form_Load();
        rig.who->delayTimer().setInterval(5);
    }

    // [Servers] rows beside .com's scripted server, which says "No match" to all; names taken as
    // they are; a limited server's wait passes at once, and the notices shown are collected.
    static void useServers(WhoRig &rig, QMap<QString, QString> servers, const QByteArray &prefixes,
                           const QByteArray &suffixes, QStringList &notices)
    {
        servers.insert(u"com"_s, rig.server.address());
        for (auto row = servers.cbegin(); row != servers.cend(); ++row)
            rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, row.key(), row.value());
        rig.serverOption.clear();
        rig.start();
        prepare(rig, prefixes, suffixes);
        rig.state().ComSuffix = false;
        rig.server.setReplyFor([](const QByteArray &query) { return noMatch(query.mid(3).trimmed()); });
        connect(rig.who.get(), &WhoController::notice, rig.who.get(), [&rig, &notices](const QString &text) {
            notices << text;
            rig.clock.moment = rig.clock.moment.addSecs(600);
        });
    }

private slots:
    // Pairings prefix-major, captions, verdicts, the last term kept, the report shown.
    void searchesEveryPairingPrefixMajor()
    {
        WhoRig rig;
        prepare(rig, "my\r\nyour\r\n", Suffixes);
        rig.server.setReplyFor(registryReply);
        rig.who->SearchCombinations_Click();

        QCOMPARE(rig.server.queries(),
                 (QList<QByteArray> {"DO myshop.com\r\n", "DO mystore.com\r\n", "DO yourshop.com\r\n",
                                     "DO yourstore.com\r\n"}));
        QCOMPARE(rig.captions.mid(0, 5),
                 (QStringList {u"Searching 1 of 4"_s, u"Searching 2 of 4"_s, u"Searching 3 of 4"_s,
                               u"Searching 4 of 4"_s, u"Zandrel - 4 Domains Searched"_s}));
        // The report writer's progress stays in the caption afterwards.
        QCOMPARE(rig.captions.last(), u"Building HTML for existing domain 1 of 1"_s);
        QCOMPARE(rig.state().LinkList.entries(), (QStringList {u"www.myshop.com"_s, u"www.mystore.com"_s}));
        QCOMPARE(rig.state().Available.entries(), (QStringList {u"yourshop.com"_s, u"yourstore.com"_s}));
        QCOMPARE(rig.state().tResponse.text(), QString()); // cleared after each combination

        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SearchTerm.text(), u"yourstore"_s);
        const QStringList reports = filesIn(rig.programDir.path(), u"*.htm"_s);
        QCOMPARE(reports, QStringList {u"12-31-2000_10_15_00_PM.htm"_s});
        QCOMPARE(rig.launcher.opened, QStringList {QDir(rig.programDir.path()).filePath(reports.first())});
    }

    // Names under several TLDs, each asked of its own registry and judged by its rules: .org by
    // WHOIS, .info by an RDAP service named in [Servers], where a bodiless 404 is free, a 429's
    // Retry-After holds the service off and name servers become links. The unanswered are asked
    // again as they are, whatever the check box says, with no report.
    void rdapBesideWhois()
    {
        WhoRig rig;
        ScriptedWhoisServer org;
        ScriptedHttpServer rdap;
        QStringList notices;
        useServers(rig, {{u"org"_s, org.address()}, {u"info"_s, u"rdap:"_s + rdap.baseUrl()}},
                   "my\r\nyour\r\nour\r\n", "shop.com\r\nshop.org\r\nshop.info\r\nshop.net.com\r\n", notices);
        const RegistryRules orgRules = *ServerTable::builtIn().row(u"org"_s);
        org.setReplyFor([&](const QByteArray &query) {
            const QByteArray name = query.trimmed();
            if (org.queries().size() == 2)
                return noMatch(name);
            QString phrase
                = org.queries().size() == 1 ? orgRules.rateLimited.first() : orgRules.notFound.first();
            return ScriptedWhoisServer::Reply {phrase.replace(u"{name}"_s, QString::fromLatin1(name)).toUtf8()
                                               + "\r\n"};
        });
        rdap.setReplyFor([](const ScriptedHttpServer::Request &request) {
            if (request.path.endsWith("/myshop.info"))
                return ScriptedHttpServer::Reply {404, {}, {}};
            if (request.path.endsWith("/yourshop.info"))
                return ScriptedHttpServer::Reply {429, {}, {{"Retry-After", "120"}}};
            return ScriptedHttpServer::Reply {
                200, "{\"ldhName\":\"OURSHOP.INFO\",\"nameservers\":[{\"ldhName\":\"ns1.host.net\"}]}", {}};
        });
        rig.who->SearchCombinations_Click();

        QCOMPARE(
            rig.server.queries(),
            (QList<QByteArray> {"DO myshop.com\r\n", "DO myshop.net.com\r\n", "DO yourshop.com\r\n",
                                "DO yourshop.net.com\r\n", "DO ourshop.com\r\n", "DO ourshop.net.com\r\n"}));
        QCOMPARE(org.queries(),
                 (QList<QByteArray> {"myshop.org\r\n", "yourshop.org\r\n", "ourshop.org\r\n"}));
        QList<QByteArray> paths;
        for (const ScriptedHttpServer::Request &request : rdap.requests())
            paths << request.path;
        QCOMPARE(
            paths,
            (QList<QByteArray> {"/domain/myshop.info", "/domain/yourshop.info", "/domain/ourshop.info"}));
        QCOMPARE(rig.state().Available.entries(),
                 (QStringList {u"myshop.com"_s, u"myshop.info"_s, u"yourshop.com"_s, u"ourshop.com"_s,
                               u"ourshop.org"_s}));
        QVERIFY(rig.state().LinkList.contains(u"www.ns1.host.net"_s));
        QCOMPARE(notices.size(), 2);
        QVERIFY2(notices.last().startsWith(u"Waiting 120 seconds"_s), qPrintable(notices.last()));
        QCOMPARE(rig.who->countsText(), u"free 5 \u00b7 taken 1 \u00b7 not answered 6"_s);
        const QByteArray html = reportOf(rig).value(u"htm"_s);
        for (const QByteArray &piece :
             {QByteArray("'>http://www.myshop.com\r\n"), QByteArray("<b>Not Answered</b>"),
              QByteArray("<tr><td>myshop.org</td><td>rate-limited</td></tr>\r\n"
                         "<tr><td>myshop.net.com</td><td>not under a public suffix</td></tr>\r\n"
                         "<tr><td>yourshop.org</td><td>unrecognised</td></tr>\r\n"
                         "<tr><td>yourshop.info</td><td>rate-limited</td></tr>")})
            QVERIFY2(html.contains(piece), piece.constData());

        rig.state().ComSuffix = true;
        rig.who->mSearchUnanswered_Click();
        QCOMPARE(org.queries().mid(3), (QList<QByteArray> {"myshop.org\r\n", "yourshop.org\r\n"}));
        QCOMPARE(rig.state().Available.entries().mid(5), (QStringList {u"myshop.org"_s, u"yourshop.org"_s}));
        QCOMPARE(rig.who->countsText(), u"free 7 \u00b7 taken 1 \u00b7 not answered 4"_s);
        QCOMPARE(filesIn(rig.programDir.path(), u"*.htm"_s).size(), 1);
    }

    // With --protocol rdap every name goes to the service IANA's bootstrap names, fetched first.
    void rdapForEveryNameThroughTheBootstrap()
    {
        WhoRig rig;
        ScriptedHttpServer http;
        const QByteArray bootstrap = "{\"publication\":\"2099-01-01T00:00:00Z\",\"services\":[[[\"com\"],[\""
            + http.baseUrl().toUtf8() + "rdap/\"]]]}";
        http.setReplyFor([&bootstrap](const ScriptedHttpServer::Request &request) {
            return request.path == "/dns.json" ? ScriptedHttpServer::Reply {200, bootstrap, {}}
                                               : ScriptedHttpServer::Reply {404, {}, {}};
        });
        rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, u"rdap-bootstrap"_s,
                              http.baseUrl() + u"dns.json"_s);
        rig.serverOption.clear();
        rig.protocol = Protocol::Rdap;
        rig.start();
        rig.state().SearchTerm.setText(u"example"_s);
        QVERIFY(rig.lookUp());
        QCOMPARE(http.requests().size(), 2);
        QCOMPARE(http.requests().last().path, QByteArray("/rdap/domain/example.com"));
        QCOMPARE(rig.state().Available.entries(), QStringList {u"example.com"_s});
        QVERIFY(rig.server.queries().isEmpty());
    }

    // A run cut off after k combinations continues at k+1 and ends with the report an
    // uninterrupted run writes.
    void resumesWhereItStopped_data()
    {
        QTest::addColumn<QString>("cut"); // how the first part ended
        QTest::addColumn<int>("k");
        QTest::newRow("stopped") << u"stop"_s << 2;
        QTest::newRow("killed, program started again") << u"kill"_s << 3;
        QTest::newRow("killed while writing a line") << u"torn"_s << 1;
    }
    void resumesWhereItStopped()
    {
        QFETCH(QString, cut);
        QFETCH(int, k);
        WhoRig whole;
        prepare(whole, Prefixes, Suffixes);
        whole.state().ClearEachSearch = false;
        whole.server.setReplyFor(registryReply);
        whole.who->SearchCombinations_Click();
        const QMap<QString, QByteArray> expected = reportOf(whole);
        QCOMPARE(expected.keys(), (QStringList {u"csv"_s, u"htm"_s, u"txt"_s}));
        QVERIFY(expected.value(u"htm"_s).contains("Not Answered"));

        WhoRig rig;
        prepare(rig, Prefixes, Suffixes);
        rig.state().ClearEachSearch = false;
        rig.server.setReplyFor([&rig, k](const QByteArray &query) {
            if (rig.server.queries().size() == k)
                rig.who->cbStopRunning_Click();
            return registryReply(query);
        });
        rig.who->SearchCombinations_Click();
        QVERIFY(reportOf(rig).isEmpty() && rig.who->canResume());
        if (cut != u"stop") {
            // The word-list files changed since: the run's own lists come back from its journal.
            rig.useWordLists("other\r\n", "other\r\n");
            QFile journal(
                QDir(rig.dataDir.path()).filePath(filesIn(rig.dataDir.path(), u"*.jsonl"_s).first()));
            if (cut == u"torn")
                QVERIFY(journal.open(QIODevice::Append) && journal.write("{\"type\":\"lookup\",\"ind") > 0);
            journal.close();
            rig.start();
            QSignalSpy notices(rig.who.get(), &WhoController::notice);
            rig.who->Form_Load();
            rig.who->delayTimer().setInterval(5);
            QCOMPARE(notices.size(), 1);
            QVERIFY(notices.first().first().toString().contains(u"Unfinished search (%1 of 6)"_s.arg(k)));
        }
        rig.server.setReplyFor(registryReply);
        rig.captions.clear();
        rig.who->mResumeSearch_Click();
        QCOMPARE(rig.captions.first(), u"Searching %1 of 6"_s.arg(k + 1));
        QCOMPARE(rig.server.queries(), whole.server.queries());
        QVERIFY(!rig.state().ClearEachSearch);
        QCOMPARE(reportOf(rig), expected);
        QCOMPARE(rig.who->countsText(), whole.who->countsText());
        QVERIFY(!rig.who->canResume());
        const JournalContents journal = readJournal(rig.who->runLog().journalPath());
        QVERIFY(journal.ok() && journal.finished && journal.records.size() == 6);
    }

    // A journal that cannot be resumed is named, kept, and the program starts as usual.
    void unreadableJournalAtStart()
    {
        WhoRig rig;
        QFile journal(QDir(rig.dataDir.path()).filePath(u"run-20001231-221500.jsonl"_s));
        QVERIFY(journal.open(QIODevice::WriteOnly) && journal.write("{\"type\":\"header\",\"version\":9}\n"));
        journal.close();
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->Form_Load();
        QCOMPARE(notices.size(), 1);
        QVERIFY(notices.first().first().toString().startsWith(
            u"Cannot resume the last search: The journal was"_s));
        QVERIFY(!rig.who->canResume() && journal.exists());
    }

    // An empty list takes its edit text; with the box kept, each answer follows the last, the
    // removal text taken out whatever its case.
    void emptyListAndRemovalText()
    {
        WhoRig rig;
        prepare(rig, "", "x\r\ny\r\n");
        rig.state().Prefix.setEditText(u"a"_s);
        rig.state().ClearEachSearch = false;
        rig.state().Nag.setText(u"NOTICE: Use of this data\r\nis limited.\r\n"_s);
        rig.server.setReply({"Result line\r\nnotice: use of THIS data\r\nis limited.\r\n"});
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries(), (QList<QByteArray> {"DO ax.com\r\n", "DO ay.com\r\n"}));
        QCOMPARE(rig.state().Prefix.entries(), QStringList {u"a"_s});
        QCOMPARE(rig.state().tResponse.text(),
                 QStringLiteral("\r\n\r\nax   ************************\r\n"
                                "Connected.  Waiting for data...\r\n\r\nResult line\r\n"
                                "\r\n\r\nay   ************************\r\n"
                                "Connected.  Waiting for data...\r\n\r\nResult line\r\n"));
    }

    // Stop during the second of four ends the run after it, unreported; a second start and a
    // single lookup are refused while the search runs.
    void stopDuringTheSecondOfFour()
    {
        WhoRig rig;
        prepare(rig, "a\r\nb\r\n", "x\r\ny\r\n");
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.server.setReplyFor([&rig](const QByteArray &) {
            if (rig.server.queries().size() == 2) {
                rig.who->SearchCombinations_Click();
                rig.who->bLookUp_Click();
                rig.who->cbStopRunning_Click();
            }
            return ScriptedWhoisServer::Reply {
                "Domain Name: SEEN" + QByteArray::number(rig.server.queries().size()) + ".COM\r\n"};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 2);
        QCOMPARE(rig.captions.last(), u"Searching 2 of 4"_s);
        QVERIFY(!rig.state().StopRequested && !rig.who->searchRunning());
        // The lookup under way when Stop came still completed and was harvested.
        QVERIFY(rig.state().LinkList.contains(u"www.seen2.com"_s));
        QVERIFY(filesIn(rig.programDir.path(), u"*.htm"_s).isEmpty() && rig.launcher.opened.isEmpty());
        QCOMPARE(notices.size(), 2);
    }

    // A Stop pressed while no search runs ends the next one after its first lookup; the total is
    // counted past 16 bits.
    void earlierStopAndAWideTotal()
    {
        WhoRig rig;
        QByteArray words;
        for (int i = 0; i < 200; ++i)
            words += "w" + QByteArray::number(i) + "\r\n";
        prepare(rig, words, words);
        rig.server.setReply({"ok\r\n"});
        rig.who->cbStopRunning_Click();
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(!rig.state().StopRequested);
        QCOMPARE(rig.captions, QStringList {u"Searching 1 of 40000"_s});
    }

    // A server that never answers: Stop, or closing the program, still ends the run.
    void waitsEndOnStopAndOnClose_data()
    {
        QTest::addColumn<bool>("closing");
        QTest::newRow("stop") << false;
        QTest::newRow("close") << true;
    }
    void waitsEndOnStopAndOnClose()
    {
        QFETCH(bool, closing);
        WhoRig rig;
        prepare(rig, "a\r\nb\r\n", "x\r\n");
        LookupLimits limits = rig.who->lookup().limits();
        limits.idleMs = limits.totalMs = 60'000; // only Stop's grace gives the lookup up
        rig.who->lookup().setLimits(limits);
        rig.server.setReplyFor([&rig, closing](const QByteArray &) {
            closing ? rig.yield.requestClose() : rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {{}, 0, 0, true};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(!rig.state().StopRequested && !rig.who->searchRunning() && rig.launcher.opened.isEmpty());
        QCOMPARE(rig.state().tResponse.text().contains(
                     u"\r\nLookup abandoned after Stop: ax was not answered.\r\n"_s),
                 !closing);
    }
};

QTEST_GUILESS_MAIN(tst_Driver)
#include "tst_driver.moc"
