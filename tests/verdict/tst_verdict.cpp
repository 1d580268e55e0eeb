// Verdicts from registry answers, registrable names, and where each name is asked.
#include "verdict/Registrable.h"
#include "verdict/ServerTable.h"
#include "verdict/Verdict.h"
#include "whois/BackOff.h"

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
} // namespace

Q_DECLARE_METATYPE(zandrel::Verdict)
Q_DECLARE_METATYPE(zandrel::LookupEnd)

class tst_Verdict : public QObject
{
    Q_OBJECT

    static QString where(const Route &route)
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
private slots:
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
            const QString kind = stem.section(u'.', -1);
            QFile text(answers.filePath(file));
            QVERIFY2(expected.contains(kind) && text.open(QIODevice::ReadOnly), qPrintable(file));
            QTest::newRow(qPrintable(file)) << stem.section(u'.', 0, -2) << QString::fromUtf8(text.readAll())
                                            << LookupEnd::Answered << expected.value(kind);
        }

        const auto row = [](const char *tag, const char *name, const char *answer, LookupEnd end,
                            const Verdict &verdict) {
            QTest::newRow(tag) << QString::fromUtf8(name) << QString::fromUtf8(answer) << end << verdict;
        };
        const LookupEnd answered = LookupEnd::Answered;
        row("no match, present wording", "myshop.com", "No match for \"MYSHOP.COM\".\r\n>>> Last update",
            answered, Free);
        row("no match, historical wording over lines", "myshop.net",
            "No match for domain\r\n  \"MYSHOP.NET\".", answered, Free);
        row("record", "google.com", "   Domain Name: GOOGLE.COM\r\n   Registry Domain ID: 1", answered,
            Taken);
        row("no match names another", "myshop.com", "No match for \"MYSHOP.COM.AU\".\r\n", answered,
            unknown(reason::Unrecognised));
        row("record of a longer name", "shop.com", "Domain Name: SHOP.COM.BR\r\n", answered,
            unknown(reason::Unrecognised));
        row("the .com registry on a .org name", "myshop.org", "No match for \"MYSHOP.ORG\".\r\n", answered,
            unknown(reason::Unrecognised));
        row("limit beats not found", "myshop.org", "WHOIS LIMIT EXCEEDED\r\nNOT FOUND\r\n", answered,
            unknown(reason::RateLimited));
        row("no row: .com rules", "myshop.zz", "No match for \"myshop.zz\".", answered, Free);
        row("empty", "myshop.com", "\r\n \r\n", answered, unknown(reason::NoAnswer));
        row("nothing came", "myshop.com", "", LookupEnd::NoAnswer, unknown(reason::NoAnswer));
        row("cut off", "myshop.com", "No match for \"MYSHOP.COM\".", LookupEnd::CutOff,
            unknown(reason::CutOff));
        row("connection failed", "myshop.com", "", LookupEnd::ConnectionFailed,
            unknown(reason::ConnectionFailed));
        row("abandoned half way", "myshop.com", "Domain Name: MY", LookupEnd::Abandoned,
            unknown(reason::CutOff));
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

    void registrable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // empty: registrable
        const QString label63(63, u'a');
        using namespace unregistrable;
        QTest::newRow("plain") << u"example.com"_s << QString();
        QTest::newRow("second level ccTLD") << u"example.co.uk"_s << QString();
        QTest::newRow("IDN") << u"b\u00fccher.de"_s << QString();
        QTest::newRow("63") << label63 + u".com"_s << QString();
        QTest::newRow("64") << label63 + u"a.com"_s << LabelTooLong;
        QTest::newRow("254") << QStringList(4, label63).join(u'.') + u".com"_s << NameTooLong;
        QTest::newRow("leading hyphen") << u"-shop.com"_s << HyphenAtEnd;
        QTest::newRow("trailing hyphen") << u"shop-.com"_s << HyphenAtEnd;
        QTest::newRow("blank") << u"my shop.com"_s << BadCharacter;
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

    void routing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("perTld"); // "tld=value"
        QTest::addColumn<QString>("whoisServer");
        QTest::addColumn<QString>("referral"); // "-": not asked yet
        QTest::addColumn<QString>("expected"); // "host:port", "ask IANA", "none" or "rdap:BASE"
        QTest::addColumn<int>("malformed");

        const QString none = u"-"_s;
        QTest::newRow("table") << u"shop.org"_s << ""
                               << ""
                               << "" << none << "whois.publicinterestregistry.org:43" << 0;
        QTest::newRow("one label goes to .com") << u"shop"_s << ""
                                                << ""
                                                << "" << none << "whois.verisign-grs.com:43" << 0;
        QTest::newRow("option first") << u"shop.org"_s << "10.0.0.1:4343"
                                      << "org=10.0.0.2"
                                      << "10.0.0.3" << none << "10.0.0.1:4343" << 0;
        QTest::newRow("[Servers] before WhoisServer") << u"shop.org"_s << ""
                                                      << "org=10.0.0.2:44"
                                                      << "10.0.0.3" << none << "10.0.0.2:44" << 0;
        QTest::newRow("[Servers] of another TLD") << u"shop.com"_s << ""
                                                  << "org=10.0.0.2"
                                                  << "10.0.0.3" << none << "10.0.0.3:43" << 0;
        QTest::newRow("malformed ignored") << u"shop.org"_s << "host:99999"
                                           << "org=:44"
                                           << "" << none << "whois.publicinterestregistry.org:43" << 2;
        QTest::newRow("no row: ask IANA") << u"shop.zz"_s << ""
                                          << ""
                                          << "" << none << "ask IANA" << 0;
        QTest::newRow("no row: IANA said") << u"shop.zz"_s << ""
                                           << ""
                                           << ""
                                           << "whois.nic.zz"
                                           << "whois.nic.zz:43" << 0;
        QTest::newRow("no row: IANA knows none") << u"shop.zz"_s << ""
                                                 << ""
                                                 << ""
                                                 << ""
                                                 << "rdap:" << 0;
    }
    void routing()
    {
        QFETCH(QString, name);
        QFETCH(QString, option);
        QFETCH(QString, perTld);
        QFETCH(QString, whoisServer);
        QFETCH(QString, referral);
        ServerOverrides overrides {option, {}, whoisServer};
        if (!perTld.isEmpty())
            overrides.perTld.insert(perTld.section(u'=', 0, 0), perTld.section(u'=', 1));
        const Route route = routeName(name, ServerTable::builtIn(), overrides, [&referral](const QString &) {
            return referral == u"-" ? std::nullopt : std::optional<QString>(referral);
        });
        QTEST(where(route), "expected");
        QTEST(int(route.malformed.size()), "malformed");
    }

    // The protocol: auto asks RDAP only where no WHOIS server is known or one is named; whois and
    // rdap ask every name their way.
    void protocols_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QString>("perTld"); // "tld=value"
        QTest::addColumn<QString>("expected");
        const QString orgRdap = u"org=rdap:http://127.0.0.1:9/"_s;
        QTest::newRow("auto: table") << u"a.com"_s << u"auto"_s << QString()
                                     << u"whois.verisign-grs.com:43"_s;
        QTest::newRow("auto: [Servers] rdap")
            << u"a.org"_s << u"auto"_s << orgRdap << u"rdap:http://127.0.0.1:9/"_s;
        QTest::newRow("whois: [Servers] rdap left out")
            << u"a.org"_s << u"whois"_s << orgRdap << u"whois.publicinterestregistry.org:43"_s;
        QTest::newRow("whois: IANA knows none") << u"a.zz"_s << u"whois"_s << QString() << u"none"_s;
        QTest::newRow("rdap: bootstrap") << u"a.com"_s << u"RDAP"_s << u"com=10.0.0.1"_s << u"rdap:"_s;
        QTest::newRow("rdap: [Servers] rdap")
            << u"a.org"_s << u"rdap"_s << orgRdap << u"rdap:http://127.0.0.1:9/"_s;
    }
    void protocols()
    {
        QFETCH(QString, name);
        QFETCH(QString, protocol);
        QFETCH(QString, perTld);
        ServerOverrides overrides {{}, {}, {}, *parseProtocol(protocol)};
        if (!perTld.isEmpty())
            overrides.perTld.insert(perTld.section(u'=', 0, 0), perTld.section(u'=', 1));
        QTEST(
            where(routeName(name, ServerTable::builtIn(), overrides, [](const QString &) { return u""_s; })),
            "expected");
        QVERIFY(!parseProtocol(u"https"_s));
    }

    // Queries in each form, and a table row that does not parse is skipped.
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
        // A row may name an RDAP service instead of a WHOIS server.
        const ServerTable rdapOnly = ServerTable::parse(u"xx\t-\t{name}\tx\t-\ty\tsrc\thttps://rdap.xx/\n"_s);
        QCOMPARE(where(routeName(u"a.xx"_s, rdapOnly, {})), u"rdap:https://rdap.xx/"_s);
        QCOMPARE(where(routeName(u"a.xx"_s, rdapOnly, {{}, {}, {}, Protocol::Whois})), u"none"_s);
        QVERIFY(ServerTable::builtIn().size() >= 3);
    }

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
        QCOMPARE(waits.last(), BackOff::MaxWaitMs);
        QCOMPARE(backOff.dueAt(s), t0.addMSecs(BackOff::MaxWaitMs));
        backOff.ended(s, false, t0, 3000);
        QVERIFY(!backOff.dueAt(s).isValid());
        // A server's own Retry-After holds it off longer than the doubling would.
        backOff.ended(s, true, t0, 3000, 120000);
        QCOMPARE(backOff.dueAt(s), t0.addSecs(120));
    }
};

QTEST_GUILESS_MAIN(tst_Verdict)
#include "tst_verdict.moc"
