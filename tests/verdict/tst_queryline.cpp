// The query line in its forms and the pause interval typed in "Internic Delay:".
#include "verdict/QueryLine.h"

#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

class tst_QueryLine : public QObject
{
    Q_OBJECT
private slots:
    void queryLine_data()
    {
        QTest::addColumn<int>("queryType");
        QTest::addColumn<QString>("term");
        QTest::addColumn<bool>("comSuffix");
        QTest::addColumn<QString>("line");
        QTest::newRow("domain search, .com") << 0 << u"example"_s << true << u"DO example.com\r\n"_s;
        QTest::newRow("whois, no suffix") << 1 << u"example"_s << false << u"example\r\n"_s;
        QTest::newRow("suffix added to .net") << 0 << u"example.net"_s << true << u"DO example.net.com\r\n"_s;
        QTest::newRow("empty term") << 0 << QString() << false << u"DO \r\n"_s;
        QTest::newRow("term kept as typed") << 1 << u" My Name "_s << false << u" My Name \r\n"_s;
        QTest::newRow("no smuggled second query")
            << 0 << u"a\r\nDO b\nc\r"_s << true << u"DO aDO bc.com\r\n"_s;
        QTest::newRow("no control character")
            << 1 << u"a\u0000b\tc\x1b[d\x7f\u0085"_s << false << u"abc[d\x7f\u0085\r\n"_s;
    }
    void queryLine()
    {
        QFETCH(int, queryType);
        QFETCH(QString, term);
        QFETCH(bool, comSuffix);
        QTEST(buildQueryLine(queryType, term, comSuffix), "line");
    }

    void delay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms"); // -1: invalid, the interval stays
        QTest::newRow("1") << u"1"_s << 1000;
        QTest::newRow("fraction") << u"2.9"_s << 2000;
        QTest::newRow("largest") << u"65.99"_s << 65000;
        QTest::newRow("zero would stop the timer") << u"0"_s << -1;
        QTest::newRow("past the timer's range") << u"66"_s << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("words") << u"two"_s << -1;
        QTest::newRow("huge") << u"1e300"_s << -1;
    }
    void delay()
    {
        QFETCH(QString, text);
        QTEST(parseDelayMs(text).value_or(-1), "ms");
    }
};

QTEST_GUILESS_MAIN(tst_QueryLine)
#include "tst_queryline.moc"
