#include "search/WordList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

static QStringList words(const char *joined)
{
    return QString::fromUtf8(joined).split(u'|');
}

class TestWordList : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields");

        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("lone CR, lone LF, unended") << QByteArray("a\rb\nc\r\nd") << words("a|b|c|d");
        QTest::newRow("blank line between") << QByteArray("my\r\n\r\nyour\r\n") << words("my|your");
        QTest::newRow("blank lines only") << QByteArray("\n\n \r\n\t\n") << QStringList();
        QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb") << words("a|b");
        QTest::newRow("lone and doubled comma") << QByteArray("a\r\n,\r\nb,,c") << words("a|b|c");
        QTest::newRow("empty quotes") << QByteArray("\"\",a,\" \"") << words("a");
        QTest::newRow("quoted then more") << QByteArray("\"a,b\",c\r\nd") << words("a,b|c|d");
        QTest::newRow("doubled quote") << QByteArray("\"say \"\"hi\"\"\"") << words("say \"hi\"");
        QTest::newRow("unclosed quote ends at line end")
            << QByteArray("\"open,end\r\nb,c\nd") << words("open,end|b|c|d");
        QTest::newRow("comma before line end, at end of file") << QByteArray("a,b,\r\nc,") << words("a|b|c");
        QTest::newRow("blanks around words, not inside")
            << QByteArray(" my \r\n\tshop , store\r\nmy shop") << words("my|shop|store|my shop");
        QTest::newRow("blanks inside quotes") << QByteArray("\" my \",b") << words("my|b");
        QTest::newRow("BOM skipped") << QByteArray("\xEF\xBB\xBFmy\r\nyour\r\n") << words("my|your");
        QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9\r\n\xE6\x97\xA5")
                               << words("caf\xC3\xA9|\xE6\x97\xA5");
        QTest::newRow("Windows-1252 as a whole")
            << QByteArray("caf\xE9\r\n\xC3\xA9\x80") << words("caf\xC3\xA9|\xC3\x83\xC2\xA9\xE2\x82\xAC");
        QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFEm\0y\0,\0\xE9\0", 10) << words("my|\xC3\xA9");
        QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0m\0y\0\n\0\xE9", 10) << words("my|\xC3\xA9");
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QTEST(parseWordList(bytes), "fields");
    }

    void load()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"words.txt"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("my\r\nyour\r\n") > 0);
        file.close();
        QStringList entries {u"kept"_s};
        QVERIFY(loadWordList(path, entries));
        QCOMPARE(entries, words("kept|my|your"));

        // A file that cannot be read appends nothing.
        for (const QString &bad : {dir.filePath(u"missing.txt"_s), dir.path(), QString()}) {
            QVERIFY2(!loadWordList(bad, entries), qPrintable(bad));
            QCOMPARE(entries, words("kept|my|your"));
        }
    }
};

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
