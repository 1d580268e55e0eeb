#include "harvest/Harvest.h"
#include "harvest/ResponseTail.h"
#include "harvest/UniqueList.h"
#include "whois/Replaceit.h"

#include <QRandomGenerator>

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
    void longRunsStayBounded();
    void newTextOnlyMatchesWholeText();
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
    QTest::newRow("name longer than a host name")
        << u"no match for \"%1\" no match for \"%2\""_s.arg(QString(253, u'a'), QString(254, u'b'))
        << QStringList {QString(253, u'a')};
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
    QTest::newRow("no match test starts after the previous dot")
        << crlf(" a.com b.com No match for \"c.com\".\n d.com\n") << list("www.d.com");
    QTest::newRow("no match does not touch other suffixes")
        << crlf("No match for \"EXAMPLE.COM\".\n ns.host.net\n") << list("www.ns.host.net");
    // Quotes do not count in the comparison, so the quoted candidate is the only entry.
    QTest::newRow("longest entry") << u"x %1.com"_s.arg(QString(245, u'h'))
                                   << QStringList {u"www.%1.com"_s.arg(QString(245, u'h'))};
    QTest::newRow("entry too long") << u"x %1.com"_s.arg(QString(246, u'h')) << QStringList();
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

void TestHarvest::longRunsStayBounded()
{
    // One line of "x.com" without a blank: only the candidates short enough are built.
    const QString run = u"   Name Server: "_s + QString(u"x.com"_s).repeated(200'000);
    UniqueList links(UniqueList::Key::WithoutQuotes);
    createweblist(run, links);
    QCOMPARE(links.count(), 49);
    QCOMPARE(links.at(48).size(), 4 + 49 * 5);
}

// Random answers pass through both ways: the whole text scanned and cleaned at every lookup's end,
// and only what is new. Lists and text must end the same.
void TestHarvest::newTextOnlyMatchesWholeText()
{
    const QStringList pieces
        = list("x.com| |:|\t|\r\n|\n|\r|No match for \"|no match for domain |NO MATCH FOR \"|"
               "\"|ab|AB|b|a|.co|m|y.org|.net|www.|..|@|internic|z");
    const QStringList nags = {QString(), u"ab"_s, u"no match for \""_s, u".com"_s, u"b\r\n"_s, u"x.c"_s};
    QRandomGenerator random(1303);
    for (int run = 0; run < 300; ++run) {
        QString whole;
        UniqueList wholeAvailable;
        UniqueList wholeLinks(UniqueList::Key::WithoutQuotes);
        QString text;
        ResponseTail tail;
        UniqueList available;
        UniqueList links(UniqueList::Key::WithoutQuotes);
        const QString nag = nags.at(random.bounded(int(nags.size())));
        for (int step = 0; step < 60; ++step) {
            const int what = random.bounded(10);
            if (what < 6) { // an answer arrives
                QString answer;
                for (int i = random.bounded(12); i > 0; --i) {
                    const QString &piece = pieces.at(random.bounded(int(pieces.size())));
                    // Hosts differ, so an entry found once does not hide one missed elsewhere.
                    answer += piece.size() == 5 ? QString::number(random.bounded(100)) + piece : piece;
                }
                if (random.bounded(20) == 0)
                    answer += QString(random.bounded(240, 260), u'h') + u".com"_s;
                whole += answer;
                text += answer;
            } else if (what < 8) { // a lookup ends
                createavailablelist(whole, wholeAvailable);
                createweblist(whole, wholeLinks);
                tail.scanAvailable(text, available);
                tail.scanLinks(text, links);
            } else if (what < 9 || random.bounded(4) > 0) { // the removal text is removed
                const QString removing
                    = random.bounded(8) == 0 ? nags.at(random.bounded(int(nags.size()))) : nag;
                whole = replaceit(whole, removing, QString());
                const TailEdit edit = tail.clean(text, removing);
                text = text.left(edit.keep) + edit.tail;
            } else { // cleared before a search
                whole.clear();
                text.clear();
                tail.reset();
            }
            QCOMPARE(text, whole);
            QCOMPARE(available.entries(), wholeAvailable.entries());
            QCOMPARE(links.entries(), wholeLinks.entries());
        }
    }
}

QTEST_GUILESS_MAIN(TestHarvest)
#include "tst_harvest.moc"
