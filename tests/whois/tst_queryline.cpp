// The query line in its forms, the pause interval typed in "Internic Delay:", and server addresses.
#include "whois/QueryLine.h"

#include <QTest>

using namespace zandrel;

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
        QTest::newRow("domain search, .com")
            << 0 << QStringLiteral("example") << true << QStringLiteral("DO example.com\r\n");
        QTest::newRow("whois, no suffix")
            << 1 << QStringLiteral("example") << false << QStringLiteral("example\r\n");
        QTest::newRow("suffix added to .net")
            << 0 << QStringLiteral("example.net") << true << QStringLiteral("DO example.net.com\r\n");
        QTest::newRow("empty term") << 0 << QString() << false << QStringLiteral("DO \r\n");
        QTest::newRow("term kept as typed")
            << 1 << QStringLiteral(" My Name ") << false << QStringLiteral(" My Name \r\n");
        QTest::newRow("no smuggled second query")
            << 0 << QStringLiteral("a\r\nDO b\nc\r") << true << QStringLiteral("DO aDO bc.com\r\n");
    }
    void queryLine()
    {
        QFETCH(int, queryType);
        QFETCH(QString, term);
        QFETCH(bool, comSuffix);
        QFETCH(QString, line);
        QCOMPARE(buildQueryLine(queryType, term, comSuffix), line);
    }

    void delay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms"); // -1: invalid, the interval stays
        QTest::newRow("1") << QStringLiteral("1") << 1000;
        QTest::newRow("fraction") << QStringLiteral("2.9") << 2000;
        QTest::newRow("largest") << QStringLiteral("65.99") << 65000;
        QTest::newRow("zero would stop the timer") << QStringLiteral("0") << -1;
        QTest::newRow("past the timer's range") << QStringLiteral("66") << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("words") << QStringLiteral("two") << -1;
        QTest::newRow("huge") << QStringLiteral("1e300") << -1;
    }
    void delay()
    {
        QFETCH(QString, text);
        QFETCH(int, ms);
        const std::optional<int> parsed = parseDelayMs(text);
        QCOMPARE(parsed.value_or(-1), ms);
    }

    void serverAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("host"); // empty: rejected
        QTest::addColumn<int>("port");
        QTest::newRow("host") << QStringLiteral("whois.example.net") << QStringLiteral("whois.example.net")
                              << 43;
        QTest::newRow("host:port") << QStringLiteral("127.0.0.1:4343") << QStringLiteral("127.0.0.1") << 4343;
        QTest::newRow("ipv6") << QStringLiteral("[::1]:99") << QStringLiteral("::1") << 99;
        QTest::newRow("bad port") << QStringLiteral("h:99999") << QString() << 0;
        QTest::newRow("empty") << QString() << QString() << 0;
    }
    void serverAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, host);
        QFETCH(int, port);
        const std::optional<ServerAddress> address = parseServerAddress(text);
        QCOMPARE(address.has_value(), !host.isEmpty());
        if (address) {
            QCOMPARE(address->host, host);
            QCOMPARE(int(address->port), port);
        }
    }
};

QTEST_GUILESS_MAIN(tst_QueryLine)
#include "tst_queryline.moc"
