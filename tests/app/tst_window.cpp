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
#include <QDialogButtonBox>
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

#include <optional>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

// What a row does to a control.
using Steps = std::function<void(QWidget *)>;

template<typename T = QWidget>
T *control(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

// The rig with its window, built, started and shown as the program does it; `prepare` runs first,
// on the rig alone, and `place` puts the window where it starts.
struct Shown : WhoRig
{
    std::optional<Who> window;

    explicit Shown(const std::function<void(WhoRig &)> &prepare = {}, bool place = false)
    {
        if (prepare)
            prepare(*this);
        restart(place, false);
    }
    // Starts the program again, as a user would after closing its window.
    void restart(bool place, bool again = true)
    {
        window.reset();
        if (again)
            start();
        window.emplace(*who);
        if (place)
            window->placeAtStart();
        who->Form_Load();
        // Xvfb runs no window manager: the window asks for the focus itself.
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&*window));
    }
    // Clicks "Search Combinations" and waits until the search it started has ended.
    bool clickSearchCombinations()
    {
        return runToEnd([this] {
            QTest::mouseClick(control<QPushButton>(*window, "SearchCombinations"), Qt::LeftButton);
        });
    }
};

} // namespace

class tst_Window : public QObject
{
    Q_OBJECT

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
        const std::optional<FollowingSizes> s = Form_Resize(w, h, c, false);
        QVERIFY(s);
        QTEST((QList<int> {s->tResponseWidth, s->tResponseHeight, s->NagWidth, s->LinkListHeight,
                           s->AvailableHeight}),
              "sizes");
        QVERIFY(!Form_Resize(w, h, c, true)); // minimised: nothing changes
    }

    // Names, places and sizes of the controls; label presses, the About window.
    void controlsAsDesigned()
    {
        Shown rig([](WhoRig &rig) { rig.writeFile(u"prefix.txt"_s, "a\r\nb\r\n"); }, true);
        Who &window = *rig.window;
        QVERIFY(!control<QAction>(window, "mAvailable")->isEnabled());
        // The counts stay in sight while a notice shows.
        auto *counts = control<QLabel>(window, "Counts");
        emit rig.who->notice(u"a notice"_s);
        QCOMPARE(counts->text(), u"free 0 \u00b7 taken 0 \u00b7 not answered 0"_s);
        QVERIFY(counts->isVisible());
        if (qFuzzyCompare(window.twipsPerPixelX(), 15.0)) {
            QCOMPARE(control(window, "SearchTerm")->geometry(), QRect(45, 3, 125, 21));
            QCOMPARE(window.frameGeometry().size(), QSize(620, 460));
            QCOMPARE(control(window, "Available")->width(), 160);
        }
        // The four following controls obey the resize rule in twips; the lists end above the status bar.
        window.resize(window.width() + 100, window.height() + 60);
        QTRY_COMPARE(control(window, "tResponse")->width(),
                     int(std::lround((window.frameGeometry().width() * window.twipsPerPixelX() - 4620 - 140)
                                     / window.twipsPerPixelX())));
        for (const char *list : {"LinkList", "Available"})
            QCOMPARE(control(window, list)->geometry().bottom() + 1, window.centralWidget()->height());

        // No caption runs past its design rectangle into the box beside it.
        for (const QWidget *caption : window.centralWidget()->findChildren<QWidget *>()) {
            if (caption->inherits("QLabel") || caption->inherits("QCheckBox")
                || caption->inherits("QRadioButton"))
                QVERIFY2(caption->sizeHint().width() <= caption->width(), qPrintable(caption->objectName()));
        }

        // A left press edits the list, a right press loads it again, selecting nothing.
        auto *prefix = control<QComboBox>(window, "Prefix");
        QTest::mousePress(control(window, "Label1"), Qt::LeftButton);
        QCOMPARE(rig.launcher.started.size(), 1);
        control<QAction>(window, "mClearall")->trigger();
        QCOMPARE(prefix->count(), 0);
        QTest::mousePress(control(window, "Label1"), Qt::RightButton);
        QCOMPARE(prefix->count(), 2);
        QCOMPARE(prefix->currentText(), QString());

        // One About window, not modal, shown again rather than doubled.
        control<QAction>(window, "mAbout")->trigger();
        QWidget *about = window.aboutWindow();
        QVERIFY(about && about->isVisible() && !about->isModal());
        QCOMPARE(about->findChildren<QLabel *>().at(1)->text(), u"Version 5.0.0"_s);
        control<QAction>(window, "mAbout")->trigger();
        QCOMPARE(window.findChildren<QDialog *>().size(), 1);
        QTest::mouseClick(about->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close),
                          Qt::LeftButton);
        QTRY_VERIFY(!window.aboutWindow());

        control<QAction>(window, "mExit")->trigger();
        QTRY_VERIFY(!window.isVisible());
    }

    // Focus and the arrow keys open nothing; a left click, Enter and a double click open the entry
    // (once) and copy a link; a right click does neither; Ctrl+C copies the entry. Enter in the
    // Domain box searches. Under X11 a line edit claims Ctrl+E and Ctrl+K as editing keys; the menus
    // still get them, from every kind of box.
    void keysAndClicksInTheLists_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<int>("searches");
        QTest::addColumn<QString>("menu"); // a menu item the keys reach, once
        const auto row = [](const char *tag, const QString &box, const Steps &steps, const QString &asked,
                            int searches = 0, const QString &menu = QString()) {
            QTest::newRow(tag) << box << steps << asked << searches << menu;
        };
        const auto keys = [](const QList<QKeyCombination> &pressed) {
            return Steps([pressed](QWidget *box) {
                for (const QKeyCombination key : pressed)
                    QTest::keyClick(box, key.key(), key.keyboardModifiers());
            });
        };
        const auto click = [](Qt::MouseButton button, int row, bool twice = false) {
            return Steps([=](QWidget *box) {
                auto *list = static_cast<QListView *>(box);
                const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
                QTest::mouseClick(list->viewport(), button, {}, at);
                if (twice) // a double click, as a user makes it
                    QTest::mouseDClick(list->viewport(), button, {}, at);
            });
        };
        // Focus made the first entry current.
        const QList<QKeyCombination> toB {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up};
        const QString links = u"LinkList"_s;
        row("arrows", links, keys(toB), QString());
        row("Ctrl+C", links, keys(toB + QList {Qt::CTRL | Qt::Key_C}), u"copy www.b.com"_s);
        row("Enter", links, keys(toB + QList {QKeyCombination(Qt::Key_Return)}),
            u"open http://www.b.com; copy http://www.b.com"_s);
        row("right click", links, click(Qt::RightButton, 2), QString());
        row("left click", links, click(Qt::LeftButton, 2), u"open http://www.c.com; copy http://www.c.com"_s);
        row("double click", links, click(Qt::LeftButton, 0, true),
            u"open http://www.a.com; copy http://www.a.com"_s);
        row("available, keypad Enter", u"Available"_s,
            keys({Qt::Key_Down, Qt::KeypadModifier | Qt::Key_Enter}),
            u"open http://www.networksolutions.com/"_s);
        row("Domain box, Enter", u"SearchTerm"_s, keys({Qt::Key_E, Qt::Key_Return}), QString(), 1);
        row("Domain box, menu key", u"SearchTerm"_s, keys({Qt::CTRL | Qt::Key_E}),
            u"open http://www.keltrow.com/"_s, 0, u"mGoKeltrow"_s);
        row("combo box's edit field, menu key", u"Prefix"_s, keys({Qt::CTRL | Qt::Key_K}), QString(), 0,
            u"mClearResponse"_s);
        row("Delay, menu key", u"Delay"_s, keys({Qt::Key_F2}), u"start xdg-open|%p/suffix.txt"_s, 0,
            u"mEditSuffixList"_s);
    }
    void keysAndClicksInTheLists()
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            QSKIP("Key tests run on the xcb platform");
        QFETCH(QString, box);
        QFETCH(Steps, steps);
        QFETCH(int, searches);
        QFETCH(QString, menu);
        Shown rig([](WhoRig &rig) {
            for (const char *entry : {"www.a.com", "www.b.com", "www.c.com"})
                rig.state().LinkList.addUnique(QString::fromLatin1(entry));
            rig.state().Available.addUnique(u"free.com"_s);
        });
        QWidget *focused = control(*rig.window, qPrintable(box));
        if (auto *combo = qobject_cast<QComboBox *>(focused))
            focused = combo->lineEdit();
        focused->setFocus(Qt::TabFocusReason);
        std::optional<QSignalSpy> ran;
        if (!menu.isEmpty())
            ran.emplace(control<QAction>(*rig.window, qPrintable(menu)), &QAction::triggered);
        steps(focused);
        QVERIFY(!ran || ran->size() == 1);
        QTEST(rig.asked(), "asked");
        QTRY_COMPARE(rig.server.queries().size(), searches);
    }

    // Tab moves on from every box: from the lists through the removal text, the check box above
    // the response box and the response box, back to the Domain box. No tab is typed or saved.
    void tabGoesRound()
    {
        Shown rig;
        control(*rig.window, "Available")->setFocus(Qt::TabFocusReason);
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
        Shown rig([](WhoRig &rig) { rig.useWordLists("a\r\nb\r\nc\r\n", "x\r\n"); });
        rig.who->session().request().pauseMs = 5;
        auto *delay = control(*rig.window, "Delay");
        delay->setFocus();
        auto *clearAll = control<QAction>(*rig.window, "mClearall");
        bool greyed = false;
        rig.server.setReplyFor([&](const QByteArray &) {
            // Clear All waits while a search runs: greyed, and its own procedure refuses too.
            greyed = !clearAll->isEnabled();
            QTest::keyClick(delay, Qt::Key_F12);
            rig.who->lists().mClearall_Click();
            QTest::keyClick(delay, Qt::Key_Escape);
            return ScriptedWhoisServer::Reply {"Domain Name: AX.COM\r\n"};
        });
        QVERIFY(rig.clickSearchCombinations());
        QCOMPARE(rig.server.queries().size(), 1);
        QVERIFY(greyed && clearAll->isEnabled());
        QCOMPARE(rig.state().Prefix.count(), 3);
    }

    // A long answer fills the box a slice at a time, runs of empty lines shown as two; a removal
    // from its end shows in the box as in the text.
    void longAnswerShown()
    {
        Shown rig;
        rig.server.setReply({QByteArray("a line\r\n").repeated(20'000) + QByteArray(5000, '\n') + "end\r\n"});
        rig.state().SearchTerm.setText(u"long"_s);
        QVERIFY(rig.lookUp());
        rig.state().tResponse.removeAll(u"end\r\n"_s);
        auto *response = control<QPlainTextEdit>(*rig.window, "tResponse");
        const QString expected
            = u"Connected.  Waiting for data...\n\n"_s + u"a line\n"_s.repeated(20'000) + u"\n\n"_s;
        QTRY_COMPARE(response->document()->characterCount() - 1, expected.size());
        QCOMPARE(response->toPlainText(), expected);
    }

    // A search of more than 100,000 names starts only once the user says so.
    void largeSearchAsksFirst_data()
    {
        QTest::addColumn<int>("prefixes");
        QTest::addColumn<int>("suffixes");
        QTest::addColumn<QString>("tlds");
        QTest::addColumn<bool>("comSuffix");
        QTest::addColumn<QString>("names"); // as the question says them; empty: none is asked
        QTest::newRow("100,400 in .com") << 400 << 251 << u"com"_s << true << u"100,400"_s;
        QTest::newRow("100,000 in .com") << 400 << 250 << u"com"_s << true << QString();
        QTest::newRow("150,000 in three TLDs") << 250 << 200 << u"com,net,io"_s << true << u"150,000"_s;
        QTest::newRow("50,000, no TLD appended") << 250 << 200 << u"com,net,io"_s << false << QString();
    }
    void largeSearchAsksFirst()
    {
        QFETCH(int, prefixes);
        QFETCH(int, suffixes);
        QFETCH(QString, tlds);
        QFETCH(bool, comSuffix);
        QFETCH(QString, names);
        Shown rig([&](WhoRig &rig) {
            const auto words = [](const QByteArray &stem, int count) {
                QByteArray list;
                for (int i = 0; i < count; ++i)
                    list += stem + QByteArray::number(i) + "\r\n";
                return list;
            };
            rig.useWordLists(words("p", prefixes), words("s", suffixes));
            rig.settings.setValue(rig.app().title, u"Settings"_s, u"Tlds"_s, tlds);
            rig.state().ComSuffix = comSuffix;
        });
        rig.who->session().request().pauseMs = 5;
        rig.server.setReplyFor([&](const QByteArray &) {
            rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {"Domain Name: P0S0.COM\r\n"};
        });
        const auto ask = [&rig]() -> QMessageBox * {
            QTest::mouseClick(control<QPushButton>(*rig.window, "SearchCombinations"), Qt::LeftButton);
            auto *box = rig.window->findChild<QMessageBox *>(u"LargeSearch"_s);
            return box && box->isVisible() ? box : nullptr;
        };
        QMessageBox *box = ask();
        QCOMPARE(box != nullptr, !names.isEmpty());
        if (box) {
            QVERIFY2(box->text().contains(names + u" names"_s), qPrintable(box->text()));
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
            QVERIFY(rig.server.queries().isEmpty() && !rig.who->searchRunning());
            QTRY_VERIFY((box = ask()));
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        }
        QTRY_COMPARE(rig.server.queries().size(), 1);
        QTRY_VERIFY(!rig.who->searchRunning());
    }

    // The window keeps every control at its smallest, and comes back where and as large as it was
    // left, with the options the user set. The pause stays at 3000 ms until the delay is edited; a
    // delay the program refuses is shown on the box and neither changes the pause nor is kept.
    void placeAndOptionsKept()
    {
        Shown rig({}, true);
        Who &window = *rig.window;
        window.resize(300, 200);
        QVERIFY(window.width() > 300 && window.height() > 200);
        for (const char *box : {"tResponse", "Nag", "Available", "LinkList"}) {
            const QWidget *widget = control(window, box);
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
        const std::tuple<QString, bool, int> typings[] {
            {u"0"_s, true, 3000}, {u"05"_s, false, 5000}, {u"7"_s, false, 7000}, {u"70"_s, true, 7000}};
        for (const auto &[typed, refused, pauseMs] : typings) {
            delay->selectAll();
            QTest::keyClicks(delay, typed);
            QCOMPARE(!delay->styleSheet().isEmpty(), refused);
            QCOMPARE(rig.who->formSettings().pauseMs(), pauseMs);
        }
        // The place is saved once the window has stayed still a moment, so a kill loses none of it.
        const QRect left = window.geometry();
        const auto saved = [&rig] {
            return rig.settings.value(u"Zandrel"_s, u"Window"_s, u"Geometry"_s);
        };
        const QString before = saved();
        window.setGeometry(left.translated(1, 1));
        window.setGeometry(left);
        QCOMPARE(saved(), before);
        rig.clock.advance(Who::GeometrySettleMs);
        QVERIFY(saved() != before);
        rig.restart(true); // the window is gone without a close
        QCOMPARE(rig.window->geometry(), left);
        QVERIFY(!control<QCheckBox>(*rig.window, "ComSuffix")->isChecked() && !rig.state().ComSuffix);
        QVERIFY(control<QRadioButton>(*rig.window, "SearchType1")->isChecked());
        QCOMPARE(rig.state().QueryType, 1);
        QCOMPARE(control<QLineEdit>(*rig.window, "Delay")->text(), u"7"_s);
        QCOMPARE(rig.who->formSettings().pauseMs(), 7000);
        // A remembered delay is in force though the box shows it at first anyway; the first-start
        // pause is for a box nobody set, and typing its own value again sets it.
        rig.settings.setValue(u"Zandrel"_s, u"Settings"_s, u"Delay"_s, u"1"_s);
        rig.window->close();
        rig.restart(true);
        QCOMPARE(rig.who->formSettings().pauseMs(), 1000);
        Shown fresh;
        QCOMPARE(fresh.who->formSettings().pauseMs(), 3000);
        auto *box = control<QLineEdit>(*fresh.window, "Delay");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, u"1"_s);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(fresh.who->formSettings().pauseMs(), 1000);
    }

    // Typing is saved, a click searches, the response box follows the text, typing composes the
    // term; a run shows its progress and can be resumed from the menu.
    void typingAndSearchingThroughTheWindow()
    {
        Shown rig([](WhoRig &rig) { rig.useWordLists("a\r\nb\r\n", "x\r\n"); });
        Who &window = *rig.window;
        auto *resume = control<QAction>(window, "mResumeSearch");
        auto *writeReport = control<QAction>(window, "mWriteReport");
        QVERIFY(!resume->isEnabled() && !writeReport->isEnabled());
        bool barShown = true; // a single lookup shows no progress bar
        rig.server.setReplyFor([&](const QByteArray &) {
            barShown = control(window, "Progress")->isVisible();
            return ScriptedWhoisServer::Reply {"Domain Name: EXAMPLE.COM\r\nRegistrar: R\r\n", 3, 1};
        });

        QTest::keyClicks(control(window, "SearchTerm"), u"example"_s);
        QCOMPARE(rig.settings.value(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s), u"example"_s);
        QVERIFY(rig.runToEnd( // as rig.lookUp(), but clicked
            [&window] { QTest::mouseClick(control(window, "bLookUp"), Qt::LeftButton); }));
        QVERIFY(!barShown);
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
        QTest::keyClicks(control<QComboBox>(window, "Suffix")->lineEdit(), u"net"_s);
        QCOMPARE(control<QLineEdit>(window, "SearchTerm")->text(), u"mynet"_s);

        // The File menu's run items, and the progress fields while a search runs.
        rig.who->session().request().pauseMs = 5;
        auto *bar = control<QProgressBar>(window, "Progress");
        QVERIFY(bar->isHidden());
        QList<QPair<int, int>> seen; // the bar's value and maximum at each query
        rig.server.setReplyFor([&](const QByteArray &) {
            seen << qMakePair(bar->isVisible() ? bar->value() : -1, bar->maximum());
            rig.who->cbStopRunning_Click();
            return ScriptedWhoisServer::Reply {"Domain Name: AX.COM\r\n"};
        });
        QVERIFY(rig.clickSearchCombinations());
        QCOMPARE(seen, (QList<QPair<int, int>> {{0, 2}}));
        QVERIFY(bar->isHidden());
        QVERIFY(resume->isEnabled() && writeReport->isEnabled());

        // Started again, the window offers the unfinished search in its message bar, which stays
        // while a menu is open and whose button resumes the search.
        window.close();
        rig.restart(false);
        Who &again = *rig.window;
        auto *message = control(again, "MessageBar");
        QVERIFY(message->isVisible());
        auto *file = again.findChild<QMenu *>(u"mFile"_s);
        QTest::mouseClick(again.menuBar(), Qt::LeftButton, {},
                          again.menuBar()->actionGeometry(file->menuAction()).center());
        QTRY_VERIFY(file->isVisible());
        QTest::mouseMove(file, file->actionGeometry(file->actions().constFirst()).center());
        QVERIFY(message->isVisible());
        QCOMPARE(control<QLabel>(again, "MessageText")->text(),
                 u"Unfinished search (1 of 2): File > Resume Search"_s);
        file->close();
        bar = control<QProgressBar>(again, "Progress");
        resume = control<QAction>(again, "mResumeSearch");
        writeReport = control<QAction>(again, "mWriteReport");
        rig.server.setReplyFor([&](const QByteArray &) {
            seen << qMakePair(bar->value(), bar->maximum());
            writeReport->trigger(); // written, not shown, while the search runs
            return ScriptedWhoisServer::Reply {"Domain Name: BX.COM\r\n"};
        });
        QVERIFY(
            rig.runToEnd([&again] { QTest::mouseClick(control(again, "MessageAction"), Qt::LeftButton); }));
        QCOMPARE(seen.last(), qMakePair(1, 2));
        QVERIFY(!resume->isEnabled() && message->isHidden());
        QCOMPARE(rig.launcher.opened.size(), 1); // only the finished run's report was shown
    }

private:
    const TemporaryWorkFolder m_work;
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
