// One WHOIS lookup against a scripted server on 127.0.0.1: what reaches the response text, and
// that every lookup ends, however the server behaves.
#include "ScriptedWhoisServer.h"
#include "platform/EventYield.h"
#include "platform/TcpClient.h"
#include "whois/QueryLine.h"
#include "whois/WhoisLookup.h"

#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using zandrel::test::ScriptedWhoisServer;

class tst_Lookup : public QObject
{
    Q_OBJECT

    struct Rig
    {
        ScriptedWhoisServer server;
        EventYield yield;
        TcpClient client;
        WhoisLookup lookup {client, yield};
        QString response;
        int ended = 0;

        Rig()
        {
            lookup.setServer({QStringLiteral("127.0.0.1"), server.port()});
            QObject::connect(&lookup, &WhoisLookup::responseText, &lookup,
                             [this](const QString &text) { response += text; });
            QObject::connect(&lookup, &WhoisLookup::lookupEnded, &lookup, [this] { ++ended; });
        }
        bool run(const QString &query = QStringLiteral("DO example.com\r\n"))
        {
            const bool sent = lookup.SearchCurrent(query);
            return yield.waitUntil([this] { return ended > 0; }, 20000) && sent;
        }
    };

private slots:
    void answerArrivesLineByLine_data()
    {
        QTest::addColumn<int>("chunkSize");
        QTest::newRow("whole") << 0;
        QTest::newRow("5-byte chunks") << 5;
        QTest::newRow("1-byte chunks") << 1;
    }
    void answerArrivesLineByLine()
    {
        QFETCH(int, chunkSize);
        Rig rig;
        rig.server.setReply(
            {"Domain Name: EXAMPLE.COM\r\nRegistrar: X\nlast line without end", chunkSize, 1});
        QVERIFY(rig.run());
        QCOMPARE(rig.server.queries(), QList<QByteArray> {"DO example.com\r\n"});
        QCOMPARE(rig.response,
                 QStringLiteral("Connected.  Waiting for data...\r\n\r\n"
                                "Domain Name: EXAMPLE.COM\r\nRegistrar: X\r\n"
                                "last line without end\r\n"));
        QCOMPARE(rig.ended, 1);
    }

    void oddBytesNeitherCrashNorCutTheText()
    {
        Rig rig;
        rig.server.setReply({QByteArray("a\0b\xff\xfe"
                                        "c\r\n\xc3\xa9t\xc3\xa9\r\n",
                                        15)});
        QVERIFY(rig.run());
        QCOMPARE(rig.response.mid(35), QStringLiteral("a\uFFFDb\uFFFD\uFFFDc\r\n\u00e9t\u00e9\r\n"));
    }

    void refusedConnectionEndsWithTheFailureLine()
    {
        Rig rig;
        rig.server.stopListening();
        QVERIFY(!rig.lookup.SearchCurrent(QStringLiteral("x\r\n")));
        // The end is posted, so a caller raising a flag after the call still sees it come.
        QCOMPARE(rig.ended, 0);
        QVERIFY(rig.yield.waitUntil([&] { return rig.ended == 1; }, 5000));
        QVERIFY(rig.response.startsWith(QStringLiteral("Connection failed: ")));
        QVERIFY(rig.response.endsWith(QStringLiteral("\r\n\r\n")));
    }

    void misbehavingServersEnd_data()
    {
        QTest::addColumn<ScriptedWhoisServer::Reply>("reply");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("never answers") << ScriptedWhoisServer::Reply {{}, 0, 0, false, true}
                                       << QStringLiteral("no data from the server");
        QTest::newRow("never closes") << ScriptedWhoisServer::Reply {"hello\r\n", 0, 0, true}
                                      << QStringLiteral("no data from the server");
        QTest::newRow("drips forever") << ScriptedWhoisServer::Reply {{}, 0, 20, false, false, true}
                                       << QStringLiteral("took longer than");
    }
    void misbehavingServersEnd()
    {
        QFETCH(ScriptedWhoisServer::Reply, reply);
        QFETCH(QString, lastLine);
        Rig rig;
        rig.lookup.setLimits({10000, 300, 1000, 1 << 20});
        rig.server.setReply(reply);
        QVERIFY(rig.run());
        QCOMPARE(rig.ended, 1);
        QVERIFY2(rig.response.contains(lastLine), qPrintable(rig.response));
        QVERIFY(!rig.lookup.inProgress());
    }

    void oversizedResponseIsCut()
    {
        Rig rig;
        rig.lookup.setLimits({10000, 5000, 10000, 4096});
        rig.server.setReply({QByteArray(64 * 1024, 'a'), 1024, 0, true});
        QVERIFY(rig.run());
        QVERIFY(rig.response.contains(QStringLiteral("larger than 4096 bytes")));
        QVERIFY(rig.response.size() < 64 * 1024);
    }

    void newLookupClosesTheOpenOne()
    {
        Rig rig;
        rig.server.setReply({"first\r\n", 0, 0, true});
        QVERIFY(rig.lookup.SearchCurrent(QStringLiteral("one\r\n")));
        QVERIFY(rig.yield.waitUntil([&] { return rig.response.contains(QStringLiteral("first")); }, 5000));
        rig.server.setReply({"second\r\n"});
        QVERIFY(rig.run(QStringLiteral("two\r\n")));
        QCOMPARE(rig.ended, 1);
        QCOMPARE(rig.server.queries().size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_Lookup)
#include "tst_lookup.moc"
