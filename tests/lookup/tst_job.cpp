// The one contract every asynchronous piece keeps: result() once, never from inside start(), none
// after kill(), and the job gone after either unless told to stay.
#include "Recorders.h"
#include "ScriptedDnsResolver.h"
#include "ScriptedHttpServer.h"
#include "ScriptedWhoisServer.h"
#include "lookup/DnsCheck.h"
#include "lookup/NameLookup.h"
#include "lookup/RdapBootstrap.h"
#include "lookup/RdapLookup.h"
#include "lookup/WhoisLookup.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {

// Everything the jobs of the table need, on 127.0.0.1.
struct World
{
    ScriptedWhoisServer whois;
    ScriptedHttpServer http;
    ScriptedDnsResolver dns;
    QTemporaryDir cache;
    ManualClock clock {QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC)};
    QNetworkAccessManager network;
    std::unique_ptr<DnsResolver> resolver;
    std::unique_ptr<Router> router;
    std::unique_ptr<RdapBootstrapCache> bootstrap;

    World()
    {
        whois.setReply({"No match for \"X.COM\".\r\n"});
        http.setReply({404, {}, {}});
        resolver = std::make_unique<DnsResolver>(DnsSettings {dns.address()});
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        router = std::make_unique<Router>(settings, clock);
        bootstrap = std::make_unique<RdapBootstrapCache>(network, clock, cache.path());
        bootstrap->setSourceUrl(http.baseUrl() + u"dns.json"_s);
    }

    // A job of the kind named, not started; `endsAtOnce`: one whose end is known inside start().
    Job *make(const QString &kind)
    {
        if (kind.startsWith(u"whois"_s)) {
            auto *job = new WhoisLookup(clock);
            job->setServer({u"127.0.0.1"_s, kind.endsWith(u"refused"_s) ? quint16(1) : whois.port()});
            job->setQuery(u"x.com\r\n"_s);
            return job;
        }
        if (kind.startsWith(u"rdap"_s)) {
            auto *job = new RdapLookup(network, clock);
            job->setBase(kind.endsWith(u"not http"_s) ? u"ftp://127.0.0.1/"_s : http.baseUrl());
            job->setName(u"x.com"_s);
            return job;
        }
        if (kind.startsWith(u"name"_s)) {
            LookupPlan plan;
            plan.name = plan.ace = u"x.com"_s;
            if (kind.endsWith(u"unasked"_s)) {
                plan.unaskedLines = u"No WHOIS server is known for .com\r\n"_s;
            } else if (kind.endsWith(u"rdap"_s)) {
                plan.via = LookupPlan::Via::Rdap;
                plan.rdapBase = http.baseUrl();
            } else {
                plan.via = LookupPlan::Via::Whois;
                plan.server = {u"127.0.0.1"_s, whois.port()};
                plan.queryLine = u"x.com\r\n"_s;
            }
            return new NameLookup(plan, *router);
        }
        if (kind == u"dns check"_s)
            return new DnsCheck(*resolver, u"x.com"_s);
        return bootstrap->refreshIfStale(); // started already
    }
};

} // namespace

class tst_Job : public QObject
{
    Q_OBJECT

private slots:
    void contract_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("kill");
        for (const char *kind :
             {"whois", "whois refused", "rdap", "rdap not http", "name lookup", "name lookup unasked",
              "name lookup rdap", "dns check", "bootstrap refresh"}) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << false;
            QTest::newRow(QByteArray(kind) + ", killed") << QString::fromLatin1(kind) << true;
        }
    }
    void contract()
    {
        QFETCH(QString, kind);
        QFETCH(bool, kill);
        World world;
        QPointer<Job> job = world.make(kind);
        QVERIFY(job);
        QSignalSpy results(job.data(), &Job::result);
        if (!job->isStarted())
            job->start();
        QCOMPARE(results.size(), 0); // never from inside start()
        if (kill) {
            job->kill();
            QTRY_VERIFY(!job); // gone, and no result on the way
            QCOMPARE(results.size(), 0);
            return;
        }
        QVERIFY(results.wait(20000));
        QTRY_VERIFY(!job); // deleted once its result is out
        QCOMPARE(results.size(), 1);
    }

    // An RDAP answer that leaves the name unknown says why in the record's detail.
    void rdapDetail_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("detail");
        QTest::newRow("web page") << 200 << QByteArray("<html>hello</html>")
                                  << u"HTTP 200: the answer is not RDAP JSON"_s;
        QTest::newRow("another domain") << 200 << QByteArray(R"({"ldhName":"y.com"})")
                                        << u"HTTP 200: the answer does not name this domain"_s;
        QTest::newRow("server error") << 500 << QByteArray("oops") << u"HTTP 500"_s;
    }
    void rdapDetail()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        World world;
        world.http.setReply(
            {status,
             body,
             {{"Content-Type",
               status == 200 && body.startsWith('<') ? "text/html" : "application/rdap+json"}}});
        std::unique_ptr<NameLookup> lookup(static_cast<NameLookup *>(world.make(u"name lookup rdap"_s)));
        lookup->setAutoDelete(false);
        QSignalSpy results(lookup.get(), &Job::result);
        lookup->start();
        QVERIFY(results.wait(20000));
        QCOMPARE(lookup->record().verdict.kind, VerdictKind::Unknown);
        QTEST(lookup->record().detail, "detail");
    }
};

QTEST_GUILESS_MAIN(tst_Job)
#include "tst_job.moc"
