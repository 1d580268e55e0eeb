// One WHOIS lookup against a scripted server on 127.0.0.1: what reaches the response text, and
// that every lookup ends, however the server behaves.
#include "ScriptedWhoisServer.h"
#include "Tables.h"
#include "lookup/NameLookup.h"
#include "lookup/WhoisLookup.h"
#include "verdict/QueryLine.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;
using zandrel::test::ScriptedWhoisServer;

Q_DECLARE_METATYPE(zandrel::LookupEnd)

class tst_Lookup : public QObject
{
    Q_OBJECT

    struct Rig
    {
        ScriptedWhoisServer server;
        ManualClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
        WhoisLookup lookup {clock};
        QString response;
        int ended = 0;

        Rig()
        {
            lookup.setAutoDelete(false);
            // By host name: looked up first, then each of its addresses tried in turn.
            lookup.setServer({u"localhost"_s, server.port()});
            QObject::connect(&lookup, &WhoisLookup::responseText, &lookup,
                             [this](const QString &text) { response += text; });
            QObject::connect(&lookup, &Job::result, &lookup, [this] { ++ended; });
        }
        // Once `seen` has arrived, the clock moves on by `advanceMs` (a limit's time passes).
        bool run(const QString &query = u"DO example.com\r\n"_s, qint64 advanceMs = 0,
                 const QString &seen = {})
        {
            lookup.setQuery(query);
            lookup.start();
            if (advanceMs > 0) {
                if (!QTest::qWaitFor(
                        [&] { return response.contains(u"Connected."_s) && response.contains(seen); }, 20000))
                    return false;
                clock.advance(advanceMs);
            }
            return QTest::qWaitFor([this] { return ended > 0; }, 20000)
                && !response.startsWith(u"Connection failed"_s);
        }
    };

private slots:
    // Nothing listens on port 1: the failure line names the server. (The end never comes from
    // inside start(): tst_job.)
    void refusedConnectionEndsWithTheFailureLine()
    {
        Rig rig;
        rig.lookup.setServer({u"127.0.0.1"_s, 1});
        QVERIFY(!rig.run(u"x\r\n"_s));
        QVERIFY2(rig.response.startsWith(u"Connection failed: "_s)
                     && rig.response.endsWith(u" (127.0.0.1:1)\r\n\r\n"_s),
                 qPrintable(rig.response));
    }

    // A registry's WHOIS server that refuses the connection is asked again over the RDAP service
    // the bootstrap names (reached this way by a TLD the bootstrap learnt after it was routed).
    void refusedRegistryFallsBackToRdap()
    {
        QTemporaryDir cache;
        QVERIFY(zandrel::test::writeAll(cache.filePath(u"rdap-dns.json"_s),
                                        "{\"publication\":\"2099-01-01T00:00:00Z\",\"services\":"
                                        "[[[\"zz\"],[\"http://127.0.0.1:9/zz/\"]]]}"));
        ManualClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        Router router(settings, clock);
        LookupPlan plan;
        plan.name = plan.ace = u"a.zz"_s;
        plan.routable = plan.rdapFallback = true;
        plan.via = LookupPlan::Via::Whois;
        plan.server = {u"127.0.0.1"_s, 1};
        plan.queryLine = u"a.zz\r\n"_s;
        NameLookup lookup(plan, router);
        lookup.setAutoDelete(false);
        QSignalSpy ended(&lookup, &Job::result);
        lookup.start();
        QVERIFY(ended.wait(20000));
        QVERIFY(lookup.fallback() && lookup.fallback()->via == LookupPlan::Via::Rdap);
        QCOMPARE(lookup.fallback()->rdapBase, u"http://127.0.0.1:9/zz/"_s);
        QVERIFY(
            lookup.shownText().endsWith(u"Asking the RDAP service http://127.0.0.1:9/zz/ instead.\r\n"_s));
    }

    // However the server behaves, the lookup ends once: what arrived is shown line by line however
    // it was cut up, a last line without end too, then why it closed, in the server's charset (UTF-8
    // unless its row names another, Latin-1 for bytes that are not UTF-8); odd bytes neither crash
    // nor cut it. The text is held to the size limit: one byte past it is enough to cut the lookup
    // off, an answer of exactly the limit is whole.
    void answersAndEnds_data()
    {
        QTest::addColumn<ScriptedWhoisServer::Reply>("reply");
        QTest::addColumn<QString>("answer"); // a pattern for the lookup's own answer, shown first
        QTest::addColumn<QString>("closed"); // shown after it
        QTest::addColumn<LookupEnd>("how"); // a lookup that received anything was cut off
        QTest::addColumn<QString>("failure");
        QTest::addColumn<qint64>("advanceMs"); // how far the clock moves once `seen` has arrived
        QTest::addColumn<QString>("seen");
        QTest::addColumn<QString>("charset");
        const auto row = [](const char *tag, const ScriptedWhoisServer::Reply &reply, const char *answer,
                            const char *closed, LookupEnd how, const char *failure, qint64 advanceMs = 0,
                            const char *seen = "", const char *charset = "") {
            QTest::newRow(tag) << reply << QString::fromUtf8(answer)
                               << (*closed
                                       ? u"\r\nConnection closed: %1.\r\n"_s.arg(QString::fromUtf8(closed))
                                       : QString())
                               << how << QString::fromUtf8(failure) << advanceMs << QString::fromUtf8(seen)
                               << QString::fromUtf8(charset);
        };
        const auto exactly = [](const char *text) {
            return QRegularExpression::escape(QString::fromUtf8(text)).toUtf8();
        };
        const QByteArray text = "Domain Name: EXAMPLE.COM\r\nRegistrar: X\nlast line without end";
        const QByteArray shown
            = exactly("Domain Name: EXAMPLE.COM\r\nRegistrar: X\r\nlast line without end\r\n");
        row("whole", {text}, shown.constData(), "", LookupEnd::Answered, "");
        row("1-byte chunks", {text, 1, 1}, shown.constData(), "", LookupEnd::Answered, "");
        row("UTF-8 split mid-character", {"Inhaber: M\xc3\xbcller\r\n", 11, 1}, "Inhaber: M\u00fcller\r\n",
            "", LookupEnd::Answered, "");
        row("Latin-1, not UTF-8", {"Inhaber: M\xfcller\r\n"}, "Inhaber: M\u00fcller\r\n", "",
            LookupEnd::Answered, "");
        row("the row's charset",
            {"\xb3\xf3"
             "d\xbc\r\n",
             2, 1},
            "\u0142\u00f3d\u017a\r\n", "", LookupEnd::Answered, "", 0, "", "iso-8859-2");
        row("odd bytes",
            {QByteArray("a\0b\xff\xfe"
                        "c\r\n\xc3\xa9t\r\n",
                        13)},
            exactly("a\uFFFDb\u00ff\u00fec\r\n\u00c3\u00a9t\r\n").constData(), "", LookupEnd::Answered, "");
        const char *silent = "no data from the server for 1 seconds";
        const char *tooLarge = "the response is larger than 4096 bytes";
        row("never answers", {{}, 0, 0, true}, "", silent, LookupEnd::NoAnswer, "no answer within 1 s", 1000);
        row("never closes", {"hello\r\nhal", 0, 0, true}, "hello\r\nhal\r\n", silent, LookupEnd::CutOff,
            "cut off: no data for 1 s", 1000, "hello");
        // Bytes keep coming, so the idle limit never runs out: the total one does.
        row("drips forever", {QByteArray("x\r\n").repeated(5000), 3, 20}, "(x\r\n)+",
            "the response took longer than 2.5 seconds", LookupEnd::CutOff, "cut off after 2.5 s", 2500, "x");
        row("far over, in chunks, never closing", {QByteArray(64 * 1024, 'a'), 1024, 0, true}, "a{4096}\r\n",
            tooLarge, LookupEnd::CutOff, "cut off at 4096 bytes");
        row("one byte over", {QByteArray(4097, 'a')}, "a{4096}\r\n", tooLarge, LookupEnd::CutOff,
            "cut off at 4096 bytes");
        row("exactly the limit", {QByteArray(4096, 'a')}, "a{4096}\r\n", "", LookupEnd::Answered, "");
    }
    void answersAndEnds()
    {
        QFETCH(ScriptedWhoisServer::Reply, reply);
        QFETCH(QString, answer);
        QFETCH(QString, closed);
        QFETCH(qint64, advanceMs);
        QFETCH(QString, seen);
        QFETCH(QString, charset);
        Rig rig;
        rig.lookup.setCharset(charset);
        // The drip's idle limit is longer than its total one.
        rig.lookup.setLimits({10000, seen == u"x"_s ? 5000 : 1000, 2500, 4096});
        rig.server.setReply(reply);
        QVERIFY(rig.run(u"DO example.com\r\n"_s, advanceMs, seen));
        QCOMPARE(rig.ended, 1);
        QVERIFY(!rig.lookup.inProgress());
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(answer))
                     .match(rig.lookup.answer())
                     .hasMatch(),
                 qPrintable(rig.lookup.answer()));
        QCOMPARE(rig.response, u"Connected.  Waiting for data...\r\n\r\n"_s + rig.lookup.answer() + closed);
        QTEST(rig.lookup.endedHow(), "how");
        if (rig.lookup.endedHow() == LookupEnd::Answered)
            QCOMPARE(rig.server.queries(), QList<QByteArray> {"DO example.com\r\n"});
        QTEST(rig.lookup.failure(), "failure");
    }
};

QTEST_GUILESS_MAIN(tst_Lookup)
#include "tst_lookup.moc"
