// Start-up, settings, word lists, one lookup and the small commands, without a window.
#include "WhoRig.h"

#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;

namespace {
const QString Keltrow = QStringLiteral("Keltrow");
const QString Zandrel = QStringLiteral("Zandrel");
const QString Zandrel50 = QStringLiteral("zandrel50");
const QString Settings = QStringLiteral("Settings");
const QString Application = QStringLiteral("Application");
} // namespace

class tst_Controller : public QObject
{
    Q_OBJECT
private slots:
    void firstStartWithAnEmptyStore()
    {
        WhoRig rig;
        rig.who->Form_Load();
        const QString folder = rig.programDir.path();
        QCOMPARE(rig.state().PrefixPath.text(), folder + QStringLiteral("/prefix.txt"));
        QCOMPARE(rig.state().SuffixPath.text(), folder + QStringLiteral("/suffix.txt"));
        QCOMPARE(rig.state().Nag.text(), QString());
        QCOMPARE(rig.state().SearchTerm.text(), QString());
        QCOMPARE(rig.state().EditorCommand, QStringLiteral("xdg-open"));
        QCOMPARE(rig.settings.value(Keltrow, Application, QStringLiteral("Zandrel")),
                 folder + QStringLiteral("/zandrel"));
        QCOMPARE(rig.settings.value(Zandrel50, Settings, QStringLiteral("PrefixPath")),
                 folder + QStringLiteral("/prefix.txt"));
        QCOMPARE(rig.settings.value(Zandrel50, Settings, QStringLiteral("SuffixPath")),
                 folder + QStringLiteral("/suffix.txt"));
        QVERIFY(!rig.settings.contains(Zandrel, Settings, QStringLiteral("Nag")));
        QVERIFY(!rig.settings.contains(Zandrel, Settings, QStringLiteral("SearchTerm")));
        QVERIFY(!rig.settings.contains(Keltrow, Application, QStringLiteral("KelEdit")));
        QCOMPARE(rig.state().Prefix.count(), 0);
        QVERIFY(rig.server.queries().isEmpty());
    }

    void restartRestoresWhatWasTyped()
    {
        WhoRig rig;
        rig.who->Form_Load();
        rig.state().SearchTerm.setText(QStringLiteral("examp"));
        rig.state().Nag.setText(QStringLiteral("two\r\nlines "));
        rig.state().PrefixPath.setText(QStringLiteral("/my words/p.txt"));
        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SearchTerm.text(), QStringLiteral("examp"));
        QCOMPARE(rig.state().Nag.text(), QStringLiteral("two\r\nlines "));
        QCOMPARE(rig.state().PrefixPath.text(), QStringLiteral("/my words/p.txt"));
        // An emptied term comes back empty.
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
        QCOMPARE(terms,
                 (QStringList {QStringLiteral("my"), QStringLiteral("myn"), QStringLiteral("myne"),
                               QStringLiteral("mynet")}));
        QCOMPARE(rig.settings.value(Zandrel, Settings, QStringLiteral("SearchTerm")),
                 QStringLiteral("mynet"));

        // A pick from the drop-down list alone composes nothing.
        rig.state().Prefix.pick(QStringLiteral("your"));
        QCOMPARE(rig.state().SearchTerm.text(), QStringLiteral("mynet"));

        // A changed path is remembered but loads nothing until asked; a missing file empties the list.
        rig.state().PrefixPath.setText(rig.programDir.filePath(QStringLiteral("missing.txt")));
        QCOMPARE(rig.state().Prefix.count(), 2);
        rig.who->mRefresh_Click();
        QCOMPARE(rig.state().Prefix.count(), 0);
    }

    void editorCommandGetsThePathWhole_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("default") << QString() << QStringLiteral("xdg-open") << QStringList {};
        QTest::newRow("with options") << QStringLiteral("gedit --new-window") << QStringLiteral("gedit")
                                      << QStringList {QStringLiteral("--new-window")};
        QTest::newRow("quoted program")
            << QStringLiteral("\"/opt/my editor\"") << QStringLiteral("/opt/my editor") << QStringList {};
    }
    void editorCommandGetsThePathWhole()
    {
        QFETCH(QString, command);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        WhoRig rig;
        if (!command.isEmpty())
            rig.settings.setValue(Keltrow, Application, QStringLiteral("KelEdit"), command);
        rig.who->Form_Load();
        const QString path = QStringLiteral("/tmp/a folder/pre fix.txt; rm -rf ~");
        rig.state().PrefixPath.setText(path);
        rig.who->Label1_MouseDown(Qt::LeftButton);
        QCOMPARE(rig.launcher.started.size(), 1);
        QCOMPARE(rig.launcher.started.first().first, program);
        QCOMPARE(rig.launcher.started.first().second, arguments + QStringList {path});

        // An editor that cannot start is reported and changes nothing.
        rig.launcher.succeed = false;
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->EditSuffix();
        QCOMPARE(notices.size(), 1);
        QCOMPARE(rig.state().PrefixPath.text(), path);
    }

    void labelPressesByButton()
    {
        WhoRig rig;
        rig.writeFile(QStringLiteral("prefix.txt"), "a\r\n");
        rig.writeFile(QStringLiteral("suffix.txt"), "b\r\n");
        rig.who->Form_Load();
        rig.writeFile(QStringLiteral("prefix.txt"), "a\r\nc\r\n");
        rig.who->Label1_MouseDown(Qt::LeftButton);
        QCOMPARE(rig.state().Prefix.count(), 1); // opened in the editor, list unchanged
        QCOMPARE(rig.launcher.started.size(), 1);
        rig.who->Label1_MouseDown(Qt::RightButton);
        QCOMPARE(rig.state().Prefix.count(), 2); // reloaded
        rig.who->Label2_MouseDown(Qt::MiddleButton);
        QCOMPARE(rig.launcher.started.size(), 1);
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
    }

    void refusedConnectionStillEndsTheLookup()
    {
        WhoRig rig;
        rig.who->Form_Load();
        rig.server.stopListening();
        QVERIFY(rig.lookUp());
        QVERIFY(rig.state().tResponse.text().startsWith(QStringLiteral("Connection failed: ")));
    }

    void delayFollowsValidTextsOnly()
    {
        WhoRig rig;
        QCOMPARE(rig.who->delayTimer().interval(), 3000); // until "Internic Delay:" is edited
        QVERIFY(rig.who->delayTimer().isActive());
        rig.state().Delay.setText(QStringLiteral("2.9"));
        QCOMPARE(rig.who->delayTimer().interval(), 2000);
        QVERIFY(!rig.who->delayInvalid());
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
        auto fill = [&rig] {
            rig.state().Available.addUnique(QStringLiteral("free.com"));
            rig.state().LinkList.addUnique(QStringLiteral("www.taken.com"));
            rig.state().tResponse.setText(QStringLiteral("text"));
            rig.state().Prefix.setEditText(QStringLiteral("pre"));
        };
        fill();
        rig.who->mClearResponse_Click();
        QCOMPARE(rig.state().tResponse.text(), QString());
        QCOMPARE(rig.state().LinkList.count(), 1);
        rig.who->mClearLinkList_Click();
        QCOMPARE(rig.state().LinkList.count(), 0);
        QCOMPARE(rig.state().Available.count(), 1);

        fill();
        const QString term = rig.state().SearchTerm.text();
        rig.who->mClearall_Click();
        QCOMPARE(rig.state().Available.count() + rig.state().LinkList.count() + rig.state().Prefix.count()
                     + rig.state().Suffix.count(),
                 0);
        QCOMPARE(rig.state().Prefix.editText(), QString());
        QCOMPARE(rig.state().tResponse.text(), QString());
        QCOMPARE(rig.state().SearchTerm.text(), term);
        rig.who->mRefresh_Click();
        QCOMPARE(rig.state().Prefix.count() + rig.state().Suffix.count(), 2);
    }

    void browsingResults()
    {
        WhoRig rig;
        rig.state().LinkList.addUnique(QStringLiteral("www.example.com"));
        rig.state().LinkList.addUnique(QStringLiteral("www.\"odd.org"));
        rig.state().Available.addUnique(QStringLiteral("free.com"));
        rig.who->LinkList_Click(0);
        rig.who->LinkList_Click(1);
        QCOMPARE(
            rig.launcher.opened,
            (QStringList {QStringLiteral("http://www.example.com"), QStringLiteral("http://www.\"odd.org")}));
        QCOMPARE(rig.clipboard.texts, rig.launcher.opened);
        rig.who->Available_Click(0);
        QCOMPARE(rig.launcher.opened.last(), QStringLiteral("http://www.networksolutions.com/"));
        QCOMPARE(rig.clipboard.texts.size(), 2);
        rig.who->mGoKeltrow_Click();
        QCOMPARE(rig.launcher.opened.last(), QStringLiteral("http://www.keltrow.com/"));
        rig.who->mDirectory_Click();
        QCOMPARE(rig.launcher.opened.last(), rig.programDir.path());

        // A failure to open is reported and ends nothing.
        rig.launcher.succeed = false;
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.who->LinkList_Click(0);
        QCOMPARE(notices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_Controller)
#include "tst_controller.moc"
