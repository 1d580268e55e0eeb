// The settings store on disk and the editor command line split without a shell.
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;

class tst_Platform : public QObject
{
    Q_OBJECT
private slots:
    void settingsReachTheDiskAtOnce()
    {
        QTemporaryDir dir;
        {
            SettingsStore store(dir.path());
            store.setValue(QStringLiteral("Zandrel"), QStringLiteral("Settings"), QStringLiteral("Nag"),
                           QStringLiteral("line one\r\nline two, with a comma"));
            store.setValue(QStringLiteral("zandrel50"), QStringLiteral("Settings"),
                           QStringLiteral("PrefixPath"), QStringLiteral("/tmp/my words/prefix.txt"));
            // Another reader sees it before this store goes away.
            SettingsStore other(dir.path());
            QCOMPARE(
                other.value(QStringLiteral("Zandrel"), QStringLiteral("Settings"), QStringLiteral("Nag")),
                QStringLiteral("line one\r\nline two, with a comma"));
        }
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Zandrel.ini"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("zandrel50.ini"))));
        SettingsStore reopened(dir.path());
        QCOMPARE(reopened.value(QStringLiteral("zandrel50"), QStringLiteral("Settings"),
                                QStringLiteral("PrefixPath")),
                 QStringLiteral("/tmp/my words/prefix.txt"));
        // The two "Settings" sections are distinct.
        QVERIFY(!reopened.contains(QStringLiteral("Zandrel"), QStringLiteral("Settings"),
                                   QStringLiteral("PrefixPath")));
        QCOMPARE(reopened.value(QStringLiteral("Keltrow"), QStringLiteral("Application"),
                                QStringLiteral("KelEdit"), QStringLiteral("default")),
                 QStringLiteral("default"));
    }

    void badFilesReadAsDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe[[[\x01=\n=\n", 12);
        QTest::newRow("broken sections") << QByteArray("[Settings\nNag=\"unclosed\n[\n");
        QTest::newRow("hand-edited commas") << QByteArray("[Settings]\nSearchTerm=a,b\n");
    }
    void badFilesReadAsDefaults()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("Zandrel.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        SettingsStore store(dir.path());
        const QString nag = store.value(QStringLiteral("Zandrel"), QStringLiteral("Settings"),
                                        QStringLiteral("Nag"), QStringLiteral("fallback"));
        QVERIFY(!nag.isNull());
        store.setValue(QStringLiteral("Zandrel"), QStringLiteral("Settings"), QStringLiteral("Nag"),
                       QStringLiteral("x"));
        QCOMPARE(SettingsStore(dir.path())
                     .value(QStringLiteral("Zandrel"), QStringLiteral("Settings"), QStringLiteral("Nag")),
                 QStringLiteral("x"));
    }

    void commandLineSplitsLikeAShell_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain") << QStringLiteral("xdg-open") << QStringList {QStringLiteral("xdg-open")};
        QTest::newRow("arguments") << QStringLiteral("  gedit  --new-window ")
                                   << QStringList {QStringLiteral("gedit"), QStringLiteral("--new-window")};
        QTest::newRow("double quotes")
            << QStringLiteral("\"/opt/my editor/run\" -x")
            << QStringList {QStringLiteral("/opt/my editor/run"), QStringLiteral("-x")};
        QTest::newRow("single quotes")
            << QStringLiteral("'a \"b\"' c") << QStringList {QStringLiteral("a \"b\""), QStringLiteral("c")};
        QTest::newRow("backslash") << QStringLiteral("my\\ editor \"q\\\"uote\"")
                                   << QStringList {QStringLiteral("my editor"), QStringLiteral("q\"uote")};
        QTest::newRow("no shell meaning")
            << QStringLiteral("vi;rm -rf $HOME")
            << QStringList {QStringLiteral("vi;rm"), QStringLiteral("-rf"), QStringLiteral("$HOME")};
        QTest::newRow("empty quotes")
            << QStringLiteral("ed ''") << QStringList {QStringLiteral("ed"), QString()};
        QTest::newRow("empty") << QString() << QStringList {};
    }
    void commandLineSplitsLikeAShell()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, words);
        QCOMPARE(splitCommandLine(command), words);
    }
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
