// Start-up, settings, word lists, one lookup and the small commands, without a window.
#include "ScriptedHttpServer.h"
#include "WhoRig.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

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

    // The editor gets the list's path as one absolute argument; failures are reported.
    void editorCommandGetsThePathWhole()
    {
        WhoRig rig;
        rig.settings.setValue(u"Keltrow"_s, u"Application"_s, u"KelEdit"_s,
                              u"\"/opt/my editor\" --new-window"_s);
        rig.who->Form_Load();
        // A list not there yet is created empty first.
        const QString path = rig.programDir.filePath(u"pre fix.txt; rm -rf ~"_s);
        rig.state().PrefixPath.setText(path);
        rig.who->wordLists().EditPrefix();
        QCOMPARE(rig.launcher.started,
                 (QList<QPair<QString, QStringList>> {{u"/opt/my editor"_s, {u"--new-window"_s, path}}}));
        QCOMPARE(QFileInfo(path).size(), 0);

        // A typed path starting with "-" reaches the editor as an absolute path, never as an option.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(rig.programDir.path()));
        rig.state().PrefixPath.setText(u"-n x.txt"_s);
        rig.who->wordLists().EditPrefix();
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(rig.launcher.started.last().second.last(), rig.programDir.filePath(u"-n x.txt"_s));

        // An editor that cannot start, a list that cannot be created and no list at all are reported.
        rig.launcher.succeed = false;
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->wordLists().EditSuffix();
        for (const QString &bad : {rig.programDir.filePath(u"no folder/p.txt"_s), QString()}) {
            rig.state().PrefixPath.setText(bad);
            rig.who->wordLists().EditPrefix();
        }
        QCOMPARE(notices.size(), 3);
        QCOMPARE(rig.launcher.started.size(), 3);
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
        rig.start();
        rig.state().ComSuffix = false;
        rig.state().SearchTerm.setText(u"myshop.zz"_s);
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.lastRecord.server, u"localhost:43"_s);
        rig.state().SearchTerm.setText(u"myshop.yy"_s);
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.state().tResponse.text(), NoServerForYy);
        // Ended at once, naming the server that was asked and why nothing more could be.
        QCOMPARE(rig.lastRecord.verdict, (Verdict {VerdictKind::Unknown, reason::NoService}));
        QCOMPARE(rig.lastRecord.server, iana.address());
        QCOMPARE(rig.lastRecord.detail, u"no RDAP service is known for .yy"_s);

        rig.start();
        rig.state().ComSuffix = false;
        rig.state().SearchTerm.setText(u"again.yy"_s);
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.state().tResponse.text(), NoServerForYy);
        QCOMPARE(iana.queries(), (QList<QByteArray> {"zz\r\n", "yy\r\n"}));

        // The server IANA named takes no connection (nothing listens on port 43 here): the TLD's
        // RDAP service in the bootstrap is asked instead, and its not-found counts.
        ScriptedHttpServer rdap;
        rdap.setReply({404, {}, {}});
        QFile bootstrap(QDir(rig.cacheDir.path()).filePath(u"rdap-dns.json"_s));
        QVERIFY(bootstrap.open(QIODevice::WriteOnly));
        bootstrap.write("{\"publication\":\"2099-01-01T00:00:00Z\",\"services\":[[[\"zz\"],[\""
                        + rdap.baseUrl().toUtf8() + "\"]]]}");
        bootstrap.close();
        rig.start();
        rig.state().ComSuffix = false;
        rig.state().SearchTerm.setText(u"myshop.zz"_s);
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.lastRecord.verdict, (Verdict {VerdictKind::Free, {}}));
        QCOMPARE(rig.lastRecord.server, rdap.baseUrl());
        QCOMPARE(rdap.requests().size(), 1);
        QVERIFY(rig.state().tResponse.text().contains(u"Asking the RDAP service "_s));
    }

    // Each clear command empties only its own boxes.
    void clearCommandsDiffer()
    {
        WhoRig rig;
        rig.useWordLists("a\r\n", "b\r\n");
        rig.who->Form_Load();
        WhoState &s = rig.state();
        auto fill = [&s] {
            s.Available.addUnique(u"free.com"_s);
            s.LinkList.addUnique(u"www.taken.com"_s);
            s.tResponse.setText(u"text"_s);
            s.Prefix.setEditText(u"pre"_s);
        };
        fill();
        rig.who->mClearResponse_Click();
        QCOMPARE(s.tResponse.text(), QString());
        QCOMPARE(s.LinkList.count(), 1);
        rig.who->lists().mClearLinkList_Click();
        QCOMPARE(s.LinkList.count(), 0);

        // Clear All forgets the last search too: its counts and what the next report would list.
        rig.server.setReply({"No match for \"AB.COM\".\r\n"});
        rig.who->session().options().pauseMs = 5;
        QVERIFY(rig.searchCombinations());
        QCOMPARE(rig.who->countsText(), u"free 1 \u00b7 taken 0 \u00b7 not answered 0"_s);
        fill();
        rig.who->lists().mClearall_Click();
        QCOMPARE(rig.who->countsText(), u"free 0 \u00b7 taken 0 \u00b7 not answered 0"_s);
        QVERIFY(!rig.who->report().hasResults());
        QCOMPARE(s.Available.count() + s.LinkList.count() + s.Prefix.count() + s.Suffix.count(), 0);
        QVERIFY(s.Prefix.editText().isEmpty() && s.tResponse.text().isEmpty());
        QCOMPARE(s.SearchTerm.text(), u"preb"_s); // emptying the boxes composes nothing
    }

    // Links open and are copied as they are; the fixed sites and the folder open; failures are told.
    void browsingResults()
    {
        WhoRig rig;
        rig.state().LinkList.addUnique(u"www.example.com"_s);
        rig.state().LinkList.addUnique(u"www.\"odd.org"_s);
        rig.who->opener().LinkList_Click(1);
        QCOMPARE(rig.launcher.opened, QStringList {u"http://www.\"odd.org"_s});
        QCOMPARE(rig.clipboard.texts, rig.launcher.opened);
        rig.who->opener().Available_Click(0);
        rig.who->opener().mGoKeltrow_Click();
        rig.who->opener().mDirectory_Click();
        QCOMPARE(rig.launcher.opened.mid(1),
                 (QStringList {u"http://www.networksolutions.com/"_s, u"http://www.keltrow.com/"_s,
                               rig.programDir.path()}));
        QCOMPARE(rig.clipboard.texts.size(), 1);

        // A failure to open is reported and ends nothing.
        rig.launcher.succeed = false;
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->opener().LinkList_Click(0);
        QCOMPARE(notices.size(), 1);
    }

private:
    const TemporaryWorkFolder m_work;
};

QTEST_GUILESS_MAIN(tst_Controller)
#include "tst_controller.moc"
