// The combination search from click to report, against a scripted WHOIS server.
#include "ScriptedHttpServer.h"
#include "WhoRig.h"
#include "combine/CombinationDriver.h"
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

// Free, taken or unrecognised by the name's first letter.
ScriptedWhoisServer::Reply registryReply(const QByteArray &query)
{
    const QByteArray name = query.mid(3, query.size() - 5).toUpper();
    if (name.startsWith("Y"))
        return {"No match for \"" + name + "\".\r\n"};
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

private slots:
    void searchesEveryPairingPrefixMajor()
    {
        WhoRig rig;
        prepare(rig, "my\r\nyour\r\n", "shop\r\nstore\r\n");
        rig.server.setReplyFor([](const QByteArray &query) {
            const QByteArray name = query.mid(3, query.size() - 5).toUpper();
            if (name.startsWith("YOUR"))
                return ScriptedWhoisServer::Reply {"No match for \"" + name + "\".\r\n"};
            return ScriptedWhoisServer::Reply {"   Domain Name: " + name
                                               + "\r\n   Registrar WHOIS Server: whois.r.com\r\n"};
        });
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

        // The last term searched is what the next start shows.
        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SearchTerm.text(), u"yourstore"_s);

        // The report went next to the program, named by the clock, and the browser was asked to open it.
        const QStringList reports = filesIn(rig.programDir.path(), u"*.htm"_s);
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first(), u"12-31-2000_10_15_00_PM.htm"_s);
        QCOMPARE(rig.launcher.opened, QStringList {QDir(rig.programDir.path()).filePath(reports.first())});
    }

    // Names under several TLDs, each asked of its own registry and judged by its rules.
    void eachNameJudgedByItsOwnRegistry()
    {
        WhoRig rig;
        ScriptedWhoisServer org;
        const RegistryRules orgRules = *ServerTable::builtIn().row(u"org"_s);
        const auto orgPhrase = [](QString phrase, const QByteArray &name) {
            return phrase.replace(u"{name}"_s, QString::fromLatin1(name)).toUtf8() + "\r\n";
        };
        const QString zandrel = u"Zandrel"_s;
        rig.settings.setValue(zandrel, u"Servers"_s, u"com"_s, rig.server.address());
        rig.settings.setValue(zandrel, u"Servers"_s, u"org"_s, org.address());
        rig.serverOption.clear();
        rig.start();
        prepare(rig, "my\r\nyour\r\n", "shop.com\r\nshop.org\r\nshop.net.com\r\n");
        rig.state().ComSuffix = false;
        // The .com registry says "No match" for anything it does not hold.
        rig.server.setReplyFor([](const QByteArray &query) {
            return ScriptedWhoisServer::Reply {"No match for \"" + query.mid(3).trimmed().toUpper()
                                               + "\".\r\n"};
        });
        org.setReplyFor([&](const QByteArray &query) {
            const QByteArray name = query.trimmed();
            if (org.queries().size() == 1)
                return ScriptedWhoisServer::Reply {orgPhrase(orgRules.rateLimited.first(), name)};
            if (org.queries().size() == 2)
                return ScriptedWhoisServer::Reply {"No match for \"" + name.toUpper() + "\".\r\n"};
            return ScriptedWhoisServer::Reply {orgPhrase(orgRules.notFound.first(), name)};
        });
        // The limited server is asked again only after its wait, which the clock lets pass at once.
        QStringList notices;
        connect(rig.who.get(), &WhoController::notice, this, [&rig, &notices](const QString &text) {
            notices << text;
            rig.clock.moment = rig.clock.moment.addSecs(600);
        });
        QStringList counts;
        connect(rig.who.get(), &WhoController::countsChanged, this,
                [&counts](const QString &text) { counts << text; });
        rig.who->SearchCombinations_Click();

        QCOMPARE(rig.server.queries(),
                 (QList<QByteArray> {"DO myshop.com\r\n", "DO myshop.net.com\r\n", "DO yourshop.com\r\n",
                                     "DO yourshop.net.com\r\n"}));
        QCOMPARE(org.queries(), (QList<QByteArray> {"myshop.org\r\n", "yourshop.org\r\n"}));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(rig.state().Available.entries(), (QStringList {u"myshop.com"_s, u"yourshop.com"_s}));
        QCOMPARE(counts.last(), u"free 2 \u00b7 taken 0 \u00b7 not answered 4"_s);
        const QStringList reports = filesIn(rig.programDir.path(), u"*.htm"_s);
        QCOMPARE(reports.size(), 1);
        QFile report(QDir(rig.programDir.path()).filePath(reports.first()));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(report.readAll());
        for (const QString &piece :
             {u"'>http://www.myshop.com\r\n"_s, u"<b>Not Answered</b>"_s,
              u"<tr><td>myshop.org</td><td>rate-limited</td></tr>\r\n"_s
                  + u"<tr><td>myshop.net.com</td><td>not under a public suffix</td></tr>\r\n"_s
                  + u"<tr><td>yourshop.org</td><td>unrecognised</td></tr>\r\n"_s})
            QVERIFY2(html.contains(piece), qPrintable(piece));

        // Asked again as they are, whatever the check box says; no report.
        rig.state().ComSuffix = true;
        rig.who->mSearchUnanswered_Click();
        QCOMPARE(org.queries().mid(2), (QList<QByteArray> {"myshop.org\r\n", "yourshop.org\r\n"}));
        QCOMPARE(rig.state().Available.entries().mid(2), (QStringList {u"myshop.org"_s, u"yourshop.org"_s}));
        QCOMPARE(counts.last(), u"free 4 \u00b7 taken 0 \u00b7 not answered 2"_s);
        QCOMPARE(filesIn(rig.programDir.path(), u"*.htm"_s).size(), 1);
    }

    // A [Servers] value sends .info to an RDAP service beside the .com WHOIS server; a 429's
    // Retry-After holds that service off, and its name servers are listed like a WHOIS answer's.
    void rdapBesideWhois()
    {
        WhoRig rig;
        ScriptedHttpServer rdap;
        const QString zandrel = u"Zandrel"_s;
        rig.settings.setValue(zandrel, u"Servers"_s, u"info"_s, u"rdap:"_s + rdap.baseUrl());
        rig.settings.setValue(zandrel, u"Servers"_s, u"com"_s, rig.server.address());
        rig.serverOption.clear();
        rig.start();
        prepare(rig, "my\r\nyour\r\nour\r\n", "shop.info\r\nshop.com\r\n");
        rig.state().ComSuffix = false;
        rig.server.setReplyFor([](const QByteArray &query) {
            return ScriptedWhoisServer::Reply {"No match for \"" + query.mid(3).trimmed().toUpper()
                                               + "\".\r\n"};
        });
        rdap.setReplyFor([](const ScriptedHttpServer::Request &request) {
            if (request.path.endsWith("/myshop.info"))
                return ScriptedHttpServer::Reply {404, {}, {}};
            if (request.path.endsWith("/yourshop.info"))
                return ScriptedHttpServer::Reply {429, {}, {{"Retry-After", "120"}}};
            return ScriptedHttpServer::Reply {
                200, "{\"ldhName\":\"OURSHOP.INFO\",\"nameservers\":[{\"ldhName\":\"ns1.host.net\"}]}", {}};
        });
        QStringList notices;
        connect(rig.who.get(), &WhoController::notice, this, [&rig, &notices](const QString &text) {
            notices << text;
            rig.clock.moment = rig.clock.moment.addSecs(600);
        });
        rig.who->SearchCombinations_Click();

        QList<QByteArray> paths;
        for (const ScriptedHttpServer::Request &request : rdap.requests())
            paths << request.path;
        QCOMPARE(
            paths,
            (QList<QByteArray> {"/domain/myshop.info", "/domain/yourshop.info", "/domain/ourshop.info"}));
        QCOMPARE(rig.server.queries().size(), 3);
        QCOMPARE(rig.state().Available.entries(),
                 (QStringList {u"myshop.info"_s, u"myshop.com"_s, u"yourshop.com"_s, u"ourshop.com"_s}));
        QVERIFY(rig.state().LinkList.contains(u"www.ns1.host.net"_s));
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.first().contains(u"waiting 120 seconds"_s), qPrintable(notices.first()));
        QFile report(
            QDir(rig.programDir.path()).filePath(filesIn(rig.programDir.path(), u"*.htm"_s).value(0)));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(report.readAll().contains("<tr><td>yourshop.info</td><td>rate-limited</td></tr>"));
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
        QVERIFY(rig.state().tResponse.text().endsWith(u"Domain not found (HTTP 404).\r\n"_s));
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
        QVERIFY(reportOf(rig).isEmpty());
        QVERIFY(rig.who->canResume());
        if (cut != u"stop") {
            // The word-list files changed since: the run's own lists come back from its journal.
            rig.useWordLists("other\r\n", "other\r\n");
            if (cut == u"torn") {
                QFile journal(
                    QDir(rig.dataDir.path()).filePath(filesIn(rig.dataDir.path(), u"*.jsonl"_s).first()));
                QVERIFY(journal.open(QIODevice::Append) && journal.write("{\"type\":\"lookup\",\"ind") > 0);
            }
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

    // A run can start part way, at a combination's number, and reports each lookup it makes.
    void startsAtAGivenCombination()
    {
        WhoRig rig;
        prepare(rig, "my\r\nyour\r\n", "shop\r\nstore\r\n");
        rig.server.setReply({"Domain Name: X.COM\r\n"});
        CombinationDriver driver(rig.state(), *rig.who, rig.yield, rig.clock, u"Zandrel"_s);
        QList<qint64> indexes;
        driver.setRecorder([&indexes](const LookupRecord &record) { indexes << record.index; });
        driver.run(3);
        QCOMPARE(rig.server.queries(), (QList<QByteArray> {"DO yourshop.com\r\n", "DO yourstore.com\r\n"}));
        QCOMPARE(indexes, (QList<qint64> {3, 4}));
        QCOMPARE(rig.captions.first(), u"Searching 3 of 4"_s);
    }

    void emptyListTakesItsEditText()
    {
        WhoRig rig;
        prepare(rig, "", "shop\r\nstore\r\n");
        rig.state().Prefix.setEditText(u"best"_s);
        rig.server.setReply({"nothing\r\n"});
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries(), (QList<QByteArray> {"DO bestshop.com\r\n", "DO beststore.com\r\n"}));
        QCOMPARE(rig.state().Prefix.entries(), QStringList {u"best"_s});
    }

    // Also: a second start and a single lookup are refused while the search runs.
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
        QVERIFY(!rig.state().StopRequested);
        // The lookup under way when Stop came still completed and was harvested.
        QVERIFY(rig.state().LinkList.contains(u"www.seen2.com"_s));
        QVERIFY(filesIn(rig.programDir.path(), u"*.htm"_s).isEmpty());
        QVERIFY(rig.launcher.opened.isEmpty());
        QCOMPARE(notices.size(), 2);
        QVERIFY(!rig.who->searchRunning());
    }

    void cleaningRemovesTheRemovalText_data()
    {
        QTest::addColumn<bool>("clearEach");
        QTest::newRow("kept between lookups") << false;
        QTest::newRow("cleared after each") << true;
    }
    void cleaningRemovesTheRemovalText()
    {
        QFETCH(bool, clearEach);
        WhoRig rig;
        prepare(rig, "a\r\nb\r\n", "x\r\n");
        rig.state().ClearEachSearch = clearEach;
        rig.state().Nag.setText(u"NOTICE: Use of this data\r\nis limited.\r\n"_s);
        rig.server.setReply({"Result line\r\nnotice: use of THIS data\r\nis limited.\r\n"});
        rig.who->SearchCombinations_Click();
        const QString expected = clearEach
            ? QString()
            : QStringLiteral("\r\n\r\nax   ************************\r\n"
                             "Connected.  Waiting for data...\r\n\r\nResult line\r\n"
                             "\r\n\r\nbx   ************************\r\n"
                             "Connected.  Waiting for data...\r\n\r\nResult line\r\n");
        QCOMPARE(rig.state().tResponse.text(), expected);
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
            if (closing)
                rig.yield.requestClose();
            else
                rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {{}, 0, 0, true};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(!rig.state().StopRequested);
        QVERIFY(!rig.who->searchRunning());
        QVERIFY(rig.launcher.opened.isEmpty());
        QCOMPARE(rig.state().tResponse.text().contains(
                     u"\r\nLookup abandoned after Stop: ax was not answered.\r\n"_s),
                 !closing);
    }
};

QTEST_GUILESS_MAIN(tst_Driver)
#include "tst_driver.moc"
