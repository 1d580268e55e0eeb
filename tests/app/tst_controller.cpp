// Start-up, settings, word lists, one lookup and the small commands, without a window.
#include "ScriptedHttpServer.h"
#include "Tables.h"
#include "WhoRig.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

using Action = std::function<void(WhoRig &)>; // what a row does to the program

class tst_Controller : public QObject
{
    Q_OBJECT
private slots:
    // Nothing a test does is left in the working folder.
    void cleanupTestCase() { QVERIFY(m_work.isEmpty()); }

    // First start: default paths, the program registered, no text saved; later starts get the texts back.
    void firstStartThenRestart()
    {
        WhoRig rig;
        rig.who->Form_Load();
        const QString folder = rig.programDir.path();
        QCOMPARE(rig.state().PrefixPath.text(), folder + u"/prefix.txt"_s);
        QCOMPARE(rig.settings.value(u"Keltrow"_s, u"Application"_s, u"Zandrel"_s), folder + u"/zandrel"_s);
        QCOMPARE(rig.settings.value(u"zandrel50"_s, u"Settings"_s, u"SuffixPath"_s),
                 folder + u"/suffix.txt"_s);
        QVERIFY(!rig.settings.contains(u"Zandrel"_s, u"Settings"_s, u"Nag"_s)
                && !rig.settings.contains(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s));
        for (const QString &term : {u"examp"_s, QString()}) { // an emptied term is saved too
            rig.state().SearchTerm.setText(term);
            rig.state().Nag.setText(u"two\r\nlines "_s);
            rig.start();
            rig.who->Form_Load();
            QCOMPARE(rig.state().SearchTerm.text(), term);
            QCOMPARE(rig.state().Nag.text(), u"two\r\nlines "_s);
        }
    }

    // Installed where it cannot write (/usr/bin), the program keeps its default lists in the user's
    // data folder, where Edit Prefix List can make one; a path stored before is kept.
    void defaultListsOfAnInstalledProgram()
    {
        QTemporaryDir data;
        const QByteArray before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        WhoRig rig;
        rig.programFolder = rig.writeFile(u"usr"_s, "a file: nothing can be made under it") + u"/bin"_s;
        rig.start();
        rig.who->Form_Load();
        const QString lists = data.path() + u"/zandrel/"_s;
        QCOMPARE(rig.state().PrefixPath.text(), lists + u"prefix.txt"_s);
        QCOMPARE(rig.state().SuffixPath.text(), lists + u"suffix.txt"_s);
        rig.who->wordLists().EditPrefix();
        QVERIFY(QFileInfo(lists + u"prefix.txt"_s).isFile());
        const QString stored = rig.programFolder + u"/suffix.txt"_s;
        rig.settings.setValue(u"zandrel50"_s, u"Settings"_s, u"SuffixPath"_s, stored);
        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SuffixPath.text(), stored);
        qputenv("XDG_DATA_HOME", before);
    }

    // Lists load once, select nothing; typing in a box composes the term, a pick does not.
    void wordListsLoadAndComposeTheTerm()
    {
        WhoRig rig;
        rig.writeFile(u"prefix.txt"_s, "my\r\nyour\r\n");
        rig.settings.setValue(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s, u"kept"_s);
        rig.who->Form_Load();
        // Loading after the term was restored leaves the term alone, and selects nothing.
        QCOMPARE(rig.state().SearchTerm.text(), u"kept"_s);
        QCOMPARE(rig.state().Prefix.entries(), (QStringList {u"my"_s, u"your"_s}));
        QCOMPARE(rig.state().Prefix.editText(), QString());
        rig.who->wordLists().OpenPrefix();
        QCOMPARE(rig.state().Prefix.count(), 2); // not doubled

        QStringList terms;
        connect(&rig.state().SearchTerm, &TextBox::changed, this, [&terms](const QString &t) { terms << t; });
        rig.state().Prefix.setEditText(u"my"_s);
        for (const QString &typed : {u"n"_s, u"ne"_s, u"net"_s})
            rig.state().Suffix.setEditText(typed);
        rig.state().Prefix.pick(u"your"_s); // a pick from the list alone composes nothing
        QCOMPARE(terms, (QStringList {u"my"_s, u"myn"_s, u"myne"_s, u"mynet"_s}));
        QCOMPARE(rig.settings.value(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s), u"mynet"_s);

        // A changed path loads nothing until asked; a missing file then empties the list.
        rig.state().PrefixPath.setText(rig.programDir.filePath(u"missing.txt"_s));
        QCOMPARE(rig.state().Prefix.count(), 2);
        rig.who->wordLists().mRefresh_Click();
        QCOMPARE(rig.state().Prefix.count(), 0);
    }

    // What the desktop is asked to open, start or copy ("%p": the program's folder), and the notices
    // given, on a system without xdg-open. The editor gets the list's path as one absolute argument; a list
    // not there yet is made empty first.
    void launcherAndClipboard_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("succeed");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("notices");
        const auto open = [](void (LinkOpener::*click)(int), int row) {
            return Action([click, row](WhoRig &rig) { (rig.who->opener().*click)(row); });
        };
        const auto go = [](void (LinkOpener::*click)()) {
            return Action([click](WhoRig &rig) { (rig.who->opener().*click)(); });
        };
        // A path that is not absolute is taken from the working folder: the program's, here.
        const auto editPrefix = [](const QString &path) {
            return Action([path](WhoRig &rig) {
                const QString before = QDir::currentPath();
                QDir::setCurrent(rig.programDir.path());
                rig.state().PrefixPath.setText(QString(path).replace(u"%p"_s, rig.programDir.path()));
                rig.who->wordLists().EditPrefix();
                QDir::setCurrent(before);
            });
        };
        const Action pressSuffix = [](WhoRig &rig) {
            rig.who->wordLists().Label2_MouseDown(Qt::LeftButton);
        };
        const QString editor = u"start /opt/my editor|--new-window|%p/"_s;
        const auto link = &LinkOpener::LinkList_Click;
        QTest::newRow("a link, quote and all")
            << open(link, 1) << true << u"open http://www.\"odd.org; copy http://www.\"odd.org"_s
            << QString();
        QTest::newRow("past the list's end") << open(link, 2) << true << QString() << QString();
        QTest::newRow("a link that does not open")
            << open(link, 0) << false << u"open http://www.example.com; copy http://www.example.com"_s
            << u"\"xdg-open\" is not installed (apt install xdg-utils): could not open http://www.example.com"_s;
        QTest::newRow("an available name") << open(&LinkOpener::Available_Click, 0) << true
                                           << u"open http://www.networksolutions.com/"_s << QString();
        QTest::newRow("Go To Keltrow")
            << go(&LinkOpener::mGoKeltrow_Click) << true << u"open http://www.keltrow.com/"_s << QString();
        QTest::newRow("Explore Directory")
            << go(&LinkOpener::mDirectory_Click) << true << u"open %p"_s << QString();
        QTest::newRow("a new list, an odd name") << editPrefix(u"%p/pre fix.txt; rm -rf ~"_s) << true
                                                 << editor + u"pre fix.txt; rm -rf ~"_s << QString();
        QTest::newRow("a path starting with -")
            << editPrefix(u"-n x.txt"_s) << true << editor + u"-n x.txt"_s << QString();
        QTest::newRow("a left press on Suffix:")
            << pressSuffix << true << editor + u"suffix.txt"_s << QString();
        QTest::newRow("an editor that does not start")
            << pressSuffix << false << editor + u"suffix.txt"_s
            << u"\"/opt/my editor\" is not installed: the editor could not start."_s;
        QTest::newRow("a list that cannot be made")
            << editPrefix(u"%p/no folder/p.txt"_s) << true << QString()
            << u"Could not create %p/no folder/p.txt: No such file or directory"_s;
        QTest::newRow("no list named")
            << editPrefix(QString()) << true << QString() << u"No word-list file is named in the path box."_s;
    }
    void launcherAndClipboard()
    {
        QFETCH(Action, action);
        WhoRig rig;
        rig.settings.setValue(u"Keltrow"_s, u"Application"_s, u"KelEdit"_s,
                              u"\"/opt/my editor\" --new-window"_s);
        rig.who->Form_Load();
        rig.state().LinkList.addUnique(u"www.example.com"_s);
        rig.state().LinkList.addUnique(u"www.\"odd.org"_s);
        QFETCH(bool, succeed);
        rig.launcher.succeed = succeed;
        QStringList told;
        connect(rig.who.get(), &WhoController::notice, this,
                [&](const QString &text) { told << QString(text).replace(rig.programDir.path(), u"%p"_s); });
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", rig.cacheDir.path().toUtf8()); // a folder without programs
        action(rig);
        qputenv("PATH", path);
        QTEST(rig.asked(), "asked");
        for (const auto &[program, arguments] : std::as_const(rig.launcher.started))
            QCOMPARE(QFileInfo(arguments.constLast()).size(), 0);
        QTEST(told.join(u'|'), "notices");
    }

    // The exact response text is the window test's; here, what the procedures make of answers.
    void lookupsHarvestAndAccumulate()
    {
        WhoRig rig;
        rig.who->Form_Load();
        rig.state().SearchTerm.setText(u"example"_s);
        rig.server.setReply({"   Domain Name: EXAMPLE.COM\r\n   Name Server: A.IANA-SERVERS.NET\r\n"
                             "No match for \"FREE-ONE.COM\".\r\n"});
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.server.queries(), QList<QByteArray> {"DO example.com\r\n"});
        // Only the name asked can be found free: a "No match" for another name adds nothing.
        QCOMPARE(rig.state().Available.entries(), QStringList());
        rig.who->lists().mAvailable_Click();
        QCOMPARE(rig.state().Available.entries(), QStringList());
        // A no-match answer further on keeps the ".com" names out of the existing domains.
        QCOMPARE(rig.state().LinkList.entries(), QStringList {u"www.a.iana-servers.net"_s});

        // "Whois" without ".com", and the box kept: the second answer follows the first.
        rig.who->SearchType_Click(1);
        rig.state().ComSuffix = false;
        rig.state().ClearEachSearch = false;
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.server.queries().last(), QByteArray("example\r\n"));
        QCOMPARE(rig.state().tResponse.text().count(u"Connected."_s), 2);
    }

    // A TLD without a row: the IANA server names its server once, and a later start remembers it.
    // A TLD without a WHOIS server goes to RDAP, which knows none for it either.
    void referralFromIana()
    {
        const QString NoServerForYy
            = u"No WHOIS server is known for .yy\r\nNo RDAP service is known for .yy\r\n"_s;
        WhoRig rig;
        ScriptedWhoisServer iana;
        iana.setReplyFor([](const QByteArray &query) {
            if (query == "zz\r\n")
                return ScriptedWhoisServer::Reply {"domain:       ZZ\r\nwhois:        localhost\r\n"};
            return ScriptedWhoisServer::Reply {"domain:       YY\r\nwhois:\r\n"};
        });
        rig.settings.setValue(u"Zandrel"_s, u"Servers"_s, u"iana"_s, iana.address());
        rig.serverOption.clear();
        // Looks the name up as typed, after a start when asked.
        const auto lookUp = [&rig](const QString &name, bool restart) {
            if (restart)
                rig.start();
            rig.state().ComSuffix = false;
            rig.state().SearchTerm.setText(name);
            return rig.lookUp();
        };
        QVERIFY(lookUp(u"myshop.zz"_s, true));
        QCOMPARE(rig.lastRecord.server, u"localhost:43"_s);
        QVERIFY(lookUp(u"myshop.yy"_s, false));
        QCOMPARE(rig.state().tResponse.text(), NoServerForYy);
        // Ended at once, naming the server that was asked and why nothing more could be.
        QCOMPARE(rig.lastRecord.verdict, Verdict::unknown(UnknownReason::NoService));
        QCOMPARE(rig.lastRecord.server, iana.address());
        QCOMPARE(rig.lastRecord.detail, u"no RDAP service is known for .yy"_s);
        QVERIFY(lookUp(u"again.yy"_s, true));
        QCOMPARE(rig.state().tResponse.text(), NoServerForYy);
        QCOMPARE(iana.queries(), (QList<QByteArray> {"zz\r\n", "yy\r\n"}));

        // Once the bootstrap names an RDAP service for the TLD, that service is asked, not the
        // server IANA named, and its not-found counts.
        ScriptedHttpServer rdap;
        rdap.setReply({404, {}, {}});
        QVERIFY(writeAll(rig.cacheDir.filePath(u"rdap-dns.json"_s),
                         "{\"publication\":\"2099-01-01T00:00:00Z\",\"services\":[[[\"zz\"],[\""
                             + rdap.baseUrl().toUtf8() + "\"]]]}"));
        QVERIFY(lookUp(u"myshop.zz"_s, true));
        QCOMPARE(rig.lastRecord.verdict, (Verdict {VerdictKind::Free, {}}));
        QCOMPARE(rig.lastRecord.server, rdap.baseUrl());
        QCOMPARE(rdap.requests().size(), 1);
        QCOMPARE(iana.queries().size(), 2);
    }

    // Each clear command empties only its own boxes; Clear All forgets the last search too: its
    // counts and what the next report would list. Emptying the boxes composes no term.
    void clearCommands_data()
    {
        QTest::addColumn<Action>("clear");
        QTest::addColumn<QStringList>("kept");
        const QStringList all {u"response"_s, u"links"_s, u"available"_s, u"words"_s, u"counts"_s};
        QTest::newRow("Results > Clear")
            << Action([](WhoRig &rig) { rig.who->mClearResponse_Click(); }) << all.mid(1);
        QTest::newRow("Existing > Clear")
            << Action([](WhoRig &rig) { rig.who->lists().mClearLinkList_Click(); })
            << (all.first(1) + all.mid(2));
        QTest::newRow("Clear All") << Action([](WhoRig &rig) { rig.who->lists().mClearall_Click(); })
                                   << QStringList();
    }
    void clearCommands()
    {
        QFETCH(Action, clear);
        QFETCH(QStringList, kept);
        WhoRig rig;
        rig.useWordLists("a\r\n", "b\r\n");
        rig.who->Form_Load();
        rig.server.setReply({"No match for \"AB.COM\".\r\n"});
        rig.who->session().request().pauseMs = 5;
        QVERIFY(rig.searchCombinations());
        WhoState &s = rig.state();
        s.LinkList.addUnique(u"www.taken.com"_s);
        s.tResponse.setText(u"text"_s);
        s.Prefix.setEditText(u"pre"_s);
        clear(rig);
        QCOMPARE(!s.tResponse.text().isEmpty(), kept.contains(u"response"_s));
        QCOMPARE(s.LinkList.count() > 0, kept.contains(u"links"_s));
        QCOMPARE(s.Available.count() > 0, kept.contains(u"available"_s));
        QCOMPARE(s.Prefix.count() + s.Suffix.count() > 0, kept.contains(u"words"_s));
        QCOMPARE(s.Prefix.editText().isEmpty(), !kept.contains(u"words"_s));
        QCOMPARE(rig.who->countsText(),
                 u"free %1 \u00b7 taken 0 \u00b7 not answered 0"_s.arg(int(kept.contains(u"counts"_s))));
        QCOMPARE(rig.who->report().hasResults(), !kept.isEmpty());
        QCOMPARE(s.SearchTerm.text(), u"preb"_s);
        // Emptied lists are no lists of one empty word: the search asks nothing and says why.
        if (!kept.contains(u"words"_s)) {
            QSignalSpy notices(rig.who.get(), &WhoController::notice);
            const qsizetype asked = rig.server.queries().size();
            rig.who->SearchCombinations_Click();
            QVERIFY(!rig.who->searchRunning());
            QCOMPARE(rig.server.queries().size(), asked);
            QCOMPARE(notices.constLast().constFirst().toString(),
                     u"The prefix list is empty: Refresh (F5) reads it again from its file."_s);
        }
    }

private:
    const TemporaryWorkFolder m_work;
};

QTEST_GUILESS_MAIN(tst_Controller)
#include "tst_controller.moc"
