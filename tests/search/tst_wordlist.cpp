// Word lists as files give them: line ends, commas, quotes, blanks and encodings.
#include "Tables.h"
#include "search/WordList.h"

#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

class TestWordList : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields");

        const auto row = [](const char *tag, const QByteArray &bytes, const char *fields) {
            QTest::newRow(tag) << bytes << words(fields);
        };
        row("empty file", "", "");
        row("lone CR, lone LF, unended", "a\rb\nc\r\nd", "a|b|c|d");
        row("blank line between", "my\r\n\r\nyour\r\n", "my|your");
        row("blank lines only", "\n\n \r\n\t\n", "");
        row("CR then CR LF", "a\r\r\nb", "a|b");
        row("lone and doubled comma", "a\r\n,\r\nb,,c", "a|b|c");
        row("empty quotes", "\"\",a,\" \"", "a");
        row("quoted then more", "\"a,b\",c\r\nd", "a,b|c|d");
        row("doubled quote", "\"say \"\"hi\"\"\"", "say \"hi\"");
        row("unclosed quote ends at line end", "\"open,end\r\nb,c\nd", "open,end|b|c|d");
        row("comma before line end, at end of file", "a,b,\r\nc,", "a|b|c");
        row("blanks around words, not inside", " my \r\n\tshop , store\r\nmy shop", "my|shop|store|my shop");
        row("blanks inside quotes", "\" my \",b", "my|b");
        row("BOM skipped", "\xEF\xBB\xBFmy\r\nyour\r\n", "my|your");
        row("UTF-8", "caf\xC3\xA9\r\n\xE6\x97\xA5", "caf\xC3\xA9|\xE6\x97\xA5");
        row("Windows-1252 as a whole", "caf\xE9\r\n\xC3\xA9\x80", "caf\xC3\xA9|\xC3\x83\xC2\xA9\xE2\x82\xAC");
        row("UTF-16 LE", QByteArray("\xFF\xFEm\0y\0,\0\xE9\0", 10), "my|\xC3\xA9");
        row("UTF-16 BE", QByteArray("\xFE\xFF\0m\0y\0\n\0\xE9", 10), "my|\xC3\xA9");
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QTEST(parseWordList(bytes), "fields");
    }

    // A list read from a file is appended to what is there.
    void load()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"words.txt"_s);
        QVERIFY(writeAll(path, "my\r\nyour\r\n"));
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
