// The settings store on disk, the editor command line split without a shell, and timed waits.
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QElapsedTimer>
#include <QFile>
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
        QFile file(dir.filePath(u"Zandrel.ini"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        SettingsStore store(dir.path());
        QVERIFY(!store.value(Zandrel, Settings, Nag, u"default"_s).isNull());
        store.setValue(Zandrel, Settings, Nag, u"x"_s);
        QCOMPARE(SettingsStore(dir.path()).value(Zandrel, Settings, Nag), u"x"_s);
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
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
