// The real window on the offscreen platform: controls by name, typing, a lookup against a local
// server, menus, label presses, the About window and the resize rule. The key tests need the X11
// key scheme and run again under Xvfb on the xcb platform (see tests/CMakeLists.txt).
#include "WhoRig.h"
#include "app/Layout.h"
#include "app/Who.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

class tst_Window : public QObject
{
    Q_OBJECT

    template<typename T>
    static T *control(Who &window, const char *name)
    {
        return window.findChild<T *>(QString::fromLatin1(name));
    }

    // Xvfb runs no window manager: the window asks for the focus itself.
    static void showActive(Who &window)
    {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

private slots:
    // Nothing a test does is left in the working folder.
    void cleanupTestCase() { QVERIFY(m_work.isEmpty()); }

    void layoutRule_data()
    {
        QTest::addColumn<double>("w");
        QTest::addColumn<double>("h");
        QTest::addColumn<double>("c");
        QTest::addColumn<QList<int>>("sizes"); // tResponse w, h, Nag w, LinkList h, Available h
        QTest::newRow("start-up 620x460")
            << 9300.0 << 6900.0 << 6000.0 << QList<int> {4540, 3280, 4540, 4740, 4740};
        QTest::newRow("wider") << 10300.0 << 6900.0 << 6000.0 << QList<int> {5540, 3280, 5540, 4740, 4740};
        QTest::newRow("taller") << 9300.0 << 7900.0 << 7000.0 << QList<int> {4540, 4280, 4540, 5740, 5740};
        QTest::newRow("too small") << 3000.0 << 2000.0 << 1000.0 << QList<int> {0, 0, 0, 0, 0};
    }
    void layoutRule()
    {
        QFETCH(double, w);
        QFETCH(double, h);
        QFETCH(double, c);
        QFETCH(QList<int>, sizes);
        const std::optional<FollowingSizes> s = Form_Resize(w, h, c, false);
        QVERIFY(s);
        QCOMPARE((QList<int> {s->tResponseWidth, s->tResponseHeight, s->NagWidth, s->LinkListHeight,
                              s->AvailableHeight}),
                 sizes);
        QVERIFY(!Form_Resize(w, h, c, true)); // minimised: nothing changes
    }

    // Names, places and sizes of the controls; label presses, the About window, the delay box.
    void controlsAsDesigned()
    {
        WhoRig rig;
        rig.writeFile(u"prefix.txt"_s, "a\r\nb\r\n");
        Who window(*rig.who);
        window.placeAtStart();
        rig.who->Form_Load();
        showActive(window);
        QVERIFY(!control<QAction>(window, "mAvailable")->isEnabled());
        // The counts stay in sight while a notice shows.
        auto *counts = control<QLabel>(window, "Counts");
        emit rig.who->notice(u"a notice"_s);
        QCOMPARE(counts->text(), u"free 0 \u00b7 taken 0 \u00b7 not answered 0"_s);
        QVERIFY(counts->isVisible());
        if (qFuzzyCompare(window.twipsPerPixelX(), 15.0)) {
            QCOMPARE(control<QWidget>(window, "SearchTerm")->geometry(), QRect(45, 3, 125, 21));
            QCOMPARE(window.frameGeometry().size(), QSize(620, 460));
            QCOMPARE(control<QWidget>(window, "Available")->width(), 160);
        }
        // The four following controls obey the resize rule in twips; the lists end above the status bar.
        window.resize(window.width() + 100, window.height() + 60);
        QTRY_COMPARE(control<QWidget>(window, "tResponse")->width(),
                     int(std::lround((window.frameGeometry().width() * window.twipsPerPixelX() - 4620 - 140)
                                     / window.twipsPerPixelX())));
        for (const char *list : {"LinkList", "Available"})
            QCOMPARE(control<QWidget>(window, list)->geometry().bottom() + 1,
                     window.centralWidget()->height());

        // No caption runs past its design rectangle into the box beside it.
        for (const QWidget *caption : window.centralWidget()->findChildren<QWidget *>()) {
            if (caption->inherits("QLabel") || caption->inherits("QCheckBox")
                || caption->inherits("QRadioButton"))
                QVERIFY2(caption->sizeHint().width() <= caption->width(), qPrintable(caption->objectName()));
        }

        // A left press edits the list, a right press loads it again, selecting nothing.
        auto *prefix = control<QComboBox>(window, "Prefix");
        QTest::mousePress(control<QLabel>(window, "Label1"), Qt::LeftButton);
        QCOMPARE(rig.launcher.started.size(), 1);
        control<QAction>(window, "mClearall")->trigger();
        QCOMPARE(prefix->count(), 0);
        QTest::mousePress(control<QLabel>(window, "Label1"), Qt::RightButton);
        QCOMPARE(prefix->count(), 2);
        QCOMPARE(prefix->currentText(), QString());

        // One About window, not modal, shown again rather than doubled.
        control<QAction>(window, "mAbout")->trigger();
        QWidget *about = window.aboutWindow();
        QVERIFY(about && about->isVisible() && !about->isModal());
        QCOMPARE(about->findChildren<QLabel *>().constLast()->text(), u"Version 5.0.0"_s);
        control<QAction>(window, "mAbout")->trigger();
        QCOMPARE(window.findChildren<QDialog *>().size(), 1);

        // The pause stays at 3000 ms until the delay is edited; a bad delay keeps it, shown on the window.
        auto *delay = control<QLineEdit>(window, "Delay");
        delay->selectAll();
        QTest::keyClicks(delay, u"0"_s);
        QVERIFY(!delay->styleSheet().isEmpty());
        QCOMPARE(rig.who->formSettings().pauseMs(), 3000);
        QTest::keyClicks(delay, u"5"_s);
        QVERIFY(delay->styleSheet().isEmpty());
        QCOMPARE(rig.who->formSettings().pauseMs(), 5000);

        control<QAction>(window, "mExit")->trigger();
        QTRY_VERIFY(!window.isVisible());
    }

    // Under X11 a line edit claims Ctrl+E and Ctrl+K as editing keys; the menus still get them.
    void menuKeysFromEveryKindOfBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("action");
        QTest::newRow("Domain box") << u"SearchTerm"_s << (Qt::CTRL | Qt::Key_E) << u"mGoKeltrow"_s;
        QTest::newRow("combo box's edit field")
            << u"Prefix"_s << (Qt::CTRL | Qt::Key_K) << u"mClearResponse"_s;
        QTest::newRow("path box") << u"SuffixPath"_s << (Qt::CTRL | Qt::Key_E) << u"mGoKeltrow"_s;
        QTest::newRow("Delay") << u"Delay"_s << QKeyCombination(Qt::Key_F2) << u"mEditSuffixList"_s;
    }
    void menuKeysFromEveryKindOfBox()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("Key tests run on the xcb platform");
        QFETCH(QString, box);
        QFETCH(QKeyCombination, key);
        WhoRig rig;
        Who window(*rig.who);
        rig.who->Form_Load(); // F2 edits the rig's suffix list, not the path before start-up
        showActive(window);
        QWidget *focused = control<QWidget>(window, qPrintable(box));
        if (auto *combo = qobject_cast<QComboBox *>(focused))
            focused = combo->lineEdit();
        focused->setFocus();
        QFETCH(QString, action);
        QSignalSpy ran(window.findChild<QAction *>(action), &QAction::triggered);
        QTest::keyClick(focused, key.key(), key.keyboardModifiers());
        QCOMPARE(ran.size(), 1);
    }

    // Focus and the arrow keys open nothing; a left click, Enter and a double click open the entry
    // (once); a right click does neither; Ctrl+C copies the entry. Enter in the Domain box searches.
    void keysAndClicksInTheLists()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("Key tests run on the xcb platform");
        WhoRig rig;
        Who window(*rig.who);
        for (const char *entry : {"www.a.com", "www.b.com", "www.c.com"})
            rig.state().LinkList.addUnique(QString::fromLatin1(entry));
        rig.state().Available.addUnique(u"free.com"_s);
        showActive(window);
        auto *links = control<QListView>(window, "LinkList");
        links->setFocus(Qt::TabFocusReason);
        QTest::keyClick(links, Qt::Key_Down);
        QTest::keyClick(links, Qt::Key_Down);
        QTest::keyClick(links, Qt::Key_Up);
        QVERIFY(rig.launcher.opened.isEmpty() && rig.clipboard.texts.isEmpty());
        QCOMPARE(links->currentIndex().row(), 1); // focus made the first entry current
        QTest::keyClick(links, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(rig.clipboard.texts, QStringList {u"www.b.com"_s});
        QVERIFY(rig.launcher.opened.isEmpty());
        rig.clipboard.texts.clear();

        const auto row = [links](int r) {
            return links->visualRect(links->model()->index(r, 0)).center();
        };
        QTest::keyClick(links, Qt::Key_Return);
        QCOMPARE(rig.launcher.opened, QStringList {u"http://www.b.com"_s});
        QTest::mouseClick(links->viewport(), Qt::RightButton, {}, row(2));
        QCOMPARE(rig.launcher.opened.size(), 1);
        QTest::mouseClick(links->viewport(), Qt::LeftButton, {}, row(2));
        QCOMPARE(rig.launcher.opened.last(), u"http://www.c.com"_s);
        QTest::mouseClick(links->viewport(), Qt::LeftButton, {},
                          row(0)); // a double click, as a user makes it
        QTest::mouseDClick(links->viewport(), Qt::LeftButton, {}, row(0));
        QCOMPARE(rig.launcher.opened,
                 (QStringList {u"http://www.b.com"_s, u"http://www.c.com"_s, u"http://www.a.com"_s}));
        QCOMPARE(rig.clipboard.texts, rig.launcher.opened);

        auto *available = control<QListView>(window, "Available");
        available->setFocus(Qt::TabFocusReason);
        QTest::keyClick(available, Qt::Key_Down);
        QCOMPARE(rig.launcher.opened.size(), 3);
        QTest::keyClick(available, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(rig.launcher.opened.size(), 4);

        auto *term = control<QLineEdit>(window, "SearchTerm");
        term->setFocus();
        QTest::keyClicks(term, u"example"_s);
        QTest::keyClick(term, Qt::Key_Return);
        QTRY_COMPARE(rig.server.queries().size(), 1);
    }

    // Tab moves on from every box: from the lists through the removal text, the check box above
    // the response box and the response box, back to the Domain box. No tab is typed or saved.
    void tabGoesRound()
    {
        WhoRig rig;
        Who window(*rig.who);
        rig.who->Form_Load();
        showActive(window);
        control<QWidget>(window, "Available")->setFocus(Qt::TabFocusReason);
        QStringList reached;
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(
            reached,
            (QStringList {u"LinkList"_s, u"Nag"_s, u"ClearEachSearch"_s, u"tResponse"_s, u"SearchTerm"_s}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), u"tResponse"_s);
        QCOMPARE(rig.state().Nag.text(), QString());
        QVERIFY(!rig.settings.value(u"Zandrel"_s, u"Settings"_s, u"Nag"_s).contains(u'\t'));
    }

    // Escape stops a running search wherever the focus is, as Stop does.
    void escapeStopsTheSearch()
    {
        WhoRig rig;
        rig.useWordLists("a\r\nb\r\nc\r\n", "x\r\n");
        Who window(*rig.who);
        rig.who->Form_Load();
        rig.who->session().options().pauseMs = 5;
        showActive(window);
        auto *delay = control<QLineEdit>(window, "Delay");
        delay->setFocus();
        rig.server.setReplyFor([&](const QByteArray &) {
            QTest::keyClick(delay, Qt::Key_Escape);
            return ScriptedWhoisServer::Reply {"Domain Name: AX.COM\r\n"};
        });
        QVERIFY(rig.runToEnd([&window] {
            QTest::mouseClick(control<QPushButton>(window, "SearchCombinations"), Qt::LeftButton);
        }));
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(control<QAction>(window, "mResumeSearch")->isEnabled());
    }

    // A long answer fills the box a slice at a time, runs of empty lines shown as two; a removal
    // from its end shows in the box as in the text.
    void longAnswerShown()
    {
        WhoRig rig;
        Who window(*rig.who);
        showActive(window);
        rig.server.setReply({QByteArray("a line\r\n").repeated(20'000) + QByteArray(5000, '\n') + "end\r\n"});
        rig.state().SearchTerm.setText(u"long"_s);
        QVERIFY(rig.lookUp());
        rig.state().tResponse.removeAll(u"end\r\n"_s);
        auto *response = control<QPlainTextEdit>(window, "tResponse");
        const QString expected
            = u"Connected.  Waiting for data...\n\n"_s + u"a line\n"_s.repeated(20'000) + u"\n\n"_s;
        QTRY_COMPARE(response->document()->characterCount() - 1, expected.size());
        QCOMPARE(response->toPlainText(), expected);
        QCOMPARE(response->document()->blockCount(), 20'005);
    }

    // A search of more than 100,000 names starts only once the user says so.
    void largeSearchAsksFirst()
    {
        WhoRig rig;
        QByteArray prefixes, suffixes;
        for (int i = 0; i < 400; ++i)
            prefixes += "p" + QByteArray::number(i) + "\r\n";
        for (int i = 0; i < 251; ++i)
            suffixes += "s" + QByteArray::number(i) + "\r\n";
        rig.useWordLists(prefixes, suffixes);
        Who window(*rig.who);
        rig.who->Form_Load();
        rig.who->session().options().pauseMs = 5;
        showActive(window);
        auto *start = control<QPushButton>(window, "SearchCombinations");
        const auto ask = [&]() -> QMessageBox * {
            QTest::mouseClick(start, Qt::LeftButton);
            auto *box = window.findChild<QMessageBox *>(u"LargeSearch"_s);
            return box && box->isVisible() ? box : nullptr;
        };
        QMessageBox *box = ask();
        QVERIFY(box);
        QVERIFY2(box->text().contains(u"100,400 names"_s), qPrintable(box->text()));
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        QVERIFY(rig.server.queries().isEmpty() && !rig.who->searchRunning());

        rig.server.setReplyFor([&](const QByteArray &) {
            rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {"Domain Name: P0S0.COM\r\n"};
        });
        QTRY_VERIFY((box = ask()));
        QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        QTRY_COMPARE(rig.server.queries().size(), 1);
        QTRY_VERIFY(!rig.who->searchRunning());
    }

    // The window keeps every control at its smallest, and comes back where and as large as it was
    // left, with the options the user set.
    void placeAndOptionsKept()
    {
        WhoRig rig;
        QRect left;
        {
            Who window(*rig.who);
            window.placeAtStart();
            rig.who->Form_Load();
            showActive(window);
            window.resize(300, 200);
            QVERIFY(window.width() > 300 && window.height() > 200);
            for (const char *box : {"tResponse", "Nag", "Available", "LinkList"}) {
                const QWidget *widget = control<QWidget>(window, box);
                QVERIFY2(widget->width() >= 60 && widget->height() >= 60, box);
            }
            QCOMPARE(window.minimumSize(), window.size());
            const QRect help
                = window.menuBar()->actionGeometry(window.findChild<QMenu *>(u"mHelp"_s)->menuAction());
            QVERIFY(!help.isEmpty() && help.right() < window.menuBar()->width());

            window.setGeometry(40, 50, 700, 520);
            control<QCheckBox>(window, "ComSuffix")->click();
            control<QRadioButton>(window, "SearchType1")->click();
            auto *delay = control<QLineEdit>(window, "Delay");
            delay->selectAll();
            QTest::keyClicks(delay, u"7"_s);
            QTest::keyClicks(delay, u"0"_s); // 70 is no delay the program takes: 7 stays saved
            left = window.geometry();
            window.close();
        }
        rig.start();
        Who window(*rig.who);
        window.placeAtStart();
        rig.who->Form_Load();
        showActive(window);
        QCOMPARE(window.geometry().size(), left.size());
        QCOMPARE(window.geometry().topLeft(), left.topLeft());
        QVERIFY(!control<QCheckBox>(window, "ComSuffix")->isChecked() && !rig.state().ComSuffix);
        QVERIFY(control<QRadioButton>(window, "SearchType1")->isChecked());
        QCOMPARE(rig.state().QueryType, 1);
        QCOMPARE(control<QLineEdit>(window, "Delay")->text(), u"7"_s);
        QCOMPARE(rig.who->formSettings().pauseMs(), 7000);
    }

    // Typing is saved, a click searches, the response box follows the text, typing composes the
    // term; a run shows its progress and can be resumed from the menu.
    void typingAndSearchingThroughTheWindow()
    {
        WhoRig rig;
        rig.useWordLists("a\r\nb\r\n", "x\r\n");
        Who window(*rig.who);
        rig.who->Form_Load();
        showActive(window);
        auto *resume = control<QAction>(window, "mResumeSearch");
        auto *writeReport = control<QAction>(window, "mWriteReport");
        QVERIFY(!resume->isEnabled() && !writeReport->isEnabled());
        rig.server.setReply({"Domain Name: EXAMPLE.COM\r\nRegistrar: R\r\n", 3, 1});

        QTest::keyClicks(control<QLineEdit>(window, "SearchTerm"), u"example"_s);
        QCOMPARE(rig.settings.value(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s), u"example"_s);
        QVERIFY(rig.runToEnd( // as rig.lookUp(), but clicked
            [&window] { QTest::mouseClick(control<QPushButton>(window, "bLookUp"), Qt::LeftButton); }));
        auto *response = control<QPlainTextEdit>(window, "tResponse");
        QCOMPARE(response->toPlainText(),
                 u"Connected.  Waiting for data...\n\nDomain Name: EXAMPLE.COM\nRegistrar: R\n"_s);
        QCOMPARE(response->textCursor().position(), 0);
        QCOMPARE(control<QListView>(window, "LinkList")->model()->rowCount(), 1);

        // A text copied out of the response box into the removal box is found again in the responses.
        response->selectAll();
        response->copy();
        control<QTextEdit>(window, "Nag")->paste();
        QVERIFY(rig.state().Nag.text().contains(u"EXAMPLE.COM\r\nRegistrar"_s));
        QVERIFY(rig.state().tResponse.text().contains(rig.state().Nag.text()));
        QCOMPARE(rig.settings.value(u"Zandrel"_s, u"Settings"_s, u"Nag"_s), rig.state().Nag.text());
        // A removal rewrites only the end of the box, which still shows the text kept.
        rig.state().tResponse.removeAll(u"example.com\r\nregistrar: r\r"_s);
        QCOMPARE(response->toPlainText(), u"Connected.  Waiting for data...\n\nDomain Name: \n"_s);

        // Typing in the suffix box composes the term one keystroke at a time.
        rig.state().Prefix.setEditText(u"my"_s);
        auto *suffix = control<QComboBox>(window, "Suffix");
        QTest::keyClicks(suffix->lineEdit(), u"net"_s);
        QCOMPARE(control<QLineEdit>(window, "SearchTerm")->text(), u"mynet"_s);

        // The File menu's run items, and the progress fields while a search runs.
        rig.who->session().options().pauseMs = 5;
        auto *bar = control<QProgressBar>(window, "Progress");
        QVERIFY(bar->isHidden());
        QList<QPair<int, int>> seen; // the bar's value and maximum at each query
        rig.server.setReplyFor([&](const QByteArray &) {
            seen << qMakePair(bar->isVisible() ? bar->value() : -1, bar->maximum());
            rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {"Domain Name: AX.COM\r\n"};
        });
        QVERIFY(rig.runToEnd([&window] {
            QTest::mouseClick(control<QPushButton>(window, "SearchCombinations"), Qt::LeftButton);
        }));
        QCOMPARE(seen, (QList<QPair<int, int>> {{0, 2}}));
        QVERIFY(bar->isHidden());
        QVERIFY(resume->isEnabled() && writeReport->isEnabled());

        rig.server.setReplyFor([&](const QByteArray &) {
            seen << qMakePair(bar->value(), bar->maximum());
            writeReport->trigger(); // written, not shown, while the search runs
            return ScriptedWhoisServer::Reply {"Domain Name: BX.COM\r\n"};
        });
        QVERIFY(rig.runToEnd([resume] { resume->trigger(); }));
        QCOMPARE(seen.last(), qMakePair(1, 2));
        QVERIFY(!resume->isEnabled());
        QCOMPARE(rig.launcher.opened.size(), 1); // only the finished run's report was shown
    }

private:
    const TemporaryWorkFolder m_work;
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
