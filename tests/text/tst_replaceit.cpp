#include "text/Replaceit.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zandrel;
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
        // Other ASCII cases are compared with the plain algorithm below; these pin its rules.
        // Where repeating the replacement would never end, the call still returns.
        QTest::newRow("empty search") << u"abc"_s << QString() << u"x"_s << u"abc"_s;
        // A replacement is never searched again, even where it forms the search text with its neighbours.
        QTest::newRow("replacement forms search") << u"aab"_s << u"ab"_s << u"bbaa"_s << u"abbaa"_s;
        // Letters beyond A-Z fold in place; a non-BMP letter stays as its two units.
        QTest::newRow("non-ASCII before") << u"ÉCOLE ÄRGER \U00010400 NOTICE end"_s << u"notice "_s
                                          << QString() << u"ÉCOLE ÄRGER \U00010400 end"_s;
        QTest::newRow("non-ASCII match") << u"xÄrgerx"_s << u"äRGER"_s << u"-"_s << u"x-x"_s;
    }

    void replaces()
    {
        QFETCH(QString, vtext);
        QFETCH(QString, stext);
        QFETCH(QString, rtext);
        QTEST(replaceit(vtext, stext, rtext), "expected");
        QCOMPARE(foldCase(vtext).size(), vtext.size()); // folding keeps every position
    }

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
