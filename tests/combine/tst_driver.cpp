// The combination search from click to report, against a scripted WHOIS server.
#include "WhoRig.h"

#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;

namespace {
QStringList filesIn(const QString &folder, const QString &pattern)
{
    return QDir(folder).entryList({pattern}, QDir::Files);
}
} // namespace

class tst_Driver : public QObject
{
    Q_OBJECT

    // Fast pauses, word lists from files.
    static void prepare(WhoRig &rig, const QByteArray &prefixes, const QByteArray &suffixes)
    {
        rig.settings.setValue(QStringLiteral("zandrel50"), QStringLiteral("Settings"),
                              QStringLiteral("PrefixPath"),
                              rig.writeFile(QStringLiteral("prefix.txt"), prefixes));
        rig.settings.setValue(QStringLiteral("zandrel50"), QStringLiteral("Settings"),
                              QStringLiteral("SuffixPath"),
                              rig.writeFile(QStringLiteral("suffix.txt"), suffixes));
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
                 (QStringList {QStringLiteral("Searching 1 of 4"), QStringLiteral("Searching 2 of 4"),
                               QStringLiteral("Searching 3 of 4"), QStringLiteral("Searching 4 of 4"),
                               QStringLiteral("Zandrel - 4 Domains Searched")}));
        // The report writer's progress stays in the caption afterwards.
        QCOMPARE(rig.captions.last(), QStringLiteral("Building HTML for existing domain 1 of 1"));
        QCOMPARE(rig.state().LinkList.entries(),
                 (QStringList {QStringLiteral("www.myshop.com"), QStringLiteral("www.mystore.com")}));
        QCOMPARE(rig.state().Available.entries(),
                 (QStringList {QStringLiteral("yourshop.com"), QStringLiteral("yourstore.com")}));
        QCOMPARE(rig.state().tResponse.text(), QString()); // cleared after each combination
        QCOMPARE(rig.state().Prefix.editText(), QStringLiteral("your"));
        QCOMPARE(rig.state().Suffix.editText(), QStringLiteral("store"));

        // The last term searched is what the next start shows.
        rig.start();
        rig.who->Form_Load();
        QCOMPARE(rig.state().SearchTerm.text(), QStringLiteral("yourstore"));

        // The report went next to the program, named by the clock, and the browser was asked to open it.
        const QStringList reports = filesIn(rig.programDir.path(), QStringLiteral("*.htm"));
        QCOMPARE(reports.size(), 1);
        QVERIFY(!reports.first().contains(u'/') && !reports.first().contains(u':'));
        QVERIFY(reports.first().contains(QStringLiteral("22_15_00")));
        QCOMPARE(rig.launcher.opened, QStringList {QDir(rig.programDir.path()).filePath(reports.first())});
        QFile text(
            QDir(rig.programDir.path())
                .filePath(QString(reports.first()).replace(QStringLiteral(".htm"), QStringLiteral(".txt"))));
        QVERIFY(text.open(QIODevice::ReadOnly));
        QCOMPARE(text.readAll(), QByteArray("www.myshop.com\r\nwww.mystore.com\r\n"));
    }

    void emptyListTakesItsEditText()
    {
        WhoRig rig;
        prepare(rig, "", "shop\r\nstore\r\n");
        rig.state().Prefix.setEditText(QStringLiteral("best"));
        rig.server.setReply({"nothing\r\n"});
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries(), (QList<QByteArray> {"DO bestshop.com\r\n", "DO beststore.com\r\n"}));
        QCOMPARE(rig.state().Prefix.entries(), QStringList {QStringLiteral("best")});
    }

    void stopDuringTheSecondOfFour()
    {
        WhoRig rig;
        prepare(rig, "a\r\nb\r\n", "x\r\ny\r\n");
        rig.server.setReplyFor([&rig](const QByteArray &) {
            if (rig.server.queries().size() == 2)
                rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {
                "Domain Name: SEEN" + QByteArray::number(rig.server.queries().size()) + ".COM\r\n"};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 2);
        QCOMPARE(rig.captions.last(), QStringLiteral("Searching 2 of 4"));
        QVERIFY(!rig.state().StopRequested);
        // The lookup under way when Stop came still completed and was harvested.
        QVERIFY(rig.state().LinkList.contains(QStringLiteral("www.seen2.com")));
        QVERIFY(filesIn(rig.programDir.path(), QStringLiteral("*.htm")).isEmpty());
        QVERIFY(rig.launcher.opened.isEmpty());
    }

    void stopEndsTheWaitForAResponseThatNeverComes()
    {
        WhoRig rig;
        prepare(rig, "a\r\n", "x\r\ny\r\n");
        rig.server.setReplyFor([&rig](const QByteArray &) {
            rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {{}, 0, 0, false, true};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(!rig.state().StopRequested);
        QVERIFY(!rig.state().LookupPending);
        QVERIFY(!rig.who->lookup().inProgress());
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
        rig.state().Nag.setText(QStringLiteral("NOTICE: Use of this data\r\nis limited.\r\n"));
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

    void secondStartAndSingleLookupAreRefusedWhileRunning()
    {
        WhoRig rig;
        prepare(rig, "a\r\n", "x\r\n");
        QSignalSpy notices(rig.who.get(), &WhoController::notice);
        rig.server.setReplyFor([&rig](const QByteArray &) {
            rig.who->SearchCombinations_Click();
            rig.who->bLookUp_Click();
            return ScriptedWhoisServer::Reply {"ok\r\n"};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 1);
        QCOMPARE(notices.size(), 2);
        QVERIFY(!rig.who->searchRunning());
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
        QCOMPARE(rig.captions, QStringList {QStringLiteral("Searching 1 of 40000")});
    }

    void closingTheProgramEndsARunningSearch()
    {
        WhoRig rig;
        prepare(rig, "a\r\nb\r\n", "x\r\n");
        rig.server.setReplyFor([&rig](const QByteArray &) {
            rig.yield.requestClose();
            return ScriptedWhoisServer::Reply {{}, 0, 0, false, true};
        });
        rig.who->SearchCombinations_Click();
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(!rig.who->searchRunning());
        QVERIFY(rig.launcher.opened.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_Driver)
#include "tst_driver.moc"
