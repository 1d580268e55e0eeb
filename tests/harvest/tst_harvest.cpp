#include "harvest/Harvest.h"
#include "harvest/UniqueList.h"

#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

class TestHarvest : public QObject
{
    Q_OBJECT
private slots:
    void availableNames_data();
    void availableNames();
    void links_data();
    void links();
};

static QString crlf(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

static QStringList list(const char *joined)
{
    return QString::fromLatin1(joined).split(u'|', Qt::SkipEmptyParts);
}

void TestHarvest::availableNames_data()
{
    QTest::addColumn<QString>("response");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("capital letters") << crlf("NO MATCH FOR DOMAIN \"FREE.COM\".\n") << list("free.com");
    QTest::newRow("two phrases in text order")
        << crlf("No match for domain \"zeta.com\".\nno match for domain \"alpha.com\".\n")
        << list("zeta.com|alpha.com");
    QTest::newRow("same name twice") << crlf("no match for domain \"a.com\".\nno match for domain \"A.COM\".")
                                     << list("a.com");
    QTest::newRow("both wordings in text order")
        << crlf("No match for \"NEW.COM\".\nno match for domain \"old.com\".\nNo match for \"last.net\".")
        << list("new.com|old.com|last.net");
    QTest::newRow("empty name") << crlf("no match for domain \"\".\nNo match for \"\".") << QStringList();
    QTest::newRow("filters") << crlf("no match for domain \"a@b.com\".\nNo match for \"www.whoisx.com\".\n"
                                     "no match for \"www.who.com\".")
                             << list("www.who.com");
    QTest::newRow("no closing quote skipped")
        << crlf("no match for \"ok.com\" then no match for domain \"open.com") << list("ok.com");
}

void TestHarvest::availableNames()
{
    QFETCH(QString, response);
    UniqueList available;
    // A second scan of the same response adds nothing.
    for (int scan = 0; scan < 2; ++scan) {
        createavailablelist(response, available);
        QTEST(available.entries(), "expected");
    }
}

void TestHarvest::links_data()
{
    QTest::addColumn<QString>("response");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("record line") << crlf("   Domain Name: EXAMPLE.COM\n") << list("www.example.com");
    QTest::newRow("www doubled") << crlf("see www.example.com\n") << list("www.www.example.com");
    QTest::newRow("cut after the suffix")
        << crlf("x\tshop.community.org\n") << list("www.shop.com|www.shop.community.org");
    QTest::newRow("lone suffix") << crlf("names in the .com and .net zones\n") << QStringList();
    QTest::newRow("host at the very start") << u"start.com and more"_s << QStringList();
    QTest::newRow("suffix twice in one word")
        << crlf("start.comb.com x c.comd.com\n") << list("www.c.com|www.c.comd.com");
    QTest::newRow("line start stops the scan")
        << crlf("first\nsecond.net\nthird.edu\n") << list("www.second.net|www.third.edu");
    QTest::newRow("lone line feed does not stop") << u"x a\nb.gov"_s << list("www.a\nb.gov");
    QTest::newRow("filters") << crlf("at whois.nic.org host@mail.net internic.net a..b.com ok.edu\n")
                             << list("www.ok.edu");
    QTest::newRow("URLs are not hosts")
        << crlf("Registrar URL: http://www.example-registrar.com\nsee https://icann.org/epp\n")
        << QStringList();
    QTest::newRow("passes in suffix order") << crlf("x a.gov b.edu c.net d.org e.com\n")
                                            << list("www.e.com|www.d.org|www.c.net|www.b.edu|www.a.gov");
    QTest::newRow("historical no match") << crlf("No match for domain \"FREE.COM\".\n") << QStringList();
    QTest::newRow("present no match") << crlf("No match for \"EXAMPLE.COM\".\n") << QStringList();
    QTest::newRow("no match test starts after the previous dot")
        << crlf(" a.com b.com No match for \"c.com\".\n d.com\n") << list("www.d.com");
    QTest::newRow("no match does not touch other suffixes")
        << crlf("No match for \"EXAMPLE.COM\".\n ns.host.net\n") << list("www.ns.host.net");
    // Quotes do not count in the comparison, so the quoted candidate is the only entry.
    QTest::newRow("quoted .org kept once") << crlf(
        "No match for domain \"EXAMPLE.ORG\".\nNo match for domain \"EXAMPLE.ORG\".\nOwner: example.org\n")
                                           << list("www.\"example.org");
}

void TestHarvest::links()
{
    QFETCH(QString, response);
    UniqueList links(UniqueList::Key::WithoutQuotes);
    // A second scan of the same response adds nothing.
    for (int scan = 0; scan < 2; ++scan) {
        createweblist(response, links);
        QTEST(links.entries(), "expected");
    }
}

QTEST_GUILESS_MAIN(TestHarvest)
#include "tst_harvest.moc"
