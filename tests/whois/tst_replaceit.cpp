#include "whois/Replaceit.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zandrel;

class TestReplaceit : public QObject
{
    Q_OBJECT
private slots:
    void replaces_data();
    void replaces();
    void foldKeepsPositions();
    void matchesRepeatedLeftmostReplacement();
    void nonTerminatingArgumentsStillReturn();
};

void TestReplaceit::replaces_data()
{
    QTest::addColumn<QString>("vtext");
    QTest::addColumn<QString>("stext");
    QTest::addColumn<QString>("rtext");
    QTest::addColumn<QString>("expected");

    const QString notice1 = QStringLiteral("Access to the records is provided for information.\r\n");
    const QString notice2 = QStringLiteral("All rights reserved.\r\n");
    QTest::newRow("joined occurrence goes too")
        << QStringLiteral("aabb") << QStringLiteral("ab") << QString() << QString();
    QTest::newRow("either case removed")
        << QStringLiteral("abcABCabc") << QStringLiteral("B") << QString() << QStringLiteral("acACac");
    QTest::newRow("same search and replacement")
        << QStringLiteral("aXa") << QStringLiteral("a") << QStringLiteral("a") << QStringLiteral("aXa");
    QTest::newRow("both empty") << QStringLiteral("abc") << QString() << QString() << QStringLiteral("abc");
    QTest::newRow("rest keeps its case")
        << QStringLiteral("Domain: X.COM\r\nNOTICE: Be Nice\r\nEnd") << QStringLiteral("notice: be nice\r\n")
        << QString() << QStringLiteral("Domain: X.COM\r\nEnd");
    QTest::newRow("whole notice only")
        << QString(QStringLiteral("head\r\n") + notice1 + QStringLiteral("tail"))
        << QString(notice1 + notice2) << QString()
        << QString(QStringLiteral("head\r\n") + notice1 + QStringLiteral("tail"));
    QTest::newRow("replacement joins a new match")
        << QStringLiteral("xaab") << QStringLiteral("ab") << QStringLiteral("b") << QStringLiteral("xb");
}

void TestReplaceit::replaces()
{
    QFETCH(QString, vtext);
    QFETCH(QString, stext);
    QFETCH(QString, rtext);
    QFETCH(QString, expected);
    QCOMPARE(replaceit(vtext, stext, rtext), expected);
}

void TestReplaceit::foldKeepsPositions()
{
    QString stamp = QStringLiteral("12/31/2000 10:15:00 PM");
    stamp = replaceit(stamp, QStringLiteral("/"), QStringLiteral("-"));
    stamp = replaceit(stamp, QStringLiteral(":"), QStringLiteral("_"));
    stamp = replaceit(stamp, QStringLiteral(" "), QStringLiteral("_"));
    QCOMPARE(stamp, QStringLiteral("12-31-2000_10_15_00_PM"));

    // Letters beyond A-Z fold in place; a non-BMP letter stays as its two units.
    const QString text = QStringLiteral("ÉCOLE ÄRGER \U00010400 NOTICE end");
    QCOMPARE(foldCase(text), QStringLiteral("école ärger \U00010400 notice end"));
    QCOMPARE(replaceit(text, QStringLiteral("notice "), QString()),
             QStringLiteral("ÉCOLE ÄRGER \U00010400 end"));
    QCOMPARE(replaceit(QStringLiteral("xÄrgerx"), QStringLiteral("äRGER"), QStringLiteral("-")),
             QStringLiteral("x-x"));
}

// The algorithm as written: search from the start of the changed text until nothing is found.
static QString reference(QString text, const QString &stext, const QString &rtext, bool *finished)
{
    *finished = true;
    if (rtext == stext)
        return text;
    // Some rules double the text on every round; such cases are left out.
    for (int round = 0; round < 1000 && text.size() < 1000; ++round) {
        const qsizetype at = text.toLower().indexOf(stext.toLower());
        if (at < 0)
            return text;
        text = text.left(at) + rtext + text.mid(at + stext.size());
    }
    *finished = false;
    return text;
}

void TestReplaceit::matchesRepeatedLeftmostReplacement()
{
    QRandomGenerator random(20240611);
    const auto word = [&random](const char *alphabet, int maxLength) {
        const int length = random.bounded(maxLength + 1);
        const int letters = int(qstrlen(alphabet));
        QString s;
        for (int i = 0; i < length; ++i)
            s += QLatin1Char(alphabet[random.bounded(letters)]);
        return s;
    };

    int compared = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        const QString stext = word("abAB", 4);
        QString rtext;
        switch (trial % 4) {
        case 0:
            break; // removal, the program's main use
        case 1:
            rtext = word("abAB", 4);
            break;
        case 2:
            rtext = word("cd", 3);
            break;
        default:
            rtext = stext;
            break;
        }
        if (rtext != stext && (stext.isEmpty() || rtext.toLower().contains(stext.toLower())))
            continue; // these never end under the written algorithm
        const QString vtext = word("abAB", 20);
        bool finished = false;
        const QString expected = reference(vtext, stext, rtext, &finished);
        if (!finished)
            continue;
        const QString actual = replaceit(vtext, stext, rtext);
        if (actual != expected)
            QFAIL(qPrintable(QStringLiteral("replaceit(%1, %2, %3) gave %4, expected %5")
                                 .arg(vtext, stext, rtext, actual, expected)));
        ++compared;
    }
    QVERIFY(compared > 5000);
}

void TestReplaceit::nonTerminatingArgumentsStillReturn()
{
    QCOMPARE(replaceit(QStringLiteral("abc"), QString(), QStringLiteral("x")), QStringLiteral("abc"));
    QCOMPARE(replaceit(QStringLiteral("a-A"), QStringLiteral("a"), QStringLiteral("ba")),
             QStringLiteral("ba-ba"));
    QCOMPARE(replaceit(QStringLiteral("aB"), QStringLiteral("b"), QStringLiteral("B")), QStringLiteral("aB"));
}

QTEST_GUILESS_MAIN(TestReplaceit)
#include "tst_replaceit.moc"
