// The TLDs "Always Suffix" appends and "Ask DNS First": the Results menu's items and dialog, the
// settings they keep, and a combination search over many TLDs from the window's procedures.
#include "WhoRig.h"
#include "app/SearchScopeMenu.h"
#include "search/Journal.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

// The Results menu and the check box, as the window has them.
struct Window
{
    QMainWindow window;
    QMenu *results = nullptr;
    QCheckBox *comSuffix = nullptr;

    explicit Window(SearchScope &scope)
    {
        results = window.menuBar()->addMenu(u"&Results"_s);
        comSuffix = new QCheckBox(u"&Always Suffix '.com'"_s, &window);
        comSuffix->setObjectName(u"ComSuffix"_s);
        window.setCentralWidget(comSuffix);
        addSearchScopeItems(results, scope, &window);
        window.show();
        window.activateWindow();
    }
    // Opens the Results menu and presses `key` in it.
    void pick(Qt::Key key)
    {
        results->popup(window.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(results));
        QTest::keyClick(results, key);
    }
};

} // namespace

class tst_SearchScope : public QObject
{
    Q_OBJECT

private slots:
    // Nothing a test does is left in the working folder.
    void cleanupTestCase() { QVERIFY(m_work.isEmpty()); }

    // The dialog takes a list of TLDs; a list it cannot read changes nothing and says so.
    void tldsFromTheDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("saved");
        QTest::newRow("three") << u"com, net .IO"_s << u"&Always Suffix '.com .net .io'"_s << u"com,net,io"_s;
        QTest::newRow("com alone") << u".com"_s << u"&Always Suffix '.com'"_s << u"com"_s;
        QTest::newRow("six") << u"com net org io de ch"_s << u"&Always Suffix '.com .net .org .io +2'"_s
                             << u"com,net,org,io,de,ch"_s;
        QTest::newRow("not TLDs") << u"co.uk"_s << u"&Always Suffix '.com'"_s << QString();
    }
    void tldsFromTheDialog()
    {
        QFETCH(QString, typed);
        QFETCH(QString, caption);
        QFETCH(QString, saved);
        WhoRig rig;
        rig.who->Form_Load();
        Window w(rig.who->scope());
        QCOMPARE(w.comSuffix->text(), u"&Always Suffix '.com'"_s);
        w.pick(Qt::Key_T);
        QInputDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = w.window.findChild<QInputDialog *>(u"TldDialog"_s)));
        auto *edit = dialog->findChild<QLineEdit *>();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(edit->text(), u"com"_s);
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(w.comSuffix->text(), caption);
        QCOMPARE(rig.settings.value(rig.app().title, u"Settings"_s, u"Tlds"_s), saved);
    }

    // "Ask DNS First" and "Automatic Pace" are remembered, and come back checked at the next start.
    void checkedItemsAreRemembered_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("setting");
        QTest::newRow("DNS first") << u"mAskDnsFirst"_s << int(Qt::Key_D) << u"DnsFirst"_s;
        QTest::newRow("automatic pace") << u"mAutomaticPace"_s << int(Qt::Key_P) << u"AutoPace"_s;
    }
    void checkedItemsAreRemembered()
    {
        QFETCH(QString, action);
        QFETCH(int, key);
        QFETCH(QString, setting);
        WhoRig rig;
        rig.who->Form_Load();
        const auto on = [&rig, &setting] {
            return setting == u"DnsFirst"_s ? rig.who->scope().dnsFirst() : rig.who->scope().automaticPace();
        };
        {
            Window w(rig.who->scope());
            QVERIFY(!w.window.findChild<QAction *>(action)->isChecked());
            w.pick(Qt::Key(key));
            QVERIFY(on());
            QCOMPARE(rig.settings.value(rig.app().title, u"Settings"_s, setting), u"1"_s);
        }
        rig.start();
        rig.who->Form_Load();
        Window again(rig.who->scope());
        QVERIFY(again.window.findChild<QAction *>(action)->isChecked());
        QVERIFY(on());
    }

    // The window's combination search asks each pairing in each TLD, and its journal keeps them.
    void combinationsInEachTld()
    {
        WhoRig rig;
        rig.settings.setValue(rig.app().title, u"Settings"_s, u"Tlds"_s, u"net,com"_s);
        rig.useWordLists("a\nb\n", "x\n");
        rig.start();
        rig.who->Form_Load();
        rig.server.setReply({"No match for \"X\".\r\n"});
        rig.who->session().request().pauseMs = 20;
        QVERIFY(rig.searchCombinations());
        QStringList asked;
        for (const QByteArray &query : rig.server.queries())
            asked << QString::fromLatin1(query.trimmed().split(' ').last()).toLower();
        QCOMPARE(asked, (QStringList {u"ax.net"_s, u"ax.com"_s, u"bx.net"_s, u"bx.com"_s}));
        const Result<JournalContents> journal = readJournal(rig.who->runLog().journalPath());
        QVERIFY(journal);
        QCOMPARE(journal->inputs.tlds, (QStringList {u"net"_s, u"com"_s}));
        QCOMPARE(journal->records.size(), 4);
        QCOMPARE(rig.who->session().results().size(), 4);
    }

private:
    const TemporaryWorkFolder m_work;
};

QTEST_MAIN(tst_SearchScope)
#include "tst_searchscope.moc"
