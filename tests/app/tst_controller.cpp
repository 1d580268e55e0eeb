// Start-up, settings, word lists, one lookup and the small commands, without a window.
#include "WhoRig.h"

#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;

namespace {
const QString Keltrow = QStringLiteral("Keltrow");
const QString Zandrel = QStringLiteral("Zandrel");
const QString Settings = QStringLiteral("Settings");
const QString Application = QStringLiteral("Application");
} // namespace

class tst_Controller : public QObject
{
    Q_OBJECT
private slots:
    void firstStartThenRestart()
    {
        WhoRig rig;
        rig.who->Form_Load();
        const QString folder = rig.programDir.path();
        QCOMPARE(rig.state().PrefixPath.text(), folder + QStringLiteral("/prefix.txt"));
        QCOMPARE(rig.state().EditorCommand, QStringLiteral("xdg-open"));
        QCOMPARE(rig.settings.value(Keltrow, Application, Zandrel), folder + QStringLiteral("/zandrel"));
        QCOMPARE(rig.settings.value(QStringLiteral("zandrel50"), Settings, QStringLiteral("SuffixPath")),
                 folder + QStringLiteral("/suffix.txt"));
        QVERIFY(!rig.settings.contains(Zandrel, Settings, QStringLiteral("Nag")));
        QVERIFY(!rig.settings.contains(Zandrel, Settings, QStringLiteral("SearchTerm")));
        QVERIFY(rig.server.queries().isEmpty());

        rig.state().SearchTerm.setText(QStringLiteral("examp"));
        rig.state().Nag.setText(QStringLiteral("two\r\nlines "));
        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SearchTerm.text(), QStringLiteral("examp"));
        QCOMPARE(rig.state().Nag.text(), QStringLiteral("two\r\nlines "));
        rig.state().SearchTerm.setText(QString());
        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SearchTerm.text(), QString());
    }

    void wordListsLoadAndComposeTheTerm()
    {
        WhoRig rig;
        rig.writeFile(QStringLiteral("prefix.txt"), "my\r\nyour\r\n");
        rig.settings.setValue(Zandrel, Settings, QStringLiteral("SearchTerm"), QStringLiteral("kept"));
        rig.who->Form_Load();
        // Loading after the term was restored leaves the term alone, and selects nothing.
        QCOMPARE(rig.state().SearchTerm.text(), QStringLiteral("kept"));
        QCOMPARE(rig.state().Prefix.entries(), (QStringList {QStringLiteral("my"), QStringLiteral("your")}));
        QCOMPARE(rig.state().Prefix.editText(), QString());
        rig.who->OpenPrefix();
        QCOMPARE(rig.state().Prefix.count(), 2); // not doubled

        QStringList terms;
        connect(&rig.state().SearchTerm, &TextBox::changed, this, [&terms](const QString &t) { terms << t; });
        rig.state().Prefix.setEditText(QStringLiteral("my"));
        for (const QString &typed : {QStringLiteral("n"), QStringLiteral("ne"), QStringLiteral("net")})
            rig.state().Suffix.setEditText(typed);
        rig.state().Prefix.pick(QStringLiteral("your")); // a pick from the list alone composes nothing
        QCOMPARE(terms,
                 (QStringList {QStringLiteral("my"), QStringLiteral("myn"), QStringLiteral("myne"),
                               QStringLiteral("mynet")}));
        QCOMPARE(rig.settings.value(Zandrel, Settings, QStringLiteral("SearchTerm")),
                 QStringLiteral("mynet"));

        // A changed path loads nothing until asked; a missing file then empties the list.
        rig.state().PrefixPath.setText(rig.programDir.filePath(QStringLiteral("missing.txt")));
        QCOMPARE(rig.state().Prefix.count(), 2);
        rig.who->mRefresh_Click();
        QCOMPARE(rig.state().Prefix.count(), 0);
    }

    void editorCommandGetsThePathWhole_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("expected"); // program, then arguments before the path
        QTest::newRow("default") << QString() << QStringList {QStringLiteral("xdg-open")};
        QTest::newRow("with options")
            << QStringLiteral("\"/opt/my editor\" --new-window")
            << QStringList {QStringLiteral("/opt/my editor"), QStringLiteral("--new-window")};
    }
    void editorCommandGetsThePathWhole()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, expected);
        WhoRig rig;
        if (!command.isEmpty())
            rig.settings.setValue(Keltrow, Application, QStringLiteral("KelEdit"), command);
        rig.who->Form_Load();
        const QString path = QStringLiteral("/tmp/a folder/pre fix.txt; rm -rf ~");
        rig.state().PrefixPath.setText(path);
        rig.who->EditPrefix();
        QCOMPARE(rig.launcher.started.size(), 1);
        QCOMPARE(rig.launcher.started.first().first, expected.takeFirst());
        QCOMPARE(rig.launcher.started.first().second, expected << path);

        // An editor that cannot start is reported and changes nothing.
        rig.launcher.succeed = false;
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->EditSuffix();
        QCOMPARE(notices.size(), 1);
    }

    void oneLookupEndToEnd()
    {
        WhoRig rig;
        rig.who->Form_Load();
        rig.state().SearchTerm.setText(QStringLiteral("example"));
        rig.state().tResponse.setText(QStringLiteral("old text"));
        rig.server.setReply({"   Domain Name: EXAMPLE.COM\r\n   Name Server: A.IANA-SERVERS.NET\r\n"
                             "No match for \"FREE-ONE.COM\".\r\n",
                             7, 1});
        QSignalSpy scrolled(&rig.state().tResponse, &ResponseBox::scrolledToStart);
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.server.queries(), QList<QByteArray> {"DO example.com\r\n"});
        QCOMPARE(rig.state().tResponse.text(),
                 QStringLiteral("Connected.  Waiting for data...\r\n\r\n   Domain Name: EXAMPLE.COM\r\n"
                                "   Name Server: A.IANA-SERVERS.NET\r\nNo match for \"FREE-ONE.COM\".\r\n"));
        QCOMPARE(rig.state().Available.entries(), QStringList {QStringLiteral("free-one.com")});
        // A no-match answer further on keeps the ".com" names out of the existing domains.
        QCOMPARE(rig.state().LinkList.entries(), QStringList {QStringLiteral("www.a.iana-servers.net")});
        QCOMPARE(scrolled.size(), 1);

        // "Whois" without ".com", and the box kept: the second answer follows the first.
        rig.who->SearchType_Click(1);
        rig.state().ComSuffix = false;
        rig.state().ClearEachSearch = false;
        QVERIFY(rig.lookUp());
        QCOMPARE(rig.server.queries().last(), QByteArray("example\r\n"));
        QCOMPARE(rig.state().tResponse.text().count(QStringLiteral("Connected.")), 2);
        QCOMPARE(rig.state().LinkList.count(), 1);

        // A refused connection still ends the lookup.
        rig.server.stopListening();
        rig.state().ClearEachSearch = true;
        QVERIFY(rig.lookUp());
        QVERIFY(rig.state().tResponse.text().startsWith(QStringLiteral("Connection failed: ")));
    }

    void delayFollowsValidTextsOnly()
    {
        WhoRig rig;
        QCOMPARE(rig.who->delayTimer().interval(), 3000); // until "Internic Delay:" is edited
        rig.state().Delay.setText(QStringLiteral("2.9"));
        QCOMPARE(rig.who->delayTimer().interval(), 2000);
        for (const QString &bad :
             {QStringLiteral("0"), QStringLiteral("66"), QString(), QStringLiteral("x")}) {
            rig.state().Delay.setText(bad);
            QCOMPARE(rig.who->delayTimer().interval(), 2000);
            QVERIFY(rig.who->delayInvalid());
            QVERIFY(rig.who->delayTimer().isActive());
        }
        rig.state().Delay.setText(QStringLiteral("7"));
        QCOMPARE(rig.who->delayTimer().interval(), 7000);
        QVERIFY(!rig.who->delayInvalid());
    }

    void clearCommandsDiffer()
    {
        WhoRig rig;
        rig.writeFile(QStringLiteral("prefix.txt"), "a\r\n");
        rig.writeFile(QStringLiteral("suffix.txt"), "b\r\n");
        rig.who->Form_Load();
        WhoState &s = rig.state();
        auto fill = [&s] {
            s.Available.addUnique(QStringLiteral("free.com"));
            s.LinkList.addUnique(QStringLiteral("www.taken.com"));
            s.tResponse.setText(QStringLiteral("text"));
            s.Prefix.setEditText(QStringLiteral("pre"));
        };
        fill();
        rig.who->mClearResponse_Click();
        QCOMPARE(s.tResponse.text(), QString());
        QCOMPARE(s.LinkList.count(), 1);
        rig.who->mClearLinkList_Click();
        QCOMPARE(s.LinkList.count(), 0);
        QCOMPARE(s.Available.count(), 1);

        fill();
        rig.who->mClearall_Click();
        QCOMPARE(s.Available.count() + s.LinkList.count() + s.Prefix.count() + s.Suffix.count(), 0);
        QCOMPARE(s.Prefix.editText(), QString());
        QCOMPARE(s.tResponse.text(), QString());
        QCOMPARE(s.SearchTerm.text(), QStringLiteral("pre")); // emptying the boxes composes nothing
        rig.who->mRefresh_Click();
        QCOMPARE(s.Prefix.count() + s.Suffix.count(), 2);
    }

    void browsingResults()
    {
        WhoRig rig;
        rig.state().LinkList.addUnique(QStringLiteral("www.example.com"));
        rig.state().LinkList.addUnique(QStringLiteral("www.\"odd.org"));
        rig.who->LinkList_Click(0);
        rig.who->LinkList_Click(1);
        QCOMPARE(
            rig.launcher.opened,
            (QStringList {QStringLiteral("http://www.example.com"), QStringLiteral("http://www.\"odd.org")}));
        QCOMPARE(rig.clipboard.texts, rig.launcher.opened);
        rig.who->Available_Click(0);
        rig.who->mGoKeltrow_Click();
        rig.who->mDirectory_Click();
        QCOMPARE(rig.launcher.opened.mid(2),
                 (QStringList {QStringLiteral("http://www.networksolutions.com/"),
                               QStringLiteral("http://www.keltrow.com/"), rig.programDir.path()}));
        QCOMPARE(rig.clipboard.texts.size(), 2);

        // A failure to open is reported and ends nothing.
        rig.launcher.succeed = false;
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->LinkList_Click(0);
        QCOMPARE(notices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Controller)
#include "tst_controller.moc"
