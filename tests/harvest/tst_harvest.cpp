// The names a response yields, and the text the response box shows of it.
#include "Tables.h"
#include "harvest/Harvest.h"
#include "harvest/ResponseTail.h"
#include "harvest/ShownText.h"
#include "harvest/UniqueList.h"
#include "text/Replaceit.h"

#include <QRandomGenerator>

#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

static QString crlf(const char *text)
{
    return QString::fromLatin1(text).replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

class TestHarvest : public QObject
{
    Q_OBJECT
private slots:
    // Each scan finds its names in text order; a second scan of the same response adds nothing.
    void scans_data()
    {
        QTest::addColumn<bool>("links"); // the scan for existing domains, else for available names
        QTest::addColumn<QString>("response");
        QTest::addColumn<QStringList>("expected");
        const auto available = [](const char *name, const QString &response, const QStringList &expected) {
            QTest::newRow(name) << false << response << expected;
        };
        const auto link = [](const char *name, const QString &response, const QStringList &expected) {
            QTest::newRow(name) << true << response << expected;
        };

        available("any case, same name twice",
                  crlf("NO MATCH FOR DOMAIN \"a.com\".\nno match for domain \"A.COM\"."), words("a.com"));
        available(
            "both wordings in text order",
            crlf("No match for \"NEW.COM\".\nno match for domain \"old.com\".\nNo match for \"last.net\"."),
            words("new.com|old.com|last.net"));
        available("empty name", crlf("no match for domain \"\".\nNo match for \"\"."), {});
        available("available filters",
                  crlf("no match for domain \"a@b.com\".\nNo match for \"www.whoisx.com\".\n"
                       "no match for \"www.who.com\"."),
                  words("www.who.com"));
        available("no closing quote skipped",
                  crlf("no match for \"ok.com\" then no match for domain \"open.com"), words("ok.com"));
        available("name longer than a host name",
                  u"no match for \"%1\" no match for \"%2\""_s.arg(QString(253, u'a'), QString(254, u'b')),
                  QStringList {QString(253, u'a')});
        link("record line", crlf("   Domain Name: EXAMPLE.COM\n"), words("www.example.com"));
        // The shapes a candidate can take.
        link("www once", crlf("Registrar URL: www.networksolutions.com\nsee WWW.Example.COM\n"),
             words("www.networksolutions.com|www.example.com"));
        link("suffix inside a host", crlf("x\tmyshop.community.org\n"), words("www.myshop.community.org"));
        link("suffix followed by a letter, digit, hyphen or dot",
             crlf(" a.com1 b.com- c.com.au d.comb e.com, f.com\n"), words("www.e.com|www.f.com"));
        link("quoted name", crlf("No match for \"FOO.NET.COM\".\n"), {});
        link("markup", crlf(" www.<b>x<b>.com <a>b.org</a> c.net\n"), words("www.c.net"));
        link("brackets and commas", crlf(" (a.com) [b.com] c,d.com\n"), {});
        link("host in Unicode form", u"x M\u00dcNCHEN.com\r\n"_s, QStringList {u"www.m\u00fcnchen.com"_s});
        link("lone suffix", crlf("names in the .com and .net zones\n"), {});
        link("host at the very start", u"start.com and more"_s, {});
        link("suffix twice in one word", crlf("start.comb.com x c.comd.com\n"), words("www.c.comd.com"));
        link("line start stops the scan", crlf("first\nsecond.net\nthird.edu\n"),
             words("www.second.net|www.third.edu"));
        link("lone line feed is no stop and no host", u"x a\nb.gov"_s, {});
        link("link filters", crlf("at whois.nic.org host@mail.net internic.net a..b.com ok.edu\n"),
             words("www.ok.edu"));
        link("URLs are not hosts",
             crlf("Registrar URL: http://www.example-registrar.com\nsee https://icann.org/epp\n"), {});
        link("passes in suffix order", crlf("x a.gov b.edu c.net d.org e.com\n"),
             words("www.e.com|www.d.org|www.c.net|www.b.edu|www.a.gov"));
        link("no match test starts after the previous dot",
             crlf(" a.com b.com No match for \"c.com\".\n d.com\n"), words("www.d.com"));
        link("no match does not touch other suffixes",
             crlf("No match for domain \"EXAMPLE.COM\".\n ns.host.net\n"), words("www.ns.host.net"));
        link("longest entry", u"x %1.com"_s.arg(QString(245, u'h')),
             QStringList {u"www.%1.com"_s.arg(QString(245, u'h'))});
        link("entry too long", u"x %1.com"_s.arg(QString(246, u'h')), {});
        // One line of "x.com" without a blank: each suffix runs on into the next host, the last is too long.
        link("long run", u"   Name Server: "_s + QString(u"x.com"_s).repeated(200'000), {});
        link("long run of hosts", u"   Name Server:"_s + QString(u" x.com"_s).repeated(200'000),
             words("www.x.com"));
        link("quoted .org",
             crlf("No match for domain \"EXAMPLE.ORG\".\nNo match for domain \"EXAMPLE.ORG\".\n"
                  "Owner: example.org\n"),
             words("www.example.org"));
    }

    void scans()
    {
        QFETCH(bool, links);
        QFETCH(QString, response);
        UniqueList list(links ? UniqueList::Key::WithoutQuotes : UniqueList::Key::Exact);
        for (int scan = 0; scan < 2; ++scan) {
            links ? createweblist(response, list) : createavailablelist(response, list);
            QTEST(list.entries(), "expected");
        }
    }

    // Random answers pass through both ways: the whole text scanned and cleaned at every lookup's end,
    // and only what is new. Lists and text must end the same.
    void newTextOnlyMatchesWholeText()
    {
        const QStringList pieces
            = words("x.com| |:|\t|\r\n|\n|\r|No match for \"|no match for domain |NO MATCH FOR \"|"
                    "\"|ab|AB|b|a|.co|m|y.org|.net|www.|..|@|internic|z");
        const QStringList nags = {QString(), u"ab"_s, u"no match for \""_s, u".com"_s, u"b\r\n"_s, u"x.c"_s};
        QRandomGenerator random(1303);
        for (int run = 0; run < 300; ++run) {
            QString whole, text, shown, box;
            ResponseTail tail;
            ShownText shownText(250); // the runs of h cross the line length now and then
            ShownFeed feed(random.bounded(1, 8)); // the box, filled a slice at a time
            UniqueList wholeAvailable, available;
            UniqueList wholeLinks(UniqueList::Key::WithoutQuotes), links(UniqueList::Key::WithoutQuotes);
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
                    const QString added = shownText.append(answer);
                    shown += added;
                    feed.append(added);
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
                    const ShownText::Change change = shownText.replaceTail(text, edit.keep);
                    shown = shown.left(change.keep) + change.added;
                    box.truncate(feed.replaceTail(change));
                } else { // cleared before a search
                    whole.clear();
                    text.clear();
                    tail.reset();
                    shown = shownText.reset(text);
                    box.clear();
                    feed.reset(shown);
                }
                QCOMPARE(text, whole);
                QCOMPARE(shown, ShownText::shown(text, 250));
                for (int slices = random.bounded(3); slices > 0; --slices) {
                    const QString slice = feed.take();
                    // Whole lines, unless the last one is cut at the end of what waits.
                    QVERIFY(feed.rest().isEmpty() || slice.endsWith(u'\n'));
                    QVERIFY(slice.size() < 8 || slice.count(u'\n') <= 1);
                    box += slice;
                }
                QCOMPARE(box + feed.rest().toString(), shown);
                QCOMPARE(available.entries(), wholeAvailable.entries());
                QCOMPARE(links.entries(), wholeLinks.entries());
            }
        }
    }

    // The response box shows each line break as one line feed and no more than two empty lines in a row.
    void shownText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF, lone CR, lone LF; LF CR is two")
            << u"a\r\nb\rc\nd\n\re"_s << u"a\nb\nc\nd\n\ne"_s;
        QTest::newRow("two empty lines kept") << u"a\r\n\r\n\r\nb"_s << u"a\n\n\nb"_s;
        QTest::newRow("more empty lines dropped") << u"a\n\n\n\n\n b\r\r\r\r"_s << u"a\n\n\n b\n\n\n"_s;
        QTest::newRow("blanks make a line") << u"\n\n\n \n\n\n"_s << u"\n\n\n \n\n\n"_s;
        QTest::newRow("many line feeds") << QString(20'000, u'\n') << u"\n\n\n"_s;
        const QString line(ShownText::LineLength, u'x');
        QTest::newRow("a long line goes on in the next")
            << line + line + u"y\r\nz"_s << line + u"\n"_s + line + u"\ny\nz"_s;
        QTest::newRow("a line of the line length is one") << line + u"\n"_s + line << line + u"\n"_s + line;
        QTest::newRow("a surrogate pair is not parted") << line.first(ShownText::LineLength - 1)
                + u"\U0001F600"_s + u"a"_s << line.first(ShownText::LineLength - 1) + u"\U0001F600\na"_s;
    }

    void shownText()
    {
        QFETCH(QString, text);
        QTEST(ShownText::shown(text), "shown"); // piece by piece: newTextOnlyMatchesWholeText
    }
};

QTEST_GUILESS_MAIN(TestHarvest)
#include "tst_harvest.moc"
