// One RDAP lookup against a scripted HTTP server on 127.0.0.1: the text it shows, the verdict,
// and that every lookup ends once, however the server behaves.
#include "Recorders.h"
#include "ScriptedHttpServer.h"
#include "lookup/RdapLookup.h"
#include "verdict/RdapVerdict.h"

#include <QNetworkAccessManager>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;
using zandrel::test::ScriptedHttpServer;
using Reply = ScriptedHttpServer::Reply;

namespace {

const QByteArray RdapJson = "application/rdap+json";

const QByteArray TakenBody = R"({"objectClassName":"domain","ldhName":"Example.COM",
 "status":["client transfer prohibited","active"], "entities":[{"roles":["registrar"],
   "vcardArray":["vcard",[["version",{},"text","4.0"],["fn",{},"text","Example Registrar, Inc."]]]}],
 "nameservers":[{"ldhName":"a.iana-servers.net"}, {"ldhName":"NS2.EXAMPLE.COM"}],
 "events":[{"eventAction":"registration","eventDate":"1995-08-14T04:00:00Z"},
   {"eventAction":"expiration","eventDate":"2027-08-13T04:00:00Z"},
   {"eventAction":"last update of RDAP database","eventDate":"2026-12-06T22:00:00Z"},
   {"eventAction":"last changed","eventDate":"2026-08-14T07:01:34Z"}]})";

} // namespace

Q_DECLARE_METATYPE(zandrel::Verdict)

class tst_Rdap : public QObject
{
    Q_OBJECT

    struct Rig
    {
        ScriptedHttpServer server;
        QNetworkAccessManager network;
        ManualClock clock {QDateTime(QDate(2026, 12, 6), QTime(22, 0), Qt::UTC)};
        RdapLookup lookup {network, clock};
        QString response;
        int ended = 0;

        explicit Rig(const Reply &reply)
        {
            server.setReply(reply);
            lookup.setAutoDelete(false);
            lookup.setBase(server.baseUrl());
            lookup.setName(u"example.com"_s);
            lookup.setLimits({10000, 1000, 5000, 65536});
            QObject::connect(&lookup, &RdapLookup::responseText, &lookup,
                             [this](const QString &text) { response += text; });
            QObject::connect(&lookup, &Job::result, &lookup, [this] { ++ended; });
        }
        Verdict verdict() const { return rdapVerdict(lookup.lastEnd(), lookup.lastName()); }
    };

    static Verdict unknown(UnknownReason reason) { return Verdict::unknown(reason); }
    // A row: what the server does, the text shown after the connection line (for a lookup that got
    // no answer, a part of it), the verdict, the Retry-After seconds (-1: none) and the base URL
    // (empty: the scripted server).
    static void row(const char *name, const Reply &reply, const QString &shown, const Verdict &verdict,
                    qint64 retryAfter = -1, const QString &base = {})
    {
        QTest::newRow(name) << reply << shown << verdict << retryAfter << base;
    }

private slots:
    void tlsBackendIsThere() { QVERIFY(QSslSocket::supportsSsl()); }

    void lookups_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<qint64>("retryAfter");
        QTest::addColumn<QString>("base");

        const Verdict free {VerdictKind::Free, {}};
        const Verdict taken {VerdictKind::Taken, {}};
        const Verdict unrecognised = unknown(UnknownReason::Unrecognised);
        const Verdict limited = unknown(UnknownReason::RateLimited);
        const QString tooMany = u"HTTP 429 Too Many Requests\r\n"_s;
        row("404", {404, "{\"errorCode\":404}", {{"Content-Type", RdapJson}}},
            u"Domain not found (HTTP 404).\r\n"_s, free);
        row("200 with name servers", {200, TakenBody, {{"Content-Type", RdapJson + "; charset=utf-8"}}},
            u"   Domain Name: EXAMPLE.COM\r\n   Registrar: Example Registrar, Inc.\r\n"
            u"   Domain Status: client transfer prohibited\r\n   Domain Status: active\r\n"
            u"   Name Server: A.IANA-SERVERS.NET\r\n   Name Server: NS2.EXAMPLE.COM\r\n"
            u"   Updated Date: 2026-08-14T07:01:34Z\r\n   Creation Date: 1995-08-14T04:00:00Z\r\n"
            u"   Registry Expiry Date: 2027-08-13T04:00:00Z\r\n"_s,
            taken);
        row("forged lines stay on theirs",
            {200, "{\"ldhName\":\"EXAMPLE.COM\",\"status\":[\"a\\r\\nDomain Name: X.COM\\u2028b\"]}", {}},
            u"   Domain Name: EXAMPLE.COM\r\n   Domain Status: a Domain Name: X.COM b\r\n"_s, taken);
        row("429 until a date", {429, {}, {{"Retry-After", "Sun, 06 Dec 2026 22:02:00 GMT"}}}, tooMany,
            limited, 120);
        row("429 for ages", {429, {}, {{"Retry-After", "99999999999"}}}, tooMany, limited, 3600);
        row("500", {500, "oops", {{"Retry-After", "soon"}}}, u"HTTP 500 Internal Server Error\r\n"_s,
            unknown(UnknownReason::NoAnswer));
        row("invalid JSON", {200, "{\"ldhName\": \"example.com\"", {}},
            u"HTTP 200 OK\r\nThe answer is not RDAP JSON.\r\n"_s, unrecognised);
        row("web server's 404 page",
            {404, "<p>No match for \"example.com\".", {{"Content-Type", "text/html"}}},
            u"HTTP 404 Not Found\r\nThe answer is not RDAP JSON.\r\n"_s, unrecognised);
        row("root dot, other case", {200, "{\"ldhName\":\"Example.Com.\"}", {}},
            u"   Domain Name: EXAMPLE.COM.\r\n"_s, taken);
        row("another domain", {200, "{\"ldhName\":\"example.com.au.\"}", {}},
            u"HTTP 200 OK\r\nThe answer does not name this domain.\r\n"_s, unrecognised);
        row("nested too deep", {200, QByteArray(100, '[') + QByteArray(100, ']'), {}},
            u"HTTP 200 OK\r\nThe answer nests deeper than 32 levels.\r\n"_s, unrecognised);
        // Lookups that get no answer.
        row("never answers", {200, {}, {}, true}, u"no data from the server for 1 seconds"_s,
            unknown(UnknownReason::CutOff));
        row("stopped twice", {200, {}, {}, true},
            u"Connected.  Waiting for data...\r\n\r\n\r\nStopped.\r\n"_s, unknown(UnknownReason::NoAnswer));
        row("body past the cap", {200, {}, {}, false, 4 << 20}, u"larger than 65536 bytes"_s,
            unknown(UnknownReason::CutOff));
        row("length past the cap", {200, QByteArray(70000, ' '), {}}, u"larger than 65536 bytes"_s,
            unknown(UnknownReason::CutOff));
        row("redirect loop", {302, {}, {{"Location", "/domain/example.com"}}},
            u"redirected more than 5 times"_s, unrecognised);
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        row("refused", {}, u"Connection failed: "_s, unknown(UnknownReason::ConnectionFailed), -1,
            u"http://127.0.0.1:%1/"_s.arg(closed.serverPort()));
        row("not http", {}, u"Not an http or https RDAP address: ftp://127.0.0.1/"_s,
            unknown(UnknownReason::ConnectionFailed), -1, u"ftp://127.0.0.1/"_s);
    }
    // Each lookup ends once, shows what the server said and judges it; a 404 alone means free.
    void lookups()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, shown);
        QFETCH(Verdict, verdict);
        QFETCH(QString, base);
        Rig rig(reply);
        if (!base.isEmpty())
            rig.lookup.setBase(base);
        rig.lookup.start();
        // A server that never answers is given up once the idle limit's time has passed, unless the
        // row is of one stopped first (twice: it still ends once).
        if (reply.neverAnswer) {
            QVERIFY(QTest::qWaitFor([&rig] { return rig.response.startsWith(u"Connected."_s); }, 20000));
            if (verdict == unknown(UnknownReason::NoAnswer)) {
                rig.lookup.abandon(u"Stopped."_s);
                rig.lookup.abandon(u"Stopped."_s);
            }
            rig.clock.advance(1000);
        }
        QVERIFY(QTest::qWaitFor([&rig] { return rig.ended > 0; }, 20000));
        QCoreApplication::processEvents();
        QCOMPARE(rig.ended, 1);
        QVERIFY2(rig.response.contains(shown), qPrintable(rig.response));
        QCOMPARE(rig.verdict(), verdict);
        QTEST(rig.lookup.lastEnd().retryAfterSeconds.value_or(-1), "retryAfter");
        if (verdict.answered()) {
            QCOMPARE(rig.response, u"Connected.  Waiting for data...\r\n\r\n"_s + shown);
            QCOMPARE(rig.server.requests().first().path, QByteArray("/domain/example.com"));
            QVERIFY(rig.server.requests().first().head.contains("Accept: application/rdap+json"));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Rdap)
#include "tst_rdap.moc"
