// Verdicts from registry answers, registrable names, and where each name is asked.
#include "lookup/BackOff.h"
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
    // "Free" only where the registry of the name's TLD said so, for the name asked.
    void answers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<LookupEnd>("end");
        QTest::addColumn<Verdict>("expected");

        // Captured registry answers: NAME.EXPECTED.txt, judged by the rules of NAME's TLD.
        const QDir answers(QStringLiteral(ZANDREL_TEST_DATA "/answers"));
        const QHash<QString, Verdict> expected {{u"free"_s, Free},
                                                {u"taken"_s, Taken},
                                                {u"rate-limited"_s, unknown(reason::RateLimited)},
                                                {u"unrecognised"_s, unknown(reason::Unrecognised)}};
        for (const QString &file : answers.entryList({u"*.txt"_s}, QDir::Files)) {
            const QString stem = file.chopped(4);
            QFile text(answers.filePath(file));
            QVERIFY2(expected.contains(stem.section(u'.', -1)) && text.open(QIODevice::ReadOnly),
                     qPrintable(file));
            QTest::newRow(qPrintable(file)) << stem.section(u'.', 0, -2) << QString::fromUtf8(text.readAll())
                                            << LookupEnd::Answered << expected.value(stem.section(u'.', -1));
        }

        const auto row = [](const char *tag, const char *name, const char *answer, const Verdict &verdict,
                            LookupEnd end = LookupEnd::Answered) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(answer) << end << verdict;
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
    }
    void answers()
    {
        QFETCH(QString, name);
        QFETCH(QString, answer);
        QFETCH(LookupEnd, end);
        const std::optional<QString> ace = asciiName(name);
        QVERIFY(ace);
        const RegistryRules rules = ServerTable::builtIn().judgingRules(routingTld(*ace));
        QTEST(decideVerdict(answer, *ace, rules, end), "expected");
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
    }
    void registrable()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QCOMPARE(unregistrableReason(name).value_or(QString()), reason);
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
    }

    // A limited server waits twice as long each time, up to five minutes, or as long as it asks.
    void backOffDoublesToFiveMinutes()
    {
        BackOff backOff;
        const QDateTime t0(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
        const QString s = u"h:43"_s;
        QList<qint64> waits;
        for (int i = 0; i < 10; ++i) {
            backOff.ended(s, true, t0, 3000);
            waits << backOff.waitMs(s);
        }
        QCOMPARE(waits.mid(0, 4), (QList<qint64> {6000, 12000, 24000, 48000}));
        QCOMPARE(backOff.dueAt(s), t0.addMSecs(BackOff::MaxWaitMs));
        backOff.ended(s, false, t0, 3000);
        QVERIFY(!backOff.dueAt(s).isValid());
        backOff.ended(s, true, t0, 3000, 120000);
        QCOMPARE(backOff.dueAt(s), t0.addSecs(120));
    }
};

QTEST_GUILESS_MAIN(tst_Verdict)
#include "tst_verdict.moc"
