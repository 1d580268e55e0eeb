#include "harvest/Harvest.h"
#include "harvest/UniqueList.h"

#include <QTest>

using namespace zandrel;

class TestHarvest : public QObject
{
    Q_OBJECT
private slots:
    void availableNames_data();
    void availableNames();
    void links_data();
    void links();
    void rescanAddsNothing();
    void quotedOrgCandidateKeptOnce();
};

static QString crlf(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

void TestHarvest::availableNames_data()
{
    QTest::addColumn<QString>("response");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("capital letters") << crlf("NO MATCH FOR DOMAIN \"FREE.COM\".\n")
                                     << QStringList {QStringLiteral("free.com")};
    QTest::newRow("two phrases in text order")
        << crlf("No match for domain \"zeta.com\".\nno match for domain \"alpha.com\".\n")
        << QStringList {QStringLiteral("zeta.com"), QStringLiteral("alpha.com")};
    QTest::newRow("same name twice") << crlf("no match for domain \"a.com\".\nno match for domain \"A.COM\".")
                                     << QStringList {QStringLiteral("a.com")};
    QTest::newRow("both wordings in text order")
        << crlf("No match for \"NEW.COM\".\nno match for domain \"old.com\".\nNo match for \"last.net\".")
        << QStringList {QStringLiteral("new.com"), QStringLiteral("old.com"), QStringLiteral("last.net")};
    QTest::newRow("empty name") << crlf("no match for domain \"\".\nNo match for \"\".") << QStringList();
    QTest::newRow("filters") << crlf("no match for domain \"a@b.com\".\nNo match for \"www.whoisx.com\".\n"
                                     "no match for \"www.who.com\".")
                             << QStringList {QStringLiteral("www.who.com")};
    QTest::newRow("no closing quote skipped")
        << crlf("no match for \"ok.com\" then no match for domain \"open.com")
        << QStringList {QStringLiteral("ok.com")};
}

void TestHarvest::availableNames()
{
    QFETCH(QString, response);
    QFETCH(QStringList, expected);
    UniqueList available;
    createavailablelist(response, available);
    QCOMPARE(available.entries(), expected);
}

void TestHarvest::links_data()
{
    QTest::addColumn<QString>("response");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("record line") << crlf("   Domain Name: EXAMPLE.COM\n")
                                 << QStringList {QStringLiteral("www.example.com")};
    QTest::newRow("www doubled") << crlf("see www.example.com\n")
                                 << QStringList {QStringLiteral("www.www.example.com")};
    QTest::newRow("cut after the suffix")
        << crlf("x\tshop.community.org\n")
        << QStringList {QStringLiteral("www.shop.com"), QStringLiteral("www.shop.community.org")};
    QTest::newRow("lone suffix") << crlf("names in the .com and .net zones\n") << QStringList();
    QTest::newRow("host at the very start") << QStringLiteral("start.com and more") << QStringList();
    QTest::newRow("suffix twice in one word")
        << crlf("start.comb.com x c.comd.com\n")
        << QStringList {QStringLiteral("www.c.com"), QStringLiteral("www.c.comd.com")};
    QTest::newRow("blank as first character") << QStringLiteral(" first.org") << QStringList();
    QTest::newRow("line start stops the scan")
        << crlf("first\nsecond.net\nthird.edu\n")
        << QStringList {QStringLiteral("www.second.net"), QStringLiteral("www.third.edu")};
    QTest::newRow("lone line feed does not stop")
        << QStringLiteral("x a\nb.gov") << QStringList {QStringLiteral("www.a\nb.gov")};
    QTest::newRow("filters") << crlf("Server: whois.nic.org mail: host@mail.net at internic.net ok.edu\n")
                             << QStringList {QStringLiteral("www.ok.edu")};
    QTest::newRow("passes in suffix order")
        << crlf("x a.gov b.edu c.net d.org e.com\n")
        << QStringList {QStringLiteral("www.e.com"), QStringLiteral("www.d.org"), QStringLiteral("www.c.net"),
                        QStringLiteral("www.b.edu"), QStringLiteral("www.a.gov")};
    QTest::newRow("historical no match, .com")
        << crlf("No match for domain \"FREE.COM\".\n") << QStringList();
    QTest::newRow("present no match, .com") << crlf("No match for \"EXAMPLE.COM\".\n") << QStringList();
    QTest::newRow("no match test starts after the previous dot")
        << crlf(" a.com b.com No match for \"c.com\".\n d.com\n")
        << QStringList {QStringLiteral("www.d.com")};
    QTest::newRow("no match does not touch other suffixes")
        << crlf("No match for \"EXAMPLE.COM\".\n ns.host.net\n")
        << QStringList {QStringLiteral("www.ns.host.net")};
    QTest::newRow("empty") << QString() << QStringList();
}

void TestHarvest::links()
{
    QFETCH(QString, response);
    QFETCH(QStringList, expected);
    UniqueList links(UniqueList::Key::WithoutQuotes);
    createweblist(response, links);
    QCOMPARE(links.entries(), expected);
}

void TestHarvest::rescanAddsNothing()
{
    const QString response
        = crlf("Domain Name: ONE.COM\nNo match for \"TWO.COM\".\nno match for domain \"three.com\".\n"
               "Name Server: NS.ONE.NET\n");
    UniqueList available;
    UniqueList links(UniqueList::Key::WithoutQuotes);
    for (int scan = 0; scan < 2; ++scan) {
        createavailablelist(response, available);
        createweblist(response, links);
        QCOMPARE(available.entries(), (QStringList {QStringLiteral("two.com"), QStringLiteral("three.com")}));
        QCOMPARE(links.entries(), QStringList {QStringLiteral("www.ns.one.net")});
    }
}

void TestHarvest::quotedOrgCandidateKeptOnce()
{
    UniqueList links(UniqueList::Key::WithoutQuotes);
    createweblist(crlf("No match for domain \"EXAMPLE.ORG\".\n"), links);
    createweblist(crlf("No match for domain \"EXAMPLE.ORG\".\n"), links);
    QCOMPARE(links.entries(), QStringList {QStringLiteral("www.\"example.org")});

    // The same host without the quote is the same entry.
    createweblist(crlf("Registrant: example.org\n"), links);
    QCOMPARE(links.count(), 1);
}

QTEST_GUILESS_MAIN(TestHarvest)
#include "tst_harvest.moc"
