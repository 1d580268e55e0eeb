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
    for (const QString &name : filesIn(rig.programDir.path(), u"*.*"_s)) {
        QFile file(rig.programDir.filePath(name));
        if (name != u"p.txt" && name != u"s.txt" && file.open(QIODevice::ReadOnly)) // not the word lists
            files.insert(QFileInfo(name).suffix(),
                         file.readAll().replace(rig.server.address().toUtf8(), "SERVER"));
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
        rig.who->session().request().pauseMs = 5;
    }

private slots:
    // Names under several TLDs, each asked of its own registry and judged by its rules: .org by
    // WHOIS, .info by an RDAP service named in [Servers], where a bodiless 404 is free, a 429's
    // Retry-After holds the service off and name servers become links. The unanswered are asked
    // again as they are, whatever the check box says, with no report. Then --protocol rdap.
    void rdapBesideWhois()
    {
        WhoRig rig;
        ScriptedWhoisServer org;
        ScriptedHttpServer rdap;
        rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, u"org"_s, org.address());
        rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, u"info"_s, u"rdap:"_s + rdap.baseUrl());
        rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, u"com"_s, rig.server.address());
        rig.serverOption.clear();
        rig.start();
        prepare(rig, "my\r\nyour\r\nour\r\n", "shop.com\r\nshop.org\r\nshop.info\r\nshop.net.com\r\n");
        rig.state().ComSuffix = false; // names taken as they are
        rig.server.setReplyFor([](const QByteArray &query) { return noMatch(query.mid(3).trimmed()); });
        QStringList notices; // a limited server's wait passes at once, within the lookups' own limits
        rig.who->session().router().limits()
            = {.connectWaitMs = 900'000, .idleMs = 900'000, .totalMs = 900'000};
        const auto told = [&rig, &notices](const QString &text) {
            notices << text;
            rig.clock.advance(600'000);
        };
        connect(rig.who.get(), &WhoController::notice, rig.who.get(), told);
        connect(rig.who.get(), &WhoController::alert, rig.who.get(),
                [told](const Alert &a) { told(a.text); });
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
        QVERIFY(rig.searchCombinations());

        QCOMPARE(
            rig.server.queries(),
            (QList<QByteArray> {"DO myshop.com\r\n", "DO myshop.net.com\r\n", "DO yourshop.com\r\n",
                                "DO yourshop.net.com\r\n", "DO ourshop.com\r\n", "DO ourshop.net.com\r\n"}));
        QCOMPARE(org.queries(),
                 (QList<QByteArray> {"myshop.org\r\n", "yourshop.org\r\n", "ourshop.org\r\n"}));
        QCOMPARE(rdap.requests().size(), 3); // each asked once, by the path its answer is scripted for
        QCOMPARE(rig.state().Available.entries(),
                 (QStringList {u"myshop.com"_s, u"myshop.info"_s, u"yourshop.com"_s, u"ourshop.com"_s,
                               u"ourshop.org"_s}));
        QVERIFY(rig.state().LinkList.contains(u"www.ns1.host.net"_s));
        QCOMPARE(notices.size(), 2);
        QVERIFY2(notices.last().startsWith(u"Waiting 120 seconds"_s), qPrintable(notices.last()));
        // Three unknown; the three names nobody can register were answered.
        QCOMPARE(rig.who->countsText(), u"free 5 \u00b7 taken 1 \u00b7 not answered 3"_s);
        const QByteArray html = reportOf(rig).value(u"htm"_s);
        for (const QByteArray &piece :
             {QByteArray("'>http://www.myshop.com\r\n"), QByteArray("<b>Not Answered</b>"),
              QByteArray("<tr><td>myshop.org</td><td>rate-limited</td></tr>\r\n"
                         "<tr><td>yourshop.org</td><td>unrecognised</td></tr>\r\n"
                         "<tr><td>yourshop.info</td><td>rate-limited</td></tr>")})
            QVERIFY2(html.contains(piece), piece.constData());
        QVERIFY(!html.contains("myshop.net.com</td><td>")); // answered, though nobody can register it

        rig.state().ComSuffix = true;
        QVERIFY(rig.runToEnd([&] { rig.who->mSearchUnanswered_Click(); }));
        QCOMPARE(org.queries().mid(3), (QList<QByteArray> {"myshop.org\r\n", "yourshop.org\r\n"}));
        QCOMPARE(rig.state().Available.entries().mid(5), (QStringList {u"myshop.org"_s, u"yourshop.org"_s}));
        QCOMPARE(rig.who->countsText(), u"free 7 \u00b7 taken 1 \u00b7 not answered 1"_s);
        QCOMPARE(filesIn(rig.programDir.path(), u"*.htm"_s).size(), 1);

        // With --protocol rdap every name goes to the service IANA's bootstrap names, fetched first.
        const QByteArray bootstrap = "{\"publication\":\"2099-01-01T00:00:00Z\",\"services\":[[[\"com\"],[\""
            + rdap.baseUrl().toUtf8() + "rdap/\"]]]}";
        rdap.setReplyFor([&bootstrap](const ScriptedHttpServer::Request &request) {
            return request.path == "/dns.json" ? ScriptedHttpServer::Reply {200, bootstrap, {}}
                                               : ScriptedHttpServer::Reply {404, {}, {}};
        });
        rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, u"rdap-bootstrap"_s,
                              rdap.baseUrl() + u"dns.json"_s);
        rig.protocol = Protocol::Rdap;
        rig.start();
        rig.state().SearchTerm.setText(u"example"_s);
        const qsizetype whoisAsked = rig.server.queries().size(), rdapAsked = rdap.requests().size();
        QVERIFY(rig.lookUp());
        QCOMPARE(rdap.requests().size(), rdapAsked + 2);
        QCOMPARE(rdap.requests().last().path, QByteArray("/rdap/domain/example.com"));
        QCOMPARE(rig.state().Available.entries().last(), u"example.com"_s);
        QCOMPARE(rig.server.queries().size(), whoisAsked);
    }

    // A whole run: pairings prefix-major, captions, verdicts, the answers cleared, the report shown
    // and the last term kept. A run killed after k combinations continues at k+1 once the program
    // starts again, and ends with the report the whole run wrote. A journal that cannot be resumed
    // is named, kept, and the program starts as usual. (A run stopped and resumed: tst_window,
    // tst_cli; a torn last line: tst_journal.)
    // One report tells every name asked since Clear All, as the two lists keep them: after a finished
    // search and a second one stopped, Write Report Now names the same free names in the text file,
    // the page and the CSV, which lists every name of both searches.
    void oneReportTellsEverythingSinceClearAll()
    {
        WhoRig rig;
        prepare(rig, "y1\r\nm1\r\n", "a\r\n");
        rig.server.setReplyFor(registryReply);
        QVERIFY(rig.searchCombinations());
        rig.state().Prefix.setEntries({u"y2"_s, u"m2"_s});
        rig.server.setReplyFor([&rig](const QByteArray &query) {
            rig.who->cbStopRunning_Click();
            return registryReply(query);
        });
        QVERIFY(rig.searchCombinations());
        for (const QString &name : filesIn(rig.programDir.path(), u"12-31-2000*"_s))
            QVERIFY(QFile::remove(rig.programDir.filePath(name)));
        rig.who->mWriteReport_Click();
        const QMap<QString, QByteArray> report = reportOf(rig);
        QByteArrayList rows = report.value(u"csv"_s).split('\n').mid(1);
        for (QByteArray &row : rows)
            row.truncate(row.indexOf(",SERVER"));
        QCOMPARE(rows, (QByteArrayList {"y1a.com,free,", "m1a.com,taken,", "y2a.com,free,", ""}));
        QVERIFY(report.value(u"txt"_s).startsWith("y1a.com\r\ny2a.com\r\nwww."));
        for (const char *free : {"y1a.com", "y2a.com"})
            QVERIFY(report.value(u"htm"_s).contains(QByteArray("'>http://www.") + free));
    }

    void wholeRunThenResumed_data()
    {
        QTest::addColumn<bool>("later"); // the journal is of a later version
        QTest::addColumn<int>("k");
        QTest::addColumn<bool>("listedBefore"); // an earlier search had found the same names
        QTest::newRow("killed, the names listed before") << false << 4 << true;
        QTest::newRow("journal of a later version") << true << 1 << false;
    }
    void wholeRunThenResumed()
    {
        QFETCH(bool, later);
        QFETCH(int, k);
        QFETCH(bool, listedBefore);
        WhoRig whole, rig;
        prepare(whole, Prefixes, Suffixes);
        whole.server.setReplyFor(registryReply);
        QVERIFY(whole.searchCombinations());
        QCOMPARE(whole.server.queries(),
                 (QList<QByteArray> {"DO myshop.com\r\n", "DO mystore.com\r\n", "DO yourshop.com\r\n",
                                     "DO yourstore.com\r\n", "DO zedshop.com\r\n", "DO zedstore.com\r\n"}));
        QStringList captions;
        for (int i = 1; i <= 6; ++i)
            captions << u"Searching %1 of 6"_s.arg(i);
        QCOMPARE(whole.captions.mid(0, 7), captions << u"Zandrel - 6 Domains Searched"_s);
        // The report writer's progress stays in the caption afterwards.
        QCOMPARE(whole.captions.last(), u"Building HTML for existing domain 1 of 1"_s);
        QCOMPARE(whole.state().LinkList.entries(), (QStringList {u"www.myshop.com"_s, u"www.mystore.com"_s}));
        QCOMPARE(whole.state().Available.entries(), (QStringList {u"yourshop.com"_s, u"yourstore.com"_s}));
        QCOMPARE(whole.state().tResponse.text(), QString()); // cleared after each combination
        const QMap<QString, QByteArray> expected = reportOf(whole);
        QVERIFY(expected.size() == 3 && expected.value(u"htm"_s).contains("Not Answered"));
        const QString counts = whole.who->countsText();
        const QString report = u"12-31-2000_10_15_00_PM.htm"_s;
        QCOMPARE(whole.launcher.opened, QStringList {whole.programDir.filePath(report)});
        whole.start();
        whole.who->Form_Load();
        QCOMPARE(whole.state().SearchTerm.text(), u"zedstore"_s);

        prepare(rig, Prefixes, Suffixes);
        rig.state().ClearEachSearch = false;

        rig.server.setReplyFor([&rig, k](const QByteArray &query) {
            if (rig.server.queries().size() == k)
                rig.who->cbStopRunning_Click();
            return registryReply(query);
        });
        if (listedBefore) {
            rig.state().Available.addUnique(u"yourshop.com"_s);
            rig.state().LinkList.addUnique(u"www.myshop.com"_s);
        }
        QVERIFY(rig.searchCombinations());
        QVERIFY(reportOf(rig).isEmpty() && rig.who->canResume());
        QFile journal(rig.who->runLog().journalPath());
        if (later)
            QVERIFY(journal.open(QIODevice::WriteOnly)
                    && journal.write("{\"type\":\"header\",\"version\":9}\n"));
        journal.close();
        rig.start();
        QList<Alert> alerts; // kept in sight, with the action they offer
        connect(rig.who.get(), &WhoController::alert, rig.who.get(),
                [&alerts](const Alert &a) { alerts << a; });
        // The word-list files changed since: the run's own lists come back from its journal.
        prepare(rig, "other\r\n", "other\r\n");
        QCOMPARE(alerts.size(), 1);
        if (later) {
            QCOMPARE(alerts.first().text,
                     u"Cannot resume the last search: %1: written by a newer Zandrel (format 9)"_s.arg(
                         QDir::toNativeSeparators(journal.fileName())));
            QVERIFY(alerts.first().action == Alert::Action::None);
            QVERIFY(!rig.who->canResume() && journal.exists());
            return;
        }
        QVERIFY(alerts.first().text.contains(u"Unfinished search (%1 of 6)"_s.arg(k)));
        QVERIFY(alerts.first().action == Alert::Action::ResumeSearch);
        rig.server.setReplyFor(registryReply);
        rig.captions.clear();
        QVERIFY(rig.runToEnd([&] { rig.who->mResumeSearch_Click(); }));
        QCOMPARE(rig.captions.first(), u"Searching %1 of 6"_s.arg(k + 1));
        QCOMPARE(rig.server.queries(), whole.server.queries());
        QVERIFY(!rig.state().ClearEachSearch);
        QCOMPARE(reportOf(rig), expected);
        QCOMPARE(rig.who->countsText(), counts);
        QVERIFY(!rig.who->canResume());
        const Result<JournalContents> read = readJournal(rig.who->runLog().journalPath());
        QVERIFY(read && read->finished && read->records.size() == 6);
    }

    // An empty list takes its edit text; with the box kept, each answer follows the last, the
    // removal text taken out whatever its case. Only what servers sent is scanned: a name nobody
    // answered is no existing domain, however the program's own lines (the banner, the connection
    // line) name it.
    void emptyListRemovalTextAndOwnLines()
    {
        WhoRig rig;
        prepare(rig, "", "store.org\r\nzone.com\r\n");
        rig.state().Prefix.setEditText(u"empty"_s);
        rig.state().ComSuffix = false;
        rig.state().ClearEachSearch = false;
        rig.state().Nag.setText(u"NOTICE: Use of this data\r\nis limited.\r\n"_s);
        rig.server.setReplyFor([](const QByteArray &query) {
            return ScriptedWhoisServer::Reply {
                query.contains("zone") ? "Result line\r\nnotice: use of THIS data\r\nis limited.\r\n" : ""};
        });
        QVERIFY(rig.searchCombinations());
        QCOMPARE(rig.server.queries(), (QList<QByteArray> {"emptystore.org\r\n", "DO emptyzone.com\r\n"}));
        QCOMPARE(rig.state().Prefix.entries(), QStringList {u"empty"_s});
        const QString banner
            = u"\r\n\r\n%1   ************************\r\nConnected.  Waiting for data...\r\n\r\n"_s;
        QCOMPARE(rig.state().tResponse.text(),
                 banner.arg(u"emptystore.org"_s) + banner.arg(u"emptyzone.com"_s) + u"Result line\r\n"_s);
        QCOMPARE(rig.state().LinkList.count(), 0);
        const QMap<QString, QByteArray> report = reportOf(rig);
        QCOMPARE(report.value(u"txt"_s), QByteArray());
        QVERIFY(report.value(u"htm"_s).contains("<tr><td>emptystore.org</td><td>no answer</td></tr>"));
    }

    // Stop, pressed during a lookup or before the run, or closing the program, ends the run after
    // the lookup under way, unreported, even when the server never answers; a second start and a
    // single lookup are refused while the search runs.
    void endsEarly_data()
    {
        QTest::addColumn<int>("words"); // in each list
        QTest::addColumn<int>("stopAt"); // the query during which the user acts
        QTest::addColumn<bool>("closing");
        QTest::addColumn<bool>("silent"); // the server never answers
        QTest::newRow("stop during the first, total past 16 bits") << 200 << 1 << false << false;
        QTest::newRow("stop, silent server") << 2 << 1 << false << true;
        QTest::newRow("close, silent server") << 2 << 1 << true << true;
    }
    void endsEarly()
    {
        QFETCH(int, words);
        QFETCH(int, stopAt);
        QFETCH(bool, closing);
        QFETCH(bool, silent);
        QByteArray list;
        for (int i = 0; i < words; ++i)
            list += "w" + QByteArray::number(i) + "\r\n";
        WhoRig rig;
        prepare(rig, list, list);
        rig.who->session().router().limits() = {.idleMs = 60'000, .totalMs = 60'000};
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.server.setReplyFor([&](const QByteArray &) {
            const QByteArray n = QByteArray::number(rig.server.queries().size());
            if (n.toInt() == stopAt) {
                rig.who->SearchCombinations_Click();
                rig.who->bLookUp_Click();
                closing ? rig.who->closing() : rig.who->cbStopRunning_Click();
                if (silent) // the stop grace passes
                    rig.clock.advance(rig.who->session().request().stopGraceMs);
            }
            return silent ? ScriptedWhoisServer::Reply {{}, 0, 0, true}
                          : ScriptedWhoisServer::Reply {"Domain Name: SEEN" + n + ".COM\r\n"};
        });
        QVERIFY(rig.searchCombinations());
        QCOMPARE(rig.server.queries().size(), stopAt);
        QCOMPARE(rig.captions.last(), u"Searching %1 of %2"_s.arg(stopAt).arg(words * words));
        QVERIFY(!rig.who->searchRunning());
        QVERIFY(filesIn(rig.programDir.path(), u"*.htm"_s).isEmpty() && rig.launcher.opened.isEmpty());
        QCOMPARE(notices.size(), 2);
        // The lookup under way still completes and is harvested; one never answered is told.
        QCOMPARE(rig.state().LinkList.contains(u"www.seen%1.com"_s.arg(stopAt)), !silent);
        QCOMPARE(rig.state().tResponse.text().contains(
                     u"\r\nLookup abandoned after Stop: w0w0 was not answered.\r\n"_s),
                 silent && !closing);
        if (silent) // the name given up is counted, though not committed
            QCOMPARE(rig.who->countsText(), u"free 0 \u00b7 taken 0 \u00b7 not answered 1"_s);
    }
};

QTEST_GUILESS_MAIN(tst_Driver)
#include "tst_driver.moc"
