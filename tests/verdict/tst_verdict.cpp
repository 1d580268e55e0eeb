// Verdicts from registry answers, registrable names, where and in which words each name is asked,
// and where IANA refers a TLD the built-in table lacks.
#include "Recorders.h"
#include "Tables.h"
#include "lookup/BackOff.h"
#include "lookup/Router.h"
#include "verdict/IanaReferral.h"
#include "verdict/Operators.h"
#include "verdict/QueryLine.h"
#include "verdict/RdapVerdict.h"
#include "verdict/Registrable.h"
#include "verdict/ServerTable.h"
#include "verdict/Stage.h"
#include "verdict/Verdict.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

namespace {
const Verdict Free {VerdictKind::Free, {}};
const Verdict Taken {VerdictKind::Taken, {}};
Verdict unknown(UnknownReason reason)
{
    return Verdict::unknown(reason);
}
// The verdict without the line that explains it.
Verdict unknownOrNot(const Verdict &verdict)
{
    return {verdict.kind, verdict.reason, {}};
}

// Overrides from "server=HOST whois=HOST protocol=P TLD=HOST" (TLD=rdap:URL), any of them.
ServerOverrides overrides(const QString &setup)
{
    ServerOverrides made;
    for (const QString &pair : setup.split(u' ', Qt::SkipEmptyParts)) {
        const QString key = pair.section(u'=', 0, 0), value = pair.section(u'=', 1);
        if (key == u"server")
            made.serverOption = value;
        else if (key == u"whois")
            made.whoisServer = value;
        else if (key == u"protocol")
            made.protocol = parseProtocol(value).value_or(Protocol::Auto);
        else
            made.perTld.insert(key, value);
    }
    return made;
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
        for (const char *column : {"name", "setup", "answer"})
            QTest::addColumn<QString>(column); // setup: as overrides() reads it
        QTest::addColumn<LookupEnd>("end");
        QTest::addColumn<Verdict>("expected");
        QTest::addColumn<bool>("explained"); // by the server's authority alone
        QTest::addColumn<QString>("beyond"); // premium, or the stage of a name about to drop

        // Captured registry answers: NAME.EXPECTED.txt, or NAME.EXPECTED~VARIANT.txt for another
        // capture of the same name, judged by the rules of NAME's TLD.
        const QDir answers(QStringLiteral(ZANDREL_TEST_DATA "/answers"));
        const QHash<QString, Verdict> expected {{u"free"_s, Free},
                                                {u"taken"_s, Taken},
                                                {u"rate-limited"_s, unknown(UnknownReason::RateLimited)},
                                                {u"unrecognised"_s, unknown(UnknownReason::Unrecognised)},
                                                {u"reserved"_s, {VerdictKind::Reserved, {}}},
                                                {u"premium"_s, Free},
                                                {u"redemption"_s, Taken},
                                                {u"pending-delete"_s, Taken}};
        for (const QString &file : answers.entryList({u"*.txt"_s}, QDir::Files)) {
            const QString stem = file.chopped(4).section(u'~', 0, 0);
            static const QStringList beyondWords {u"premium"_s, u"redemption"_s, u"pending-delete"_s};
            const QString says = stem.section(u'.', -1);
            QVERIFY2(expected.contains(says), qPrintable(file));
            QTest::newRow(qPrintable(file))
                << stem.section(u'.', 0, -2) << QString()
                << QString::fromUtf8(readAll(answers.filePath(file))) << LookupEnd::Answered
                << expected.value(says) << false << (beyondWords.contains(says) ? says : QString());
        }

        const auto row = [](const char *tag, const char *name, const char *answer, const Verdict &verdict,
                            LookupEnd end = LookupEnd::Answered) {
            QTest::newRow(tag) << asText(name) << QString() << asText(answer) << end << verdict << false
                               << QString();
        };
        const Verdict unrecognised = unknown(UnknownReason::Unrecognised);
        row("no match over lines", "myshop.net", "No match for domain\r\n  \"MYSHOP.NET\".", Free);
        row("no match names another", "myshop.com", "No match for \"MYSHOP.COM.AU\".\r\n", unrecognised);
        row("record of a longer name", "shop.com", "Domain Name: SHOP.COM.BR\r\n", unrecognised);
        row("names others, then this one", "shop.com",
            "No match for \"MYSHOP.COM\".\r\nNo match for \"SHOP.COM.AU\".\r\nNo match for \"SHOP.COM\".",
            Free);
        row("the .com registry on a .org name", "myshop.org", "No match for \"MYSHOP.ORG\".\r\n",
            unrecognised);
        row("limit beats not found", "myshop.org", "WHOIS LIMIT EXCEEDED\r\nNOT FOUND\r\n",
            unknown(UnknownReason::RateLimited));
        row("no row: .com rules", "myshop.zz", "No match for \"myshop.zz\".", Free);
        row("empty", "myshop.com", "\r\n \r\n", unknown(UnknownReason::NoAnswer));
        row("nothing came", "myshop.com", "", unknown(UnknownReason::NoAnswer), LookupEnd::NoAnswer);
        row("cut off", "myshop.com", "No match for \"MYSHOP.COM\".", unknown(UnknownReason::CutOff),
            LookupEnd::CutOff);
        row("connection failed", "myshop.com", "", unknown(UnknownReason::ConnectionFailed),
            LookupEnd::ConnectionFailed);
        row("abandoned half way", "myshop.com", "Domain Name: MY", unknown(UnknownReason::CutOff),
            LookupEnd::Abandoned);
        row("record and not-found at once", "myshop.com",
            "No match for \"MYSHOP.COM\".\r\n   Domain Name: MYSHOP.COM\r\n", unrecognised);
        row("value run on after the colon", "shop.info", "Domain ID:D1-LRMS\r\nDomain Name:SHOP.INFO\r\n",
            Taken);
        row(".nz refusal names the domain", "shop.co.nz",
            "domain_name: shop.co.nz\r\nquery_status: 440 Request Denied\r\n",
            unknown(UnknownReason::RateLimited));
        row(".nz error names the domain", "shop.co.nz",
            "domain_name: shop.co.nz\r\nquery_status: 500 Invalid characters\r\n", unrecognised);
        row(".nz before 2025", "shop.co.nz", "domain_name: shop.co.nz\r\nquery_status: 200 Active\r\n",
            Taken);
        row(".nz since 2025", "shop.co.nz", "Domain Name: shop.co.nz\r\nRegistrar: X\r\n", Taken);
        // Registries whose free answer names the domain too: the free phrase decides first (their
        // captures: likexian-*.it.free.txt, google.it.taken.txt).
        row(".it free, another name", "shop.it", "Domain: other.it\nStatus: AVAILABLE\n", unrecognised);
        row(".eu without Script", "shop.eu",
            "Domain: shop.eu\n\nRegistrant:\n        NOT DISCLOSED!\n\nName servers:\n        ns1.shop.eu\n",
            Taken);
        row(".de IDN", "b\u00e4ckerei.de",
            "Domain: b\u00e4ckerei.de\nDomain-Ace: xn--bckerei-5wa.de\nNserver: ns1.x.de\nStatus: connect\n",
            Taken);
        row(".de IDN free", "B\u00c4CKEREI.de",
            "Domain: b\u00e4ckerei.de\nDomain-Ace: xn--bckerei-5wa.de\nStatus: free\n", Free);
        // Any registry's record of this very domain, in a shape the TLD's row does not name (.cz has
        // no row; .ie's marker is "domain:").
        row("CZ.NIC", "nic.cz",
            "%  (c) 2006-2021 CZ.NIC\n\ndomain:       nic.cz\nregistrant:   CZ-NIC\nregistrar:    REG-CZNIC\n"
            "registered:   01.03.1997 01:00:00\nexpire:       15.03.2027\n",
            Taken);
        row("spaced colon", "google.cz",
            "Domain Name                 : google.cz\nRegistered Date             : 1999. 08. 09.\n", Taken);
        row("ICANN form", "google.ie",
            "Domain Name: google.ie\r\nRegistry Domain ID: 1-G\r\nRegistrar: MarkMonitor Inc.\r\n", Taken);
        row("dotted leader, servers below", "google.cz",
            "Domain Name............: google.cz\n\nName servers:\n   ns1.google.com\n", Taken);
        row("not found, quoting a record", "google.cz",
            "No entries found.\n% A record looks like:\ndomain: google.cz\nregistrar: REG-X\n", unrecognised);
        row("name in a comment only", "google.cz", "% domain: google.cz\nstatus: ok\nregistrar: REG-X\n",
            unrecognised);
        row("another name's record", "google.cz", "domain: google.cz.evil.com\nregistrar: REG-X\n",
            unrecognised);
        row("the name without registration data", "google.cz", "domain: google.cz\nsource: X\n",
            unrecognised);
        row("a status of free", "google.cz", "domain: google.cz\nstatus: free\n", unrecognised);

        // Answers from a server that does not speak for the name's registry; no answer given: Verisign's
        // not-found for the name.
        const auto served = [](const char *tag, const char *name, const char *setup, const Verdict &verdict,
                               const char *answer = nullptr) {
            const QString noMatch
                = u"No match for \"%1\".\r\n>>> Last update of whois database <<<\r\n\r\nThe "
                  "Registry database contains ONLY .COM, .NET, .EDU domains and\r\n"
                  "Registrars.\r\n"_s.arg(asText(name).toUpper());
            QTest::newRow(tag) << asText(name) << asText(setup) << (answer ? asText(answer) : noMatch)
                               << LookupEnd::Answered << verdict << !verdict.answered() << QString();
        };
        const char *verisign = "server=whois.verisign-grs.com";
        served("--server Verisign, .co.uk", "google.co.uk", verisign, unrecognised);
        served("WhoisServer Verisign, TLD without a row", "example.cc", "whois=whois.verisign-grs.com",
               unrecognised);
        served("WhoisServer Verisign, .com", "myshop.com", "whois=whois.verisign-grs.com", Free);
        served("unknown server says it holds .com only", "example.zz", "server=10.0.0.9", unrecognised);
        served("unknown server, its own TLD", "myshop.net", "server=10.0.0.9:4343", Free);
        served("unknown server, no such sentence", "myshop.org", "whois=10.0.0.9", Free,
               "Domain not found.\r\n");
        served("another registry's record still counts", "google.tv", verisign, Taken,
               "Domain Name: GOOGLE.TV\r\n");
        served("[Servers] vouches for its TLD", "google.co.uk", "uk=whois.verisign-grs.com", Free);
        served("suffix of another registry", "tsinghua.edu.cn", "", unrecognised, "no matching record\r\n");
        served("suffix without a row", "google.com.et", verisign, unrecognised);
        served("suffix the row lists", "myshop.co.uk", "", Free, "No match for \"myshop.co.uk\".\r\n");
    }
    void answers()
    {
        QFETCH(QString, name);
        QFETCH(QString, setup);
        QFETCH(QString, answer);
        QFETCH(LookupEnd, end);
        const auto ace = asciiName(name);
        QVERIFY(ace);
        const Route route = routeName(*ace, ServerTable::builtIn(), overrides(setup));
        const RegistryRules rules = ServerTable::builtIn().judgingRules(route.tld);
        const Verdict verdict = decideVerdict(answer, *ace, rules, end, route.authority);
        const Reading reading = readBeyond(verdict, answer, *ace, rules, route.authority, QDate(2026, 12, 7));
        QTEST(unknownOrNot(reading.verdict), "expected");
        QTEST(!verdict.why.isEmpty(), "explained");
        QVERIFY(!verdict.why.contains(u'\n'));
        QFETCH(QString, beyond);
        if (beyond == u"premium")
            QVERIFY(reading.details.premium);
        else if (!beyond.isEmpty())
            QCOMPARE(stageName(reading.details.stage), beyond);
    }

    // What an answer says beyond its verdict, and the line that decided it: details of thin and
    // thick WHOIS records and RDAP answers, and the stage of a name about to drop.
    void beyond_data()
    {
        for (const char *column : {"name", "today", "answer", "expected", "evidence"})
            QTest::addColumn<QString>(column); // answer: "@FILE" in tests/data/answers, "rdap:JSON"
        // ICANN's record format with EPP statuses as https://icann.org/epp words them
        // (https://www.icann.org/resources/pages/epp-status-codes-2014-06-16-en).
        const char *oldshop
            = "Domain Name: OLDSHOP.ORG\r\nUpdated Date: 2026-12-01T10:00:00Z\r\n"
              "Creation Date: 2015-11-20T10:00:00Z\r\nRegistry Expiry Date: 2026-11-20T10:00:00Z\r\n"
              "Registrar: Example Registrar LLC\r\n"
              "Domain Status: redemptionPeriod https://icann.org/epp#redemptionPeriod\r\n"
              "Domain Status: pendingDelete https://icann.org/epp#pendingDelete\r\n";
        textRow("thick WHOIS, past its expiry", "google.org", "2026-12-07", "@google.org.taken.txt",
                "taken | expired | by MarkMonitor Inc. | created 1998-10-21 | expires 2020-10-20 | "
                "clientDeleteProhibited",
                "Domain Name: GOOGLE.ORG");
        textRow("thin WHOIS after look-alike records", "google.com", "2020-03-04", "@google.com.taken.txt",
                "taken | registered | by MARKMONITOR INC. | created 1997-09-15 | expires 2020-09-14 | "
                "clientDeleteProhibited",
                "Domain Name: GOOGLE.COM");
        textRow(".uk, fields on the next line", "google.co.uk", "2014-06-01", "@google.co.uk.taken.txt",
                "taken | registered | by Markmonitor Inc. t/a Markmonitor [Tag = MARKMONITOR] | "
                "created 1999-02-14 | expires 2015-02-14",
                "Domain name: google.co.uk");
        textRow(".ru, paid-till and states", "2x4.ru", "2014-06-01", "@2x4.ru.taken.txt",
                "taken | registered | by RU-CENTER-REG-RIPN | created 2004-06-24 | expires 2015-06-24 | "
                "REGISTERED "
                "DELEGATED VERIFIED",
                "domain: 2X4.RU");
        textRow("older CIRA, dates with slashes", "google.ca", "2014-06-01", "@google.ca.taken~2014.txt",
                "taken | registered | by MarkMonitor International Canada Ltd. | created 2000-10-03 | "
                "expires 2015-04-28 | registered",
                "Domain name: google.ca Domain status: registered");
        textRow("JPRS, labels in brackets", "google.jp", "2014-01-01", "@google.jp.taken.txt",
                "taken | registered | created 2005-05-30 | expires 2014-05-31 | ok",
                "[Domain Name] GOOGLE.JP");
        textRow(".bg, day first", "google.bg", "2014-01-01", "@google.bg.taken.txt",
                "taken | registered | expires 2014-06-30", "DOMAIN NAME: google.bg");
        textRow(".kr, blanks in the date", "google.kr", "2014-01-01", "@google.kr.taken.txt",
                "taken | registered | expires 2021-03-02", "Domain Name : google.kr");
        textRow(".tr, month in words", "google.com.tr", "2014-01-01", "@google.com.tr.taken.txt",
                "taken | registered | created 2001-08-23 | expires 2024-08-22",
                "** Domain Name: google.com.tr");
        textRow(".ie, month in full", "google.ie", "2014-01-01", "@google.ie.taken.txt",
                "taken | registered | expires 2015-03-21", "domain: google.ie");
        textRow("dates the Java way", "t.co", "2014-06-01", "@t.co.taken~2013.txt",
                "taken | registered | by MELBOURNE IT LTD | created 2010-04-26 | expires 2015-04-25 | "
                "serverDeleteProhibited",
                "Domain Name: T.CO");
        textRow("redemption, dated from its last change", "oldshop.org", "2026-12-07", oldshop,
                "taken | redemption | drops 2027-01-05 | by Example Registrar LLC | created 2015-11-20 | "
                "expires 2026-11-20 | redemptionPeriod pendingDelete",
                "Domain Status: redemptionPeriod https://icann.org/epp#redemptionPeriod");
        textRow(".it redemption", "concessionari-fiat.it", "2011-02-20",
                "@concessionari-fiat.it.redemption.txt",
                "taken | redemption | drops 2011-03-18 | by Seeweb S.r.l. | created 2010-02-08 | expires "
                "2011-02-08 | pendingDelete redemptionPeriod",
                "Status: pendingDelete / redemptionPeriod");
        textRow(".it pending delete, older spelling", "chiara.it", "2012-02-28",
                "@chiara.it.pending-delete.txt",
                "taken | pending-delete | drops 2012-03-03 | by CIM-MNT | created 1999-12-27 | expires "
                "2011-12-27 | "
                "pendingDelete",
                "Status: PENDING-DELETE");
        textRow("pending delete, its start unknown", "oldshop.com", "2026-12-07",
                "Domain Name: OLDSHOP.COM\r\nDomain Status: pendingDelete "
                "https://icann.org/epp#pendingDelete\r\n",
                "taken | pending-delete | drops 2026-12-07 | pendingDelete",
                "Domain Status: pendingDelete https://icann.org/epp#pendingDelete");
        textRow("statuses quoted outside status fields", "myshop.com", "2026-12-07",
                "% NOTICE: Domain Status: redemptionPeriod\r\n   Domain Name: MYSHOP.COM\r\n"
                "   Registry Expiry Date: 2027-03-01T00:00:00Z\r\n"
                "   Domain Status: ok https://icann.org/epp#ok\r\n"
                "   Registrant Organization: Domain Status: pendingDelete\r\n"
                ">>> Domain Status: redemptionPeriod <<<\r\n# Status: pendingDelete\r\n"
                "NOTICE: Domain Status: pendingDelete\r\n* Status: UNASSIGNABLE\r\n",
                "taken | registered | expires 2027-03-01 | ok", "Domain Name: MYSHOP.COM");
        textRow("free: the not-found line", "u34jedzcq.com", "2026-12-07", "@u34jedzcq.com.free.txt", "free",
                "No match for \"U34JEDZCQ.COM\".");
        textRow("DPML block", "google.chat", "2026-12-07", "@google.chat.reserved.txt",
                "reserved (blocked by the registry)",
                "as it is protected by the Donuts DPML Brand Protection policy.");
        textRow(".it unassignable", "la.it", "2026-12-07", "@la.it.reserved.txt", "reserved (unassignable)",
                "Status: UNASSIGNABLE");
        textRow("platinum beside reserved", "good.games", "2026-12-07", "@good.games.premium.txt",
                "free | premium", "This platinum domain is available for purchase.");
        textRow("premium, a record of the name beside it", "good.games", "2026-12-07",
                "Domain Name: GOOD.GAMES\r\nThis premium domain is available for purchase.\r\n",
                "taken | registered", "Domain Name: GOOD.GAMES");
        // RFC 9083's domain object with RFC 8056's status names.
        const char *rdap = R"(rdap:{"objectClassName":"domain","ldhName":"OLDSHOP.ORG","status":[)"
                           R"("client transfer prohibited","redemption period","pending delete"],"events":[)"
                           R"({"eventAction":"registration","eventDate":"2015-11-20T10:00:00Z"},)"
                           R"({"eventAction":"expiration","eventDate":"2026-11-20T10:00:00Z"},)"
                           R"({"eventAction":"last changed","eventDate":"2026-12-01T10:00:00Z"}],)"
                           R"("entities":[{"roles":["registrar"],"vcardArray":["vcard",[["fn",{},"text",)"
                           R"("Example Registrar LLC"]]]}]})";
        textRow("RDAP redemption", "oldshop.org", "2026-12-07", rdap,
                "taken | redemption | drops 2027-01-05 | by Example Registrar LLC | created 2015-11-20 | "
                "expires 2026-11-20 | clientTransferProhibited redemptionPeriod pendingDelete",
                "status: \"redemption period\"");
        textRow("RDAP active", "myshop.com", "2026-12-07",
                R"(rdap:{"objectClassName":"domain","ldhName":"myshop.com","status":["active"]})",
                "taken | registered | ok", "ldhName: \"MYSHOP.COM\"");
        textRow("RDAP not found", "myshop.com", "2026-12-07", "rdap:", "free", "HTTP 404");
    }
    void beyond()
    {
        QFETCH(QString, name);
        QFETCH(QString, answer);
        QFETCH(QString, today);
        const RegistryRules rules = ServerTable::builtIn().judgingRules(name.section(u'.', -1));
        Verdict verdict;
        AnswerForm form = AnswerForm::Whois;
        if (answer.startsWith(u"rdap:")) {
            RdapEnd end;
            end.body = answer.mid(5).toUtf8();
            end.status = end.body.isEmpty() ? 404 : 200;
            verdict = rdapVerdict(end, name);
            answer = readRdapAnswer(end, name).lines.join(u"\r\n");
            form = AnswerForm::Rdap;
        } else {
            if (answer.startsWith(u'@'))
                answer = QString::fromUtf8(
                    readAll(QStringLiteral(ZANDREL_TEST_DATA "/answers/") + answer.mid(1)));
            verdict = decideVerdict(answer, name, rules, LookupEnd::Answered);
        }
        const Reading reading
            = readBeyond(verdict, answer, name, rules, {}, QDate::fromString(today, Qt::ISODate), form);
        const VerdictDetails &details = reading.details;
        QStringList said {verdictName(reading.verdict.kind)};
        if (!reading.verdict.why.isEmpty())
            said.last() += u" ("_s + reading.verdict.why + u')';
        const auto add = [&said](const QString &label, const QString &text) {
            if (!text.isEmpty())
                said << (label + text).trimmed();
        };
        add({}, details.premium ? u"premium"_s : QString());
        add({}, stageName(details.stage));
        add(u"drops "_s, details.drops.toString(Qt::ISODate));
        add(u"by "_s, details.registrar);
        add(u"created "_s, details.created.toString(Qt::ISODate));
        add(u"expires "_s, details.expires.toString(Qt::ISODate));
        add({}, details.status.join(u' '));
        QTEST(said.join(u" | "_s), "expected");
        QTEST(details.evidence, "evidence");
    }

    // An RDAP 404 makes a name free only from its registry's service, for domain/NAME there.
    void rdapNotFound_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url"); // where the answer came from; empty: not known
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Verdict>("expected");
        const auto row = [](const char *tag, const char *name, const char *url, const char *body,
                            const Verdict &verdict) {
            QTest::newRow(tag) << asText(name) << asText(url) << QByteArray(body) << verdict;
        };
        const char *own = "https://rdap.example/rdap/domain/shop.xyz";
        const char *plain = R"({"errorCode":404,"title":"Not Found"})";
        const Verdict unrecognised = unknown(UnknownReason::Unrecognised);
        row("the registry's own", "shop.xyz", own, plain, Free);
        row("not known where from", "shop.xyz", "", "", Free);
        row("a redirect led elsewhere", "shop.xyz", "https://old.example/domain/shop.xyz", plain,
            unrecognised);
        row("redirector without the TLD", "shop.xyz", own,
            R"({"errorCode":404,"title":"Not Found","description":["domain shop.xyz not found in IANA )"
            R"(bootstrap file"]})",
            unrecognised);
        row("TLD not supported", "shop.xyz", own, R"({"errorCode":404,"title":"TLD not supported"})",
            unrecognised);
        row("second-level suffix of another registry", "tsinghua.edu.cn",
            "https://rdap.example/rdap/domain/tsinghua.edu.cn", plain, unrecognised);
    }
    void rdapNotFound()
    {
        QFETCH(QString, name);
        QFETCH(QString, url);
        RdapEnd end;
        end.status = 404;
        end.contentType = "application/rdap+json";
        QFETCH(QByteArray, body);
        end.body = body;
        end.url = QUrl(url);
        const Route route = routeName(name, ServerTable::builtIn(), overrides(u"protocol=rdap"_s));
        const Verdict verdict = rdapVerdict(end, name, route.authority, u"https://rdap.example/rdap/"_s);
        QTEST(unknownOrNot(verdict), "expected");
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
        QTest::newRow("bad Punycode") << u"xn--zz.com"_s << InvalidPunycode;
        QTest::newRow("emoji") << u"\U0001F600.com"_s << DisallowedCodePoint;
        QTest::newRow("emoji as A-label") << u"xn--e28h.com"_s << DisallowedCodePoint;
        QTest::newRow("hyphens at 3 and 4") << u"ab--cd.com"_s << ReservedHyphens;
    }
    void registrable()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const Result<void> registrable = checkRegistrable(name);
        QCOMPARE(registrable ? QString() : registrable.error().text, reason);
        if (reason.isEmpty())
            QVERIFY(!asciiName(name).value_or(u"."_s).endsWith(u'.'));
    }

    // The server each name goes to: --server, then [Servers], then WhoisServer, then the table,
    // then IANA; auto asks RDAP only where no WHOIS server is known or one is named.
    void routing_data()
    {
        for (const char *column : {"name", "setup", "expected", "referral"})
            QTest::addColumn<QString>(column); // referral "-": IANA not asked yet
        QTest::addColumn<int>("malformed");
        const auto row = [](const char *tag, const char *name, const char *setup, const char *expected,
                            const char *referral = "-", int malformed = 0) {
            QTest::newRow(tag) << asText(name) << asText(setup) << asText(expected) << asText(referral)
                               << malformed;
        };
        const char *pir = "whois.publicinterestregistry.org:43";
        row("table", "shop.org", "", pir);
        row("one label goes to .com", "shop", "", "whois.verisign-grs.com:43");
        row("option first", "shop.org", "server=10.0.0.1:4343 org=10.0.0.2 whois=10.0.0.3", "10.0.0.1:4343");
        row("[Servers] before WhoisServer", "shop.org", "org=10.0.0.2:44 whois=10.0.0.3", "10.0.0.2:44");
        row("[Servers] of another TLD", "shop.com", "org=10.0.0.2 whois=10.0.0.3", "10.0.0.3:43");
        row("malformed ignored", "shop.org", "server=host:99999 org=:44", pir, "-", 2);
        row("no row: ask IANA", "shop.zz", "", "ask IANA");
        row("no row: IANA said", "shop.zz", "", "whois.nic.zz:43", "whois.nic.zz");
        row("no row: IANA knows none", "shop.zz", "", "rdap:", "");
        row("auto: [Servers] rdap", "a.org", "protocol=auto org=rdap:http://127.0.0.1:9/",
            "rdap:http://127.0.0.1:9/");
        row("whois: [Servers] rdap left out", "a.org", "protocol=whois org=rdap:http://127.0.0.1:9/", pir);
        row("whois: IANA knows none", "a.zz", "protocol=whois", "none", "");
        row("rdap: bootstrap", "a.com", "protocol=RDAP com=10.0.0.1", "rdap:");
        row("rdap: [Servers] rdap", "a.org", "protocol=rdap org=rdap:http://127.0.0.1:9/",
            "rdap:http://127.0.0.1:9/");
        row("auto: no port 43 any more", "a.info", "", "rdap:");
        row("auto: no not-found phrase", "a.shop", "", "rdap:");
        row("whois: no not-found phrase", "a.club", "protocol=whois", "whois.nic.club:43");
        row("whois: no port 43 any more", "a.app", "protocol=whois", "none");
        row("auto: Radix base", "a.online", "", "whois.nic.online:43");
        row("rdap: Radix base", "a.online", "protocol=rdap", "rdap:https://rdap.radix.host/rdap/");
        // The bootstrap knows every TLD here but .zz and .yy.
        row("auto: no row, the bootstrap's", "a.cz", "", "rdap:");
        row("auto: no row, before IANA's referral", "a.cz", "", "rdap:", "whois.nic.cz");
        row("whois: no row, IANA", "a.cz", "protocol=whois", "ask IANA");
        row("auto: WhoisServer before the bootstrap", "a.cz", "whois=10.0.0.3", "10.0.0.3:43");
    }
    void routing()
    {
        QFETCH(QString, name);
        QFETCH(QString, setup);
        QFETCH(QString, referral);
        const Route route = routeName(
            name, ServerTable::builtIn(), overrides(setup),
            [&referral](const QString &) {
                return referral == u"-" ? std::nullopt : std::optional<QString>(referral);
            },
            [](const QString &ace) { return !ace.endsWith(u".zz"_s) && !ace.endsWith(u".yy"_s); });
        QTEST(where(route), "expected");
        QTEST(int(route.malformed.size()), "malformed");
    }

    // Where a row that cannot make a name free sends it once the bootstrap is looked at: its RDAP
    // service, else its WHOIS server, for a record still reads taken there.
    void plans_data()
    {
        for (const char *column : {"name", "setup", "expected"})
            QTest::addColumn<QString>(column);
        const auto row = [](const char *tag, const char *name, const char *setup, const char *expected) {
            QTest::newRow(tag) << asText(name) << asText(setup) << asText(expected);
        };
        row("auto: RDAP known", "a.shop", "", "https://rdap.gmoregistry.net/rdap/");
        row("auto: no RDAP, its WHOIS server", "a.my", "", "whois.mynic.my:43");
        row("rdap: no RDAP, nothing", "a.my", "protocol=rdap", "");
    }
    void plans()
    {
        QFETCH(QString, name);
        QFETCH(QString, setup);
        QTemporaryDir cache;
        RouterSettings settings;
        settings.cacheFolder = cache.path();
        settings.rdapBootstrapUrl = u"http://127.0.0.1:1/dns.json"_s; // refused: the copy compiled in
        FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC));
        Router router(settings, clock);
        std::optional<LookupPlan> planned;
        router.plan(name, DomainSearch, false, overrides(setup),
                    [&planned](LookupPlan plan) { planned = plan; });
        QTRY_VERIFY(planned);
        QTEST(planned->via == LookupPlan::Via::Rdap ? planned->rdapBase : planned->serverKey, "expected");
    }

    // Query lines in each form; a control character in a term cannot smuggle a second query.
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

    // The pause interval typed in "Internic Delay:".
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
        QTest::newRow("huge") << u"1e300"_s << -1;
    }
    void delay()
    {
        QFETCH(QString, text);
        QTEST(parseDelayMs(text).value_or(-1), "ms");
    }

    // A budget is COUNT/PERIOD; an operator line its name, servers and budgets, tab-separated.
    void budgets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // "count/ms", or empty: refused
        QTest::newRow("a second") << u"5/s"_s << u"5/1000"_s;
        QTest::newRow("rolling day") << u"1000/24h"_s << u"1000/86400000"_s;
        QTest::newRow("minutes") << u" 1800/15min "_s << u"1800/900000"_s;
        QTest::newRow("seconds counted") << u"3/10s"_s << u"3/10000"_s;
        QTest::newRow("no count") << u"/s"_s << QString();
        QTest::newRow("zero") << u"0/s"_s << QString();
        QTest::newRow("zero period") << u"5/0h"_s << QString();
        QTest::newRow("unknown unit") << u"5/d"_s << QString();
        QTest::newRow("over a year") << u"1/9000h"_s << QString();
        QTest::newRow("huge") << u"99999999999/s"_s << QString();
        QTest::newRow("negative") << u"-5/s"_s << QString();
    }
    void budgets()
    {
        QFETCH(QString, text);
        const std::optional<Budget> budget = parseBudget(text);
        QTEST(budget ? u"%1/%2"_s.arg(budget->count).arg(budget->periodMs) : QString(), "read");
        if (budget)
            QCOMPARE(parseBudget(budgetText(*budget)), budget);
    }

    void operatorLines()
    {
        const Result<Operator> op = parseOperatorLine(
            u"Example Registry\t127.0.0.1:4301,http://127.0.0.1:8080/rdap/\t5/s 60/24h"_s);
        QVERIFY(op.ok());
        QCOMPARE(op->budgets, (QList<Budget> {{5, 1000}, {60, 86'400'000}}));
        OperatorTable table;
        table.add(*op);
        QCOMPARE(table.operatorFor(u"http://127.0.0.1:8080"_s)->name, u"Example Registry"_s);
        QCOMPARE(table.operatorFor(u"127.0.0.1:4301"_s)->name, u"Example Registry"_s);
        QVERIFY(table.addLines(u"# mine\n\nOther\twhois.x\t-\r\n"_s, u"f"_s).ok());
        QVERIFY(table.operatorFor(u"whois.x:43"_s)->budgets.isEmpty());
        for (const auto &[line, error] :
             {std::pair {u"Name only"_s, u"f, line 1: an operator line is NAME, SERVERS and BUDGETS"_s},
              std::pair {u"X\t\t5/s"_s, u"X has no servers"_s},
              std::pair {u"X\th:0\t5/s"_s, u"'h:0' is not HOST:PORT"_s},
              std::pair {u"X\th\t5 a second"_s, u"'5' is not a budget"_s}}) {
            const Result<void> added = OperatorTable().addLines(line, u"f"_s);
            QVERIFY2(!added && added.error().text.contains(error), qPrintable(line));
        }
        // The built-in table reads whole (its figures are data, not restated here), each with its source.
        const OperatorTable &builtIn = OperatorTable::builtIn();
        QVERIFY(!builtIn.operatorFor(u"whois.nic.uk:43"_s)->budgets.isEmpty());
        QCOMPARE(builtIn.operatorFor(u"https://rdap.verisign.com"_s)->name, u"Verisign"_s);
        for (const Operator &row : builtIn.operators())
            QVERIFY2(!row.source.isEmpty(), qPrintable(row.name));
    }

    // Queries from a table's template; a table row that does not parse is skipped; an RDAP-only row.
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
        QCOMPARE(where(routeName(u"a.xx"_s, rdapOnly, overrides(u"protocol=whois"_s))), u"none"_s);
        const ServerTable rdapFirst
            = ServerTable::parse(u"xx\th\t{name}\tx\t-\ty\tsrc\trdap\n"
                                 "yy\th\t{name}\tx\t-\ty\tsrc\tRDAP https://rdap.yy/\n"_s);
        QCOMPARE(where(routeName(u"a.xx"_s, rdapFirst, {})) + where(routeName(u"a.yy"_s, rdapFirst, {})),
                 u"rdap:rdap:https://rdap.yy/"_s);
        QVERIFY(!parseProtocol(u"https"_s));
        // A server IANA names is asked for the bare name; the .com form is Verisign's alone.
        const auto referred = [](const QString &) {
            return std::optional<QString>(u"whois.nic.zz"_s);
        };
        QCOMPARE(routeName(u"a.zz"_s, ServerTable::builtIn(), {}, referred).queryTemplate, u"{name}"_s);
        QCOMPARE(routeName(u"a.com"_s, ServerTable::builtIn(), {}).queryTemplate, u"DO {name}"_s);
        const ServerTable second
            = ServerTable::parse(u"xx\th\t{name}\tx\t-\ty\tsrc\t-\tco.xx, org.xx,a.yy\tKOI8-R\n"
                                 "yy\tg\t{name}\tx\t-\ty\tsrc\t-\t-\tno-such-charset\n"_s);
        QCOMPARE(second.row(u"xx"_s)->secondLevel, (QStringList {u"co.xx"_s, u"org.xx"_s}));
        // A server's charset by its row; one that cannot be decoded leaves the default.
        QCOMPARE(second.charsetOf(u"H"_s) + u'|' + second.charsetOf(u"g"_s), u"koi8-r|"_s);
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

    // Only a well-formed host on the first "whois:" line of IANA's answer is a referral.
    void ianaWhoisLine_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("host"); // empty: nothing
        const QString head
            = u"% IANA WHOIS server\r\n\r\ndomain:       XYZ\r\n\r\norganisation: XYZ.COM LLC\r\n"_s;
        textRow("referral, CR LF", head + u"whois:        whois.nic.xyz\r\n\r\nstatus:       ACTIVE\r\n"_s,
                "whois.nic.xyz");
        textRow("upper case, trailing dot", "WHOIS: Whois.NIC.Example.\n", "whois.nic.example");
        textRow("no whois line", head + u"status:       ACTIVE\r\n"_s, "");
        textRow("only the first line counts", "whois:\nwhois: whois.evil.example\n", "");
        textRow("not at a line start", "remarks: whois: whois.nic.xyz\n", "");
        textRow("blank inside", "whois: whois.nic.xyz extra\n", "");
        textRow("non-ASCII", "whois: whöis.nic.xyz\n", "");
        textRow("hyphen at label edge", "whois: -whois.nic.xyz\n", "");
        textRow("label of 64", u"whois: "_s + QString(64, u'a') + u".xyz\n"_s, "");
        textRow("name of 254", u"whois: "_s + (QString(49, u'a') + u'.').repeated(5) + u"abcd\n"_s, "");
    }
    void ianaWhoisLine()
    {
        QFETCH(QString, answer);
        QTEST(parseIanaWhoisServer(answer).value_or(QString()), "host");
    }

    // A referral is remembered a week to the second; a file with any damaged line is not trusted.
    void referralCache_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: the one the cache writes itself
        QTest::addColumn<int>("ageSecs");
        QTest::addColumn<bool>("kept");
        const QByteArray line = "xyz\twhois.nic.xyz\t2026-12-06T22:00:00Z\n";
        QTest::newRow("a week to the second") << QByteArray() << int(ReferralCache::MaxAgeSecs) << true;
        QTest::newRow("a second past a week") << QByteArray() << int(ReferralCache::MaxAgeSecs) + 1 << false;
        QTest::newRow("clock went back") << QByteArray() << -60 << false;
        QTest::newRow("a good line") << line << 0 << true;
        QTest::newRow("two columns") << line + "abc\twhois.nic.abc\n" << 0 << false;
        QTest::newRow("bad time") << line + "abc\twhois.nic.abc\tyesterday\n" << 0 << false;
        QTest::newRow("bad tld") << line + "x.yz\twhois.nic.xyz\t2026-12-06T22:00:00Z\n" << 0 << false;
        QTest::newRow("binary") << line + "binary\x01\xff\n" << 0 << false;
        QTest::newRow("too large") << line + QByteArray(2 << 20, '\n') << 0 << false;
    }
    void referralCache()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, ageSecs);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"zandrel"_s); // made when first needed
        FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(22, 0), Qt::UTC));
        if (file.isEmpty()) {
            ReferralCache written(clock, folder);
            QVERIFY(written.insert(u"xyz"_s, u"whois.nic.xyz"_s));
            QVERIFY(written.insert(u"zz"_s, QString())); // IANA lists no server
        } else {
            QVERIFY(QDir().mkpath(folder) && writeAll(folder + u"/whois-referrals.tsv"_s, file));
        }
        clock.moment = clock.moment.addSecs(ageSecs);
        const ReferralCache reloaded(clock, folder);
        QCOMPARE(reloaded.server(u"xyz"_s), kept ? std::optional(u"whois.nic.xyz"_s) : std::nullopt);
        if (file.isEmpty())
            QCOMPARE(reloaded.server(u"zz"_s), kept ? std::optional(QString()) : std::nullopt);
        QCOMPARE(reloaded.server(u"abc"_s), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(tst_Verdict)
#include "tst_verdict.moc"
