// The real window on the offscreen platform: controls by name, typing, a lookup against a local
// server, menus, label presses, the About window and the resize rule.
#include "WhoRig.h"
#include "app/Layout.h"
#include "app/Who.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
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

private slots:
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

    void controlsAsDesigned()
    {
        WhoRig rig;
        Who window(*rig.who);
        rig.who->Form_Load();
        window.placeAtStart();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), u"Zandrel"_s);
        QVERIFY(!control<QAction>(window, "mAvailable")->isEnabled());
        if (qFuzzyCompare(window.twipsPerPixelX(), 15.0)) {
            QCOMPARE(control<QWidget>(window, "SearchTerm")->geometry(), QRect(45, 3, 125, 21));
            QCOMPARE(window.frameGeometry().size(), QSize(620, 460));
            QCOMPARE(control<QWidget>(window, "Available")->width(), 160);
        }
        // The four following controls obey the resize rule in twips.
        window.resize(window.width() + 100, window.height() + 60);
        QTRY_COMPARE(control<QWidget>(window, "tResponse")->width(),
                     int(std::lround((window.frameGeometry().width() * window.twipsPerPixelX() - 4620 - 140)
                                     / window.twipsPerPixelX())));
        QCOMPARE(control<QWidget>(window, "LinkList")->geometry().bottom() + 1,
                 window.centralWidget()->height());
    }

    void typingAndSearchingThroughTheWindow()
    {
        WhoRig rig;
        Who window(*rig.who);
        rig.who->Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        rig.server.setReply({"Domain Name: EXAMPLE.COM\r\nRegistrar: R\r\n", 3, 1});

        QTest::keyClicks(control<QLineEdit>(window, "SearchTerm"), u"example"_s);
        QCOMPARE(rig.settings.value(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s), u"example"_s);
        rig.state().LookupPending = true;
        QTest::mouseClick(control<QPushButton>(window, "bLookUp"), Qt::LeftButton);
        QVERIFY(rig.yield.waitUntil([&rig] { return !rig.state().LookupPending; }, 20000));
        QCOMPARE(control<QPlainTextEdit>(window, "tResponse")->toPlainText(),
                 QStringLiteral("Connected.  Waiting for data...\n\nDomain Name: EXAMPLE.COM\n"
                                "Registrar: R\n"));
        QCOMPARE(control<QPlainTextEdit>(window, "tResponse")->textCursor().position(), 0);

        // Clicking an existing domain opens it and copies it.
        auto *links = control<QListView>(window, "LinkList");
        QCOMPARE(links->model()->rowCount(), 1);
        links->setCurrentIndex(links->model()->index(0, 0));
        QCOMPARE(rig.launcher.opened, QStringList {u"http://www.example.com"_s});
        QCOMPARE(rig.clipboard.texts, QStringList {u"http://www.example.com"_s});

        // A text copied out of the response box into the removal box is found again in the responses.
        auto *response = control<QPlainTextEdit>(window, "tResponse");
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
    }

    void menusLabelsAndAbout()
    {
        WhoRig rig;
        rig.writeFile(u"prefix.txt"_s, "a\r\nb\r\n");
        Who window(*rig.who);
        rig.who->Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *prefix = control<QComboBox>(window, "Prefix");
        QCOMPARE(prefix->count(), 2);
        QCOMPARE(prefix->currentText(), QString()); // nothing selected after loading

        QTest::mousePress(control<QLabel>(window, "Label1"), Qt::LeftButton);
        QCOMPARE(rig.launcher.started.size(), 1);
        control<QAction>(window, "mClearall")->trigger();
        QCOMPARE(prefix->count(), 0);
        QTest::mousePress(control<QLabel>(window, "Label1"), Qt::RightButton);
        QCOMPARE(prefix->count(), 2);
        QCOMPARE(prefix->currentText(), QString());

        control<QAction>(window, "mAbout")->trigger();
        QWidget *about = window.aboutWindow();
        QVERIFY(about);
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        const QStringList texts = [about] {
            QStringList t;
            for (auto *label : about->findChildren<QLabel *>())
                t << label->text();
            return t;
        }();
        QCOMPARE(texts, (QStringList {u"Zandrel"_s, u"Version 5.0.0"_s}));
        control<QAction>(window, "mAbout")->trigger();
        QCOMPARE(window.aboutWindow(), about);
        QCOMPARE(window.findChildren<QDialog *>().size(), 1);

        // The pause stays at 3000 ms until the delay is edited; a bad delay keeps it, shown on the window.
        auto *delay = control<QLineEdit>(window, "Delay");
        QCOMPARE(rig.who->delayTimer().interval(), 3000);
        delay->selectAll();
        QTest::keyClicks(delay, u"0"_s);
        QVERIFY(!delay->styleSheet().isEmpty());
        QCOMPARE(rig.who->delayTimer().interval(), 3000);
        QVERIFY(rig.who->delayTimer().isActive());
        QTest::keyClicks(delay, u"5"_s);
        QVERIFY(delay->styleSheet().isEmpty());
        QCOMPARE(rig.who->delayTimer().interval(), 5000);

        control<QAction>(window, "mExit")->trigger();
        QTRY_VERIFY(!window.isVisible());
        QVERIFY(rig.yield.closing());
    }
};

QTEST_MAIN(tst_Window)
#include "tst_window.moc"
