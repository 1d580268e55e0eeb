// Replacing text case-blind, as the removal text and the replace box do.
#include "Tables.h"
#include "text/Replaceit.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
using namespace Qt::StringLiterals;

// Replace the leftmost match, ignoring case, until there is none; text put in by a replacement
// (upper-case in `mask`) is never part of a match.
static QString plain(QString text, const QString &stext, const QString &rtext)
{
    if (rtext == stext || stext.isEmpty())
        return text;
    QString mask(text.size(), u'o');
    for (;;) {
        const QString searched = text.toLower();
        qsizetype at = searched.indexOf(stext.toLower());
        while (at >= 0 && QStringView(mask).sliced(at, stext.size()).contains(u'R'))
            at = searched.indexOf(stext.toLower(), at + 1);
        if (at < 0)
            return text;
        text.replace(at, stext.size(), rtext);
        mask.replace(at, stext.size(), QString(rtext.size(), u'R'));
    }
}

class TestReplaceit : public QObject
{
    Q_OBJECT
private slots:
    void replaces_data()
    {
        QTest::addColumn<QString>("vtext");
        QTest::addColumn<QString>("stext");
        QTest::addColumn<QString>("rtext");
        QTest::addColumn<QString>("expected");
        // ASCII is compared with the plain algorithm below; letters beyond A-Z fold in place, and a
        // non-BMP letter stays as its two units.
        textRow("non-ASCII before", "ÉCOLE ÄRGER \U00010400 NOTICE end", "notice ", "",
                "ÉCOLE ÄRGER \U00010400 end");
        textRow("non-ASCII match", "xÄrgerx", "äRGER", "-", "x-x");
    }

    void replaces()
    {
        QFETCH(QString, vtext);
        QFETCH(QString, stext);
        QFETCH(QString, rtext);
        QTEST(replaceit(vtext, stext, rtext), "expected");
        QCOMPARE(foldCase(vtext).size(), vtext.size()); // folding keeps every position
    }

    // Also where the search text is empty or a replacement forms it again with its neighbours.
    void matchesPlainAlgorithm()
    {
        QRandomGenerator random(20240611);
        const auto word = [&random](QStringView letters, int maxLength) {
            QString s;
            for (int i = random.bounded(maxLength + 1); i > 0; --i)
                s += letters[random.bounded(int(letters.size()))];
            return s;
        };
        for (int trial = 0; trial < 20000; ++trial) {
            const QString stext = word(u"abAB", 4);
            const QString rtext = trial % 3 == 0 ? stext : word(trial % 3 == 1 ? u"abAB" : u"cd", 3);
            const QString vtext = word(u"abAB", 20);
            const QString expected = plain(vtext, stext, rtext);
            QVERIFY2(replaceit(vtext, stext, rtext) == expected,
                     qPrintable(u"%1 / %2 / %3"_s.arg(vtext, stext, rtext)));

            // Removing from a text whose start is clean already reads only the rest, same result.
            const QString clean = replaceit(word(u"abAB", 20), stext, QString());
            const QString text = clean + vtext;
            const TailEdit edit = removeFromTail(text, clean.size(), stext);
            QVERIFY2(text.left(edit.keep) + edit.tail == replaceit(text, stext, QString()),
                     qPrintable(u"%1 | %2 / %3"_s.arg(clean, vtext, stext)));
        }
    }
};

QTEST_GUILESS_MAIN(TestReplaceit)
#include "tst_replaceit.moc"
