// The settings store on disk, the editor command line split without a shell, and the clock's timers.
#include "Tables.h"
#include "platform/Clock.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zandrel;
using namespace Qt::StringLiterals;

namespace {
const QString Zandrel = u"Zandrel"_s;
const QString Settings = u"Settings"_s;
const QString Nag = u"Nag"_s;
} // namespace

class tst_Platform : public QObject
{
    Q_OBJECT
private slots:
    void badFilesReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[[[\x01=\n=\n", 12);
        QTest::newRow("broken sections") << QByteArray("[Settings\nNag=\"unclosed\n[\n");
        QTest::newRow("hand-edited commas") << QByteArray("[Settings]\nNag=a,b\n");
    }
    void badFilesReadAsDefaults()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QVERIFY(zandrel::test::writeAll(dir.filePath(u"Zandrel.ini"_s), content));
        SettingsStore store(dir.path());
        QVERIFY(!store.value(Zandrel, Settings, Nag, u"default"_s).isNull());
        store.setValue(Zandrel, Settings, Nag, u"x"_s);
        QCOMPARE(SettingsStore(dir.path()).value(Zandrel, Settings, Nag), u"x"_s);
    }

    // The files earlier versions left loose in the configuration folder go into the program's own
    // folder there at start, names and keys kept; one already there is not written over.
    void settingsMoveIntoTheirFolder()
    {
        QTemporaryDir config;
        const QByteArray before = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QVERIFY(QDir(config.path()).mkdir(u"zandrel"_s));
        const auto write = [&config](const QString &name, const QByteArray &content) {
            QVERIFY(zandrel::test::writeAll(config.filePath(name), content));
        };
        write(u"Zandrel.ini"_s, "[Settings]\nNag=moved\n");
        write(u"Keltrow.ini"_s, "[Application]\nKelEdit=ed\n");
        write(u"zandrel50.ini"_s, "[Settings]\nPrefixPath=loose\n");
        write(u"zandrel/zandrel50.ini"_s, "[Settings]\nPrefixPath=kept\n");
        write(u"Other.ini"_s, "");
        SettingsStore store;
        qputenv("XDG_CONFIG_HOME", before);
        QCOMPARE(store.folder(), config.filePath(u"zandrel"_s));
        QCOMPARE(store.value(Zandrel, Settings, Nag), u"moved"_s);
        QCOMPARE(store.value(u"Keltrow"_s, u"Application"_s, u"KelEdit"_s), u"ed"_s);
        QCOMPARE(store.value(u"zandrel50"_s, Settings, u"PrefixPath"_s), u"kept"_s);
        QCOMPARE(QDir(config.path()).entryList(QDir::Files),
                 (QStringList {u"Other.ini"_s, u"zandrel50.ini"_s}));
    }

    void commandLineSplitsLikeAShell_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("arguments") << u"  gedit  --new-window "_s
                                   << QStringList {u"gedit"_s, u"--new-window"_s};
        QTest::newRow("quotes") << u"\"/opt/my editor/run\" 'a \"b\"'"_s
                                << QStringList {u"/opt/my editor/run"_s, u"a \"b\""_s};
        QTest::newRow("backslash") << u"my\\ editor \"q\\\"uote\""_s
                                   << QStringList {u"my editor"_s, u"q\"uote"_s};
        QTest::newRow("no shell meaning")
            << u"vi;rm -rf $HOME"_s << QStringList {u"vi;rm"_s, u"-rf"_s, u"$HOME"_s};
        QTest::newRow("empty quotes") << u"ed ''"_s << QStringList {u"ed"_s, QString()};
    }
    void commandLineSplitsLikeAShell()
    {
        QFETCH(QString, command);
        QTEST(splitCommandLine(command), "words");
    }

    // Deadlines fire in their order at their own moment, never early and never inside start().
    void manualClockFiresDeadlinesInOrder()
    {
        ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC));
        QList<QPair<QString, qint64>> fired;
        const qint64 origin = clock.monotonicNs();
        auto note = [&](const QString &what) {
            fired << qMakePair(what, (clock.monotonicNs() - origin) / 1'000'000);
        };
        Timer late(clock, [&] { note(u"late"_s); });
        Timer early(clock, [&] { note(u"early"_s); });
        Timer cancelled(clock, [&] { note(u"cancelled"_s); });
        std::unique_ptr<Timer> dropped = std::make_unique<Timer>(clock, [&] { note(u"dropped"_s); });
        late.start(300);
        early.start(100);
        cancelled.start(50);
        dropped->start(60);
        cancelled.stop();
        dropped.reset();
        Timer again(clock, [&] {
            note(u"again"_s);
            if (fired.size() < 4)
                late.start(0); // due at once: fires at this moment, after this call
        });
        again.start(200);
        clock.advance(99);
        QVERIFY(fired.isEmpty());
        clock.advance(1000);
        const QList<QPair<QString, qint64>> expected {{u"early"_s, 100}, {u"again"_s, 200}, {u"late"_s, 200}};
        QCOMPARE(fired, expected);
        QCOMPARE(clock.moment, QDateTime(QDate(2026, 12, 7), QTime(9, 0, 1, 99), Qt::UTC));
        QCOMPARE(clock.armed(), 0);

        // A deadline already due fires once the caller has returned to the event loop.
        bool now = false;
        Timer due(clock, [&] { now = true; });
        due.start(0);
        QVERIFY(!now);
        QTRY_VERIFY(now);
    }

    void realClockTimerNeverFiresEarly()
    {
        SystemClock clock;
        qint64 firedAt = 0;
        Timer timer(clock, [&] { firedAt = clock.monotonicNs(); });
        timer.start(20);
        const qint64 due = timer.dueNs();
        QTRY_VERIFY(firedAt > 0);
        QVERIFY(firedAt >= due);
    }
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
