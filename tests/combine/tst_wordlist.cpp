#include "combine/WordList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;

class TestWordList : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void load_data();
    void load();
    void loadFailureAppendsNothing();

private:
    QTemporaryDir m_dir;
};

void TestWordList::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");

    const auto list = [](std::initializer_list<const char16_t *> words) {
        QStringList out;
        for (const char16_t *w : words)
            out << QString::fromUtf16(w);
        return out;
    };
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("CR LF lines") << QByteArray("a\r\nb\r\n") << list({u"a", u"b"});
    QTest::newRow("lone LF lines") << QByteArray("a\nb\n") << list({u"a", u"b"});
    QTest::newRow("lone CR lines") << QByteArray("a\rb\r") << list({u"a", u"b"});
    QTest::newRow("mixed line ends") << QByteArray("a\rb\nc\r\nd") << list({u"a", u"b", u"c", u"d"});
    QTest::newRow("last line unended") << QByteArray("a\r\nb") << list({u"a", u"b"});
    QTest::newRow("blank line between") << QByteArray("my\r\n\r\nyour\r\n") << list({u"my", u"", u"your"});
    QTest::newRow("only a line end") << QByteArray("\r\n") << list({u""});
    QTest::newRow("CR then LF blank") << QByteArray("a\r\r\nb") << list({u"a", u"", u"b"});
    QTest::newRow("comma splits") << QByteArray("shop,store\r\n") << list({u"shop", u"store"});
    QTest::newRow("quoted comma") << QByteArray("\"shop,store\"\r\n") << list({u"shop,store"});
    QTest::newRow("quoted then more") << QByteArray("\"a,b\",c\r\nd") << list({u"a,b", u"c", u"d"});
    QTest::newRow("doubled quote") << QByteArray("\"say \"\"hi\"\"\"") << list({u"say \"hi\""});
    QTest::newRow("empty quoted") << QByteArray("\"\",x") << list({u"", u"x"});
    QTest::newRow("unclosed quote") << QByteArray("\"open,end\r\n") << list({u"open,end\r\n"});
    QTest::newRow("trailing comma") << QByteArray("a,\r\nb") << list({u"a", u"", u"b"});
    QTest::newRow("comma at end of file") << QByteArray("a,") << list({u"a", u""});
    QTest::newRow("blanks kept") << QByteArray(" shop , store\r\n") << list({u" shop ", u" store"});
    QTest::newRow("BOM skipped") << QByteArray("\xEF\xBB\xBFmy\r\nyour\r\n") << list({u"my", u"your"});
    QTest::newRow("BOM only") << QByteArray("\xEF\xBB\xBF") << QStringList();
    QTest::newRow("UTF-8 word") << QByteArray("caf\xC3\xA9\r\n\xE6\x97\xA5\xE6\x9C\xAC")
                                << list({u"caf\u00e9", u"\u65e5\u672c"});
}

void TestWordList::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QCOMPARE(parseWordList(bytes), fields);
}

void TestWordList::load_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("two words") << QByteArray("my\r\nyour\r\n")
                               << QStringList {QStringLiteral("my"), QStringLiteral("your")};
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void TestWordList::load()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    // The caller empties the list before each load; the same file must give the same list.
    for (int round = 0; round < 2; ++round) {
        QStringList entries;
        QVERIFY(loadWordList(path, entries));
        QCOMPARE(entries, fields);
    }
    QStringList entries {QStringLiteral("kept")};
    QVERIFY(loadWordList(path, entries));
    QCOMPARE(entries, QStringList {QStringLiteral("kept")} + fields);
}

void TestWordList::loadFailureAppendsNothing()
{
    QVERIFY(m_dir.isValid());
    const QStringList before {QStringLiteral("kept")};
    for (const QString &path : {m_dir.filePath(QStringLiteral("missing.txt")), m_dir.path(), QString()}) {
        QStringList entries = before;
        QVERIFY2(!loadWordList(path, entries), qPrintable(path));
        QCOMPARE(entries, before);
    }
}

QTEST_GUILESS_MAIN(TestWordList)
#include "tst_wordlist.moc"
