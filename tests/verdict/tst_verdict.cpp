// Verdicts from registry answers, registrable names, and where each name is asked.
#include "lookup/BackOff.h"
#include "verdict/RdapVerdict.h"
#include "verdict/Registrable.h"
#include "verdict/ServerTable.h"
#include "verdict/Verdict.h"

#include <QDir>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

namespace {
const Verdict Free {VerdictKind::Free, {}};
const Verdict Taken {VerdictKind::Taken, {}};
Verdict unknown(const QString &why)
{
    return {VerdictKind::Unknown, why};
}

// "host:port", "ask IANA", "none" or "rdap:BASE".
QString where(const Route &route)
{
    switch (route.kind) {
    case Route::Kind::AskIana:
        return u"ask IANA"_s;
    case Route::Kind::NoServer:
        return u"none"_s;
    case Route::Kind::Rdap:
        return u"rdap:"_s + route.rdapBase;
    case Route::Kind::Server:
        break;
    }
    return u"%1:%2"_s.arg(route.server.host).arg(route.server.port);
}
} // namespace

Q_DECLARE_METATYPE(zandrel::Verdict)
Q_DECLARE_METATYPE(zandrel::LookupEnd)

class tst_Verdict : public QObject
{
    Q_OBJECT
private slots:
    // "Free" only where the registry of the name's TLD said so, for the name asked: not from
    // overrides that send every name to one server, nor for names under second-level suffixes other
    // registries run.
    void answers_data()
    {
        for (const char *column : {"name", "option", "whoisServer", "perTld", "answer"})
            QTest::addColumn<QString>(column); // perTld: "tld=value"
        QTest::addColumn<LookupEnd>("end");
        QTest::addColumn<Verdict>("expected");
        QTest::addColumn<bool>("explained"); // by the server's authority alone

        // Captured registry answers: NAME.EXPECTED.txt, or NAME.EXPECTED~VARIANT.txt for another
        // capture of the same name, judged by the rules of NAME's TLD.
        const QDir answers(QStringLiteral(ZANDREL_TEST_DATA "/answers"));
        const QHash<QString, Verdict> expected {{u"free"_s, Free},
                                                {u"taken"_s, Taken},
                                                {u"rate-limited"_s, unknown(reason::RateLimited)},
                                                {u"unrecognised"_s, unknown(reason::Unrecognised)}};
        for (const QString &file : answers.entryList({u"*.txt"_s}, QDir::Files)) {
            const QString stem = file.chopped(4).section(u'~', 0, 0);
            QFile text(answers.filePath(file));
            QVERIFY2(expected.contains(stem.section(u'.', -1)) && text.open(QIODevice::ReadOnly),
                     qPrintable(file));
            QTest::newRow(qPrintable(file))
                << stem.section(u'.', 0, -2) << QString() << QString() << QString()
                << QString::fromUtf8(text.readAll()) << LookupEnd::Answered
                << expected.value(stem.section(u'.', -1)) << false;
        }

        const auto row = [](const char *tag, const char *name, const char *answer, const Verdict &verdict,
                            LookupEnd end = LookupEnd::Answered) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString() << QString() << QString()
                               << QString::fromUtf8(answer) << end << verdict << false;
        };
        // Overridden servers: --server (option), WhoisServer, [Servers].
        const auto overridden = [](const char *tag, const char *name, const char *option, const char *whois,
                                   const char *perTld, const QString &answer, const Verdict &verdict) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(option)
                               << QString::fromUtf8(whois) << QString::fromUtf8(perTld) << answer
                               << LookupEnd::Answered << verdict << !verdict.answered();
        };
        const Verdict unrecognised = unknown(reason::Unrecognised);
        row("no match over lines", "myshop.net", "No match for domain\r\n  \"MYSHOP.NET\".", Free);
        row("no match names another", "myshop.com", "No match for \"MYSHOP.COM.AU\".\r\n", unrecognised);
        row("record of a longer name", "shop.com", "Domain Name: SHOP.COM.BR\r\n", unrecognised);
        row("names others, then this one", "shop.com",
            "No match for \"MYSHOP.COM\".\r\nNo match for \"SHOP.COM.AU\".\r\nNo match for \"SHOP.COM\".",
            Free);
        row("the .com registry on a .org name", "myshop.org", "No match for \"MYSHOP.ORG\".\r\n",
            unrecognised);
        row("limit beats not found", "myshop.org", "WHOIS LIMIT EXCEEDED\r\nNOT FOUND\r\n",
            unknown(reason::RateLimited));
        row("no row: .com rules", "myshop.zz", "No match for \"myshop.zz\".", Free);
        row("empty", "myshop.com", "\r\n \r\n", unknown(reason::NoAnswer));
        row("nothing came", "myshop.com", "", unknown(reason::NoAnswer), LookupEnd::NoAnswer);
        row("cut off", "myshop.com", "No match for \"MYSHOP.COM\".", unknown(reason::CutOff),
            LookupEnd::CutOff);
        row("connection failed", "myshop.com", "", unknown(reason::ConnectionFailed),
            LookupEnd::ConnectionFailed);
        row("abandoned half way", "myshop.com", "Domain Name: MY", unknown(reason::CutOff),
            LookupEnd::Abandoned);
        row("record and not-found at once", "myshop.com",
            "No match for \"MYSHOP.COM\".\r\n   Domain Name: MYSHOP.COM\r\n", unrecognised);
        row("value run on after the colon", "shop.info", "Domain ID:D1-LRMS\r\nDomain Name:SHOP.INFO\r\n",
            Taken);
        row(".nz refusal names the domain", "shop.co.nz",
            "domain_name: shop.co.nz\r\nquery_status: 440 Request Denied\r\n", unknown(reason::RateLimited));
        row(".nz error names the domain", "shop.co.nz",
            "domain_name: shop.co.nz\r\nquery_status: 500 Invalid characters\r\n", unrecognised);
        row(".nz before 2025", "shop.co.nz", "domain_name: shop.co.nz\r\nquery_status: 200 Active\r\n",
            Taken);
        row(".nz since 2025", "shop.co.nz", "Domain Name: shop.co.nz\r\nRegistrar: X\r\n", Taken);

        const char *verisign = "whois.verisign-grs.com";
        const auto noMatch = [](const char *name) {
            return u"No match for \"%1\".\r\n>>> Last update of whois database <<<\r\n\r\nThe Registry "
                   "database contains ONLY .COM, .NET, .EDU domains and\r\nRegistrars.\r\n"_s.arg(
                       QString::fromUtf8(name).toUpper());
        };
        overridden("--server Verisign, .co.uk", "google.co.uk", verisign, "", "", noMatch("google.co.uk"),
                   unrecognised);
        overridden("--server Verisign, .tv", "google.tv", verisign, "", "", noMatch("google.tv"),
                   unrecognised);
        overridden("WhoisServer Verisign, TLD without a row", "example.cc", "", verisign, "",
                   noMatch("example.cc"), unrecognised);
        overridden("WhoisServer Verisign, .com", "myshop.com", "", verisign, "", noMatch("myshop.com"), Free);
        overridden("unknown server says it holds .com only", "example.zz", "10.0.0.9", "", "",
                   noMatch("example.zz"), unrecognised);
        overridden("unknown server, its own TLD", "myshop.net", "10.0.0.9:4343", "", "",
                   noMatch("myshop.net"), Free);
        overridden("unknown server, no such sentence", "myshop.org", "", "10.0.0.9", "",
                   u"Domain not found.\r\n"_s, Free);
        overridden("another registry's record still counts", "google.tv", verisign, "", "",
                   u"Domain Name: GOOGLE.TV\r\n"_s, Taken);
        overridden("[Servers] vouches for its TLD", "google.co.uk", "", "", "uk=whois.verisign-grs.com",
                   noMatch("google.co.uk"), Free);
        overridden("suffix of another registry", "tsinghua.edu.cn", "", "", "", u"no matching record\r\n"_s,
                   unrecognised);
        overridden("suffix of another registry, .in", "india.gov.in", "", "", "", u"No Data Found\r\n"_s,
                   unrecognised);
        overridden("suffix of another registry, .at", "univie.ac.at", "", "", "", u"% nothing found\r\n"_s,
                   unrecognised);
        overridden("suffix of another registry, .us", "example.fed.us", "", "", "", u"No Data Found\r\n"_s,
                   unrecognised);
        overridden("suffix without a row", "google.com.et", verisign, "", "", noMatch("google.com.et"),
                   unrecognised);
        overridden("suffix the row lists", "myshop.co.uk", "", "", "",
                   u"No match for \"myshop.co.uk\".\r\n"_s, Free);
        overridden("suffix the row lists, .au", "myshop.com.au", "", "", "", u"Domain not found.\r\n"_s,
                   Free);
    }
    void answers()
    {
        QFETCH(QString, name);
        QFETCH(QString, option);
        QFETCH(QString, whoisServer);
        QFETCH(QString, perTld);
        QFETCH(QString, answer);
        QFETCH(LookupEnd, end);
        const std::optional<QString> ace = asciiName(name);
        QVERIFY(ace);
        ServerOverrides overrides {option, {}, whoisServer, Protocol::Whois};
        if (!perTld.isEmpty())
            overrides.perTld.insert(perTld.section(u'=', 0, 0), perTld.section(u'=', 1));
        const Route route = routeName(*ace, ServerTable::builtIn(), overrides);
        QString why;
        const RegistryRules rules = ServerTable::builtIn().judgingRules(route.tld);
        QTEST(decideVerdict(answer, *ace, rules, end, route.authority, &why), "expected");
        QTEST(!why.isEmpty(), "explained");
        QVERIFY(!why.contains(u'\n'));
    }

    // An RDAP 404 makes a name free only from its registry's service, for domain/NAME there.
    void rdapNotFound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url"); // where the answer came from; empty: not known
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Verdict>("expected");
        const QString base = u"https://rdap.example/rdap/"_s;
        const QByteArray plain = R"({"errorCode":404,"title":"Not Found"})";
        QTest::newRow("the registry's own") << u"shop.xyz"_s << base + u"domain/shop.xyz"_s << plain << Free;
        QTest::newRow("not known where from") << u"shop.xyz"_s << QString() << QByteArray() << Free;
        QTest::newRow("a redirect led elsewhere") << u"shop.xyz"_s << u"https://old.example/domain/shop.xyz"_s
                                                  << plain << unknown(reason::Unrecognised);
        QTest::newRow("redirector without the TLD")
            << u"shop.xyz"_s << base + u"domain/shop.xyz"_s
            << QByteArray(R"({"errorCode":404,"title":"Not Found","description":["domain shop.xyz not found )"
                          R"(in IANA bootstrap file"]})")
            << unknown(reason::Unrecognised);
        QTest::newRow("TLD not supported") << u"shop.xyz"_s << base + u"domain/shop.xyz"_s
                                           << QByteArray(R"({"errorCode":404,"title":"TLD not supported"})")
                                           << unknown(reason::Unrecognised);
        QTest::newRow("second-level suffix of another registry")
            << u"tsinghua.edu.cn"_s << base + u"domain/tsinghua.edu.cn"_s << plain
            << unknown(reason::Unrecognised);
    }
    void rdapNotFound()
    {
        QFETCH(QString, name);
        QFETCH(QString, url);
        QFETCH(QByteArray, body);
        RdapEnd end;
        end.status = 404;
        end.contentType = "application/rdap+json";
        end.body = body;
        end.url = QUrl(url);
        const Route route = routeName(name, ServerTable::builtIn(), {{}, {}, {}, Protocol::Rdap});
        QTEST(rdapVerdict(end, name, route.authority, u"https://rdap.example/rdap/"_s), "expected");
    }

    // Names no registry could hold are never asked.
    void registrable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // empty: registrable
        const QString label63(63, u'a');
        using namespace unregistrable;
        QTest::newRow("second level ccTLD") << u"example.co.uk"_s << QString();
        QTest::newRow("IDN") << u"b\u00fccher.de"_s << QString();
        QTest::newRow("63") << label63 + u".com"_s << QString();
        QTest::newRow("64") << label63 + u"a.com"_s << LabelTooLong;
        QTest::newRow("254") << QStringList(4, label63).join(u'.') + u".com"_s << NameTooLong;
        QTest::newRow("leading hyphen") << u"-shop.com"_s << HyphenAtEnd;
        QTest::newRow("trailing hyphen") << u"shop-.com"_s << HyphenAtEnd;
        QTest::newRow("underscore") << u"my_shop.com"_s << BadCharacter;
        QTest::newRow("empty label") << u"shop..com"_s << EmptyLabel;
        QTest::newRow("private suffix") << u"example.uk.com"_s << NotUnderSuffix;
        QTest::newRow("two labels under .com") << u"example.net.com"_s << NotUnderSuffix;
        QTest::newRow("a suffix itself") << u"co.uk"_s << NotUnderSuffix;
        QTest::newRow("one label") << u"example"_s << NotUnderSuffix;
        QTest::newRow("root dot dropped") << u"mystore.com."_s << QString();
        QTest::newRow("one root dot only") << u"mystore.com.."_s << EmptyLabel;
        QTest::newRow("upper-case IDN") << u"B\u00dcCHER.de"_s << QString();
        QTest::newRow("A-label") << u"xn--bcher-kva.de"_s << QString();
        QTest::newRow("A-label of U+0080") << u"xn--a.com"_s << DisallowedCodePoint;
        QTest::newRow("bad Punycode") << u"xn--zz.com"_s << InvalidPunycode;
        QTest::newRow("emoji") << u"\U0001F600.com"_s << DisallowedCodePoint;
        QTest::newRow("emoji as A-label") << u"xn--e28h.com"_s << DisallowedCodePoint;
        QTest::newRow("hyphens at 3 and 4") << u"ab--cd.com"_s << ReservedHyphens;
    }
    void registrable()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QCOMPARE(unregistrableReason(name).value_or(QString()), reason);
        if (reason.isEmpty())
            QVERIFY(!asciiName(name).value_or(u"."_s).endsWith(u'.'));
    }

    // The server each name goes to: --server, then [Servers], then WhoisServer, then the table,
    // then IANA; auto asks RDAP only where no WHOIS server is known or one is named.
    void routing_data()
    {
        for (const char *column :
             {"name", "protocol", "option", "perTld", "whoisServer", "referral", "expected"})
            QTest::addColumn<QString>(column); // perTld: "tld=value"; referral "-": IANA not asked yet
        QTest::addColumn<int>("malformed");
        const auto row = [](const char *tag, const char *name, const char *protocol, const char *option,
                            const char *perTld, const char *whois, const char *referral, const char *expected,
                            int malformed = 0) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(protocol)
                               << QString::fromUtf8(option) << QString::fromUtf8(perTld)
                               << QString::fromUtf8(whois) << QString::fromUtf8(referral)
                               << QString::fromUtf8(expected) << malformed;
        };
        const char *orgRdap = "org=rdap:http://127.0.0.1:9/";
        row("table", "shop.org", "auto", "", "", "", "-", "whois.publicinterestregistry.org:43");
        row("one label goes to .com", "shop", "auto", "", "", "", "-", "whois.verisign-grs.com:43");
        row("option first", "shop.org", "auto", "10.0.0.1:4343", "org=10.0.0.2", "10.0.0.3", "-",
            "10.0.0.1:4343");
        row("[Servers] before WhoisServer", "shop.org", "auto", "", "org=10.0.0.2:44", "10.0.0.3", "-",
            "10.0.0.2:44");
        row("[Servers] of another TLD", "shop.com", "auto", "", "org=10.0.0.2", "10.0.0.3", "-",
            "10.0.0.3:43");
        row("malformed ignored", "shop.org", "auto", "host:99999", "org=:44", "", "-",
            "whois.publicinterestregistry.org:43", 2);
        row("no row: ask IANA", "shop.zz", "auto", "", "", "", "-", "ask IANA");
        row("no row: IANA said", "shop.zz", "auto", "", "", "", "whois.nic.zz", "whois.nic.zz:43");
        row("no row: IANA knows none", "shop.zz", "auto", "", "", "", "", "rdap:");
        row("auto: [Servers] rdap", "a.org", "auto", "", orgRdap, "", "-", "rdap:http://127.0.0.1:9/");
        row("whois: [Servers] rdap left out", "a.org", "whois", "", orgRdap, "", "-",
            "whois.publicinterestregistry.org:43");
        row("whois: IANA knows none", "a.zz", "whois", "", "", "", "", "none");
        row("rdap: bootstrap", "a.com", "RDAP", "", "com=10.0.0.1", "", "-", "rdap:");
        row("rdap: [Servers] rdap", "a.org", "rdap", "", orgRdap, "", "-", "rdap:http://127.0.0.1:9/");
        row("auto: no port 43 any more", "a.info", "auto", "", "", "", "-", "rdap:");
        row("auto: Google's RDAP only", "a.dev", "auto", "", "", "", "-", "rdap:");
        row("auto: no not-found phrase", "a.shop", "auto", "", "", "", "-", "rdap:");
        row("whois: no not-found phrase", "a.club", "whois", "", "", "", "-", "whois.nic.club:43");
        row("whois: no port 43 any more", "a.app", "whois", "", "", "", "-", "none");
        row("auto: Radix base", "a.online", "auto", "", "", "", "-", "whois.nic.online:43");
        row("rdap: Radix base", "a.online", "rdap", "", "", "", "-", "rdap:https://rdap.radix.host/rdap/");
    }
    void routing()
    {
        QFETCH(QString, name);
        QFETCH(QString, protocol);
        QFETCH(QString, option);
        QFETCH(QString, perTld);
        QFETCH(QString, whoisServer);
        QFETCH(QString, referral);
        ServerOverrides overrides {option, {}, whoisServer, *parseProtocol(protocol)};
        if (!perTld.isEmpty())
            overrides.perTld.insert(perTld.section(u'=', 0, 0), perTld.section(u'=', 1));
        const Route route = routeName(name, ServerTable::builtIn(), overrides, [&referral](const QString &) {
            return referral == u"-" ? std::nullopt : std::optional<QString>(referral);
        });
        QTEST(where(route), "expected");
        QTEST(int(route.malformed.size()), "malformed");
    }

    // Queries in each form; a table row that does not parse is skipped; an RDAP-only row.
    void queriesAndRows()
    {
        QCOMPARE(queryFromTemplate(u"DO {name}"_s, DomainSearch, u"a.com"_s), u"DO a.com\r\n"_s);
        QCOMPARE(queryFromTemplate(u"DO {name}"_s, PlainWhois, u"a.com"_s), u"a.com\r\n"_s);
        QCOMPARE(queryFromTemplate(u"-T dn,ace {name}"_s, DomainSearch, u"a\r\n.de"_s),
                 u"-T dn,ace a.de\r\n"_s);
        const ServerTable table
            = ServerTable::parse(u"# c\n\nok\th:44\t{name}\tNOT FOUND\t-\tdomain: {name}\tsrc\r\n"
                                 "short\th\t{name}\n"
                                 "badport\th:0\t{name}\tx\t-\ty\tsrc\n"
                                 "notemplate\th\tq\tx\t-\ty\tsrc\n"_s);
        QCOMPARE(table.size(), 1);
        QVERIFY(table.row(u"ok"_s) && table.row(u"ok"_s)->rateLimited.isEmpty());
        const ServerTable rdapOnly = ServerTable::parse(u"xx\t-\t{name}\tx\t-\ty\tsrc\thttps://rdap.xx/\n"_s);
        QCOMPARE(where(routeName(u"a.xx"_s, rdapOnly, {})), u"rdap:https://rdap.xx/"_s);
        QCOMPARE(where(routeName(u"a.xx"_s, rdapOnly, {{}, {}, {}, Protocol::Whois})), u"none"_s);
        QVERIFY(!parseProtocol(u"https"_s));
        // A server IANA names is asked for the bare name; the .com form is Verisign's alone.
        const auto referred = [](const QString &) {
            return std::optional<QString>(u"whois.nic.zz"_s);
        };
        QCOMPARE(routeName(u"a.zz"_s, ServerTable::builtIn(), {}, referred).queryTemplate, u"{name}"_s);
        QCOMPARE(routeName(u"a.com"_s, ServerTable::builtIn(), {}).queryTemplate, u"DO {name}"_s);
        const ServerTable second
            = ServerTable::parse(u"xx\th\t{name}\tx\t-\ty\tsrc\t-\tco.xx, org.xx,a.yy\n"_s);
        QCOMPARE(second.row(u"xx"_s)->secondLevel, (QStringList {u"co.xx"_s, u"org.xx"_s}));
        QCOMPARE(ServerTable::builtIn().tldsServedBy(u"WHOIS.verisign-grs.com"_s),
                 (QStringList {u"com"_s, u"net"_s}));
    }

    // A limited server waits twice as long each time, up to five minutes, or as long as it asks.
    void backOffDoublesToFiveMinutes()
    {
        BackOff backOff;
        const qint64 t0 = 5'000'000'000;
        const QString s = u"h:43"_s;
        QList<qint64> waits;
        for (int i = 0; i < 10; ++i) {
            backOff.ended(s, true, t0, 3000);
            waits << backOff.waitMs(s);
        }
        QCOMPARE(waits.mid(0, 4), (QList<qint64> {6000, 12000, 24000, 48000}));
        QCOMPARE(backOff.dueNs(s), t0 + BackOff::MaxWaitMs * 1'000'000);
        backOff.ended(s, false, t0, 3000);
        QCOMPARE(backOff.dueNs(s), 0);
        backOff.ended(s, true, t0, 3000, 120000);
        QCOMPARE(backOff.dueNs(s), t0 + 120'000'000'000);
    }
};

QTEST_GUILESS_MAIN(tst_Verdict)
#include "tst_verdict.moc"
