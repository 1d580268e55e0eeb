// Which RDAP service serves a name: the bootstrap file, the copy compiled in, and its refresh into
// the cache folder from a scripted server on 127.0.0.1.
#include "Recorders.h"
#include "ScriptedHttpServer.h"
#include "Tables.h"
#include "lookup/RdapBootstrap.h"
#include "verdict/ServerTable.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;
using zandrel::test::ScriptedHttpServer;

namespace {

QByteArray bootstrapFile(const QByteArray &publication, const QByteArray &services)
{
    return "{\"version\":\"1.0\",\"publication\":\"" + publication + "\",\"services\":[" + services + "]}";
}

const QByteArray Services = "[[\"uk\"], [\"https://rdap.nominet.uk/uk/\"]],"
                            "[[\"co.uk\", \"ORG.\"], [\"http://co.example/\", \"https://co.example/\"]],"
                            "[[\"bad entry\", \"net\"], [\"ftp://x/\", \"https://net.example/\"]],"
                            "[[\"io\"], [\"ftp://only.example/\"]]";

} // namespace

class tst_RdapBootstrap : public QObject
{
    Q_OBJECT

private slots:
    // The longest matching entry with a usable URL serves a name; a file that does not parse
    // gives no routes and says why.
    void routes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("base"); // empty: none
        const QByteArray good = bootstrapFile("2026-01-02T03:04:05Z", Services);
        QTest::newRow("one label") << good << u"example.uk"_s << u"https://rdap.nominet.uk/uk/"_s;
        QTest::newRow("longest entry wins") << good << u"shop.example.co.uk"_s << u"https://co.example/"_s;
        QTest::newRow("case and dots") << good << u"EXAMPLE.Org."_s << u"https://co.example/"_s;
        QTest::newRow("entry beside a bad one") << good << u"example.net"_s << u"https://net.example/"_s;
        QTest::newRow("unknown TLD") << good << u"example.de"_s << QString();
        QTest::newRow("no usable URL") << good << u"example.io"_s << QString();
        QTest::newRow("suffix is not a label") << good << u"example.xuk"_s << QString();
        QTest::newRow("empty file") << QByteArray() << u"example.uk"_s << QString();
        QTest::newRow("too deep") << QByteArray(1000, '[') + QByteArray(1000, ']') << u"example.uk"_s
                                  << QString();
        QTest::newRow("nothing usable")
            << bootstrapFile("x", "[[\"uk\"],[\"ftp://x/\"]], 5, [[], []]") << u"example.uk"_s << QString();
    }
    void routes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        const Result<RdapBootstrap> bootstrap = RdapBootstrap::parse(file);
        QTEST(bootstrap ? bootstrap->baseFor(name) : QString(), "base");
        QVERIFY(bootstrap || !bootstrap.error().text.isEmpty());
    }

    // The compiled-in copy, a cached copy and a refresh: which one routes .com afterwards. A refresh
    // ends when its server answers (its limit is 60 s); a failed one is remembered, so the next run
    // within the hour asks nothing either.
    void cacheAndRefresh_data()
    {
        QTest::addColumn<QByteArray>("cached"); // empty: no cached copy
        QTest::addColumn<int>("cacheAgeDays");
        QTest::addColumn<ScriptedHttpServer::Reply>("served"); // by the bootstrap URL; status 0: not asked
        QTest::addColumn<QString>("comBase");
        QTest::addColumn<bool>("complains");

        const QByteArray newer
            = bootstrapFile("2099-01-01T00:00:00Z", "[[\"com\"],[\"https://newer.example/\"]]");
        const QByteArray older
            = bootstrapFile("2001-01-01T00:00:00Z", "[[\"com\"],[\"https://older.example/\"]]");
        const QString builtIn = u"https://rdap.verisign.com/com/v1/"_s;
        const auto json = [](const QByteArray &body) {
            return ScriptedHttpServer::Reply {200, body, {{"Content-Type", "application/json"}}};
        };
        const ScriptedHttpServer::Reply notAsked {0, {}, {}};
        QTest::newRow("fresh newer cache") << newer << 1 << notAsked << u"https://newer.example/"_s << false;
        QTest::newRow("stale cache, refreshed")
            << older << 8 << json(newer) << u"https://newer.example/"_s << false;
        QTest::newRow("refresh does not parse") << older << 8 << json("<html>") << builtIn << true;
        QTest::newRow("refresh refused")
            << QByteArray() << 0 << ScriptedHttpServer::Reply {404, {}, {}} << builtIn << true;
        QTest::newRow("cache does not parse") << QByteArray("{") << 1 << notAsked << builtIn << true;
    }
    void cacheAndRefresh()
    {
        QFETCH(QByteArray, cached);
        QFETCH(int, cacheAgeDays);
        QFETCH(ScriptedHttpServer::Reply, served);
        QTemporaryDir folder;
        ScriptedHttpServer server;
        server.setReply(served);
        QNetworkAccessManager network;
        test::FixedClock clock {QDateTime::currentDateTimeUtc()};
        for (int run = 0; run < 2; ++run) {
            RdapBootstrapCache cache {network, clock, folder.path()};
            cache.setSourceUrl(server.baseUrl() + u"dns.json"_s);
            QFile file(cache.cacheFile());
            if (run == 0 && !cached.isEmpty()) {
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(cached) == cached.size()
                        && file.flush());
                QVERIFY(
                    file.setFileTime(clock.now().addDays(-cacheAgeDays), QFileDevice::FileModificationTime));
                file.close();
            }
            if (Job *refresh = cache.refreshIfStale()) {
                QSignalSpy ended(refresh, &Job::result);
                QVERIFY(cache.refreshIfStale() == refresh); // one refresh at a time
                QVERIFY(ended.wait(20000));
            }
            QVERIFY(!cache.refreshIfStale()); // at most once a run
            QCOMPARE(server.requests().size(), served.status == 0 ? 0 : 1);
            QTEST(cache.bootstrap().baseFor(u"example.com"_s), "comBase");
            if (run == 0)
                QTEST(!cache.message().isEmpty(), "complains");
            // The compiled-in copy serves the other TLDs.
            if (cache.bootstrap().baseFor(u"example.com"_s).contains(u"verisign"_s))
                QCOMPARE(cache.bootstrap().baseFor(u"example.co.uk"_s), u"https://rdap.nominet.uk/uk/"_s);
        }
    }

    // Every TLD IANA's root zone delegates, the bundled bootstrap names or the table has a row for
    // has a route with the default settings: its row, its RDAP service, or IANA's referral to its
    // WHOIS server; or it is named below as having no public service. A TLD that gains a row or an
    // RDAP service leaves that list.
    void everyTldHasARoute()
    {
        // NONE or WEB (a web form only) in https://github.com/rfc1036/whois/blob/master/tld_serv_list
        // (its copy at commit 00059e0f), and no service in the bootstrap.
        const QStringList noService
            = u"al ao aq az ba bb bd bf bh bs bt bv cg ck cu cw cy dj eg er et fk gb "
              "ge gh gm gn gp gr gt gu gw jm jo kh km kp kw lr ls mc mh mil mm mo mp "
              "mr mt mv mw ne ni np nr pa ph pk py sj sv sz td tj tt va vn za zw "
              "xn--54b7fta0cc xn--l1acc xn--mgbai9azgqp6j xn--mgbayh7gpa "
              "xn--mgbc0a9azcg xn--mgbpl2fh xn--mix891f xn--pgbs0dh xn--qxam"_s.split(u' ');
        const Result<RdapBootstrap> bootstrap
            = RdapBootstrap::parse(test::readAll(u":/zandrel/rdap-dns.json"_s));
        QVERIFY(bootstrap);
        const QString delegated = u"" ZANDREL_TEST_DATA "/../../data/tlds-alpha-by-domain.txt"_s;
        const QStringList lines
            = QString::fromLatin1(test::readAll(delegated)).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(lines.value(0).startsWith(u"# Version "_s)); // dated, as IANA publishes it
        QSet<QString> tlds;
        for (const QString &line : lines.mid(1))
            tlds << line.trimmed().toLower();
        QCOMPARE(tlds.size(), lines.size() - 1);
        for (const QString &entry : bootstrap->entries())
            tlds << entry.section(u'.', -1);
        for (const QString &tld : ServerTable::builtIn().tlds())
            tlds << tld;
        for (const QString &tld : std::as_const(tlds)) {
            const QString name = u"example."_s + tld;
            const Route route = routeName(name, ServerTable::builtIn(), {}, {}, [&](const QString &ace) {
                return !bootstrap->baseFor(ace).isEmpty();
            });
            const bool listed = noService.contains(tld);
            QVERIFY2(!listed || route.kind == Route::Kind::AskIana, qPrintable(tld));
            // An RDAP route without a known service falls back to the row's WHOIS server.
            const bool rdap = !route.rdapBase.isEmpty() || !bootstrap->baseFor(name).isEmpty();
            const bool whois = route.kind == Route::Kind::Server
                || (route.kind == Route::Kind::Rdap && !rdap && !route.server.host.isEmpty());
            QVERIFY2(route.kind == Route::Kind::AskIana || whois || rdap, qPrintable(tld));
        }
        for (const QString &tld : noService)
            QVERIFY2(tlds.contains(tld), qPrintable(tld));
    }
};

QTEST_GUILESS_MAIN(tst_RdapBootstrap)
#include "tst_rdapbootstrap.moc"
