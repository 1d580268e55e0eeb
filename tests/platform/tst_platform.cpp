// The settings store on disk and the editor command line split without a shell.
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;

namespace {
const QString Zandrel = QStringLiteral("Zandrel");
const QString Settings = QStringLiteral("Settings");
const QString Nag = QStringLiteral("Nag");
} // namespace

class tst_Platform : public QObject
{
    Q_OBJECT
private slots:
    void settingsReachTheDiskAtOnce()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        const QString text = QStringLiteral("line one\r\nline two, with a comma");
        store.setValue(Zandrel, Settings, Nag, text);
        // A second reader sees the value while the first store is still open.
        QCOMPARE(SettingsStore(dir.path()).value(Zandrel, Settings, Nag), text);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Zandrel.ini"))));
        QVERIFY(!SettingsStore(dir.path()).contains(QStringLiteral("zandrel50"), Settings, Nag));
    }

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
        QFile file(dir.filePath(QStringLiteral("Zandrel.ini")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        SettingsStore store(dir.path());
        QVERIFY(!store.value(Zandrel, Settings, Nag, QStringLiteral("default")).isNull());
        store.setValue(Zandrel, Settings, Nag, QStringLiteral("x"));
        QCOMPARE(SettingsStore(dir.path()).value(Zandrel, Settings, Nag), QStringLiteral("x"));
    }

    void commandLineSplitsLikeAShell_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("arguments") << QStringLiteral("  gedit  --new-window ")
                                   << QStringList{QStringLiteral("gedit"), QStringLiteral("--new-window")};
        QTest::newRow("quotes") << QStringLiteral("\"/opt/my editor/run\" 'a \"b\"'")
                                << QStringList{QStringLiteral("/opt/my editor/run"), QStringLiteral("a \"b\"")};
        QTest::newRow("backslash") << QStringLiteral("my\\ editor \"q\\\"uote\"")
                                   << QStringList{QStringLiteral("my editor"), QStringLiteral("q\"uote")};
        QTest::newRow("no shell meaning")
            << QStringLiteral("vi;rm -rf $HOME")
            << QStringList{QStringLiteral("vi;rm"), QStringLiteral("-rf"), QStringLiteral("$HOME")};
        QTest::newRow("empty quotes") << QStringLiteral("ed ''") << QStringList{QStringLiteral("ed"), QString()};
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
