// Where IANA refers a TLD the built-in table lacks, and the week-long memory of it.
#include "verdict/IanaReferral.h"

#include "Recorders.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

class tst_Referral : public QObject
{
    Q_OBJECT
private slots:
    void whoisLine_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("host"); // empty: nothing
        const QString head
            = u"% IANA WHOIS server\r\n\r\ndomain:       XYZ\r\n\r\norganisation: XYZ.COM LLC\r\n"_s;
        QTest::newRow("referral, CR LF")
            << head + u"whois:        whois.nic.xyz\r\n\r\nstatus:       ACTIVE\r\n"_s << u"whois.nic.xyz"_s;
        QTest::newRow("upper case, trailing dot")
            << u"WHOIS: Whois.NIC.Example.\n"_s << u"whois.nic.example"_s;
        QTest::newRow("no whois line") << head + u"status:       ACTIVE\r\n"_s << QString();
        QTest::newRow("empty whois line") << head + u"whois:\r\nstatus:       ACTIVE\r\n"_s << QString();
        QTest::newRow("only the first line counts") << u"whois:\nwhois: whois.evil.example\n"_s << QString();
        QTest::newRow("not at a line start") << u"remarks: whois: whois.nic.xyz\n"_s << QString();
        QTest::newRow("blank inside") << u"whois: whois.nic.xyz extra\n"_s << QString();
        QTest::newRow("non-ASCII") << u"whois: whöis.nic.xyz\n"_s << QString();
        QTest::newRow("hyphen at label edge") << u"whois: -whois.nic.xyz\n"_s << QString();
        QTest::newRow("label of 64") << u"whois: "_s + QString(64, u'a') + u".xyz\n"_s << QString();
        QTest::newRow("name of 254") << u"whois: "_s + (QString(49, u'a') + u'.').repeated(5) + u"abcd\n"_s
                                     << QString();
    }
    void whoisLine()
    {
        QFETCH(QString, answer);
        QFETCH(QString, host);
        QCOMPARE(parseIanaWhoisServer(answer).value_or(QString()), host);
    }

    void cacheExpiry_data()
    {
        QTest::addColumn<int>("ageSecs");
        QTest::addColumn<bool>("kept");
        QTest::newRow("a week to the second") << int(ReferralCache::MaxAgeSecs) << true;
        QTest::newRow("a second past a week") << int(ReferralCache::MaxAgeSecs) + 1 << false;
        QTest::newRow("clock went back") << -60 << false;
    }
    void cacheExpiry()
    {
        QFETCH(int, ageSecs);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(22, 0), Qt::UTC));
        ReferralCache written(clock, dir.path() + u"/zandrel"_s);
        QVERIFY(written.insert(u"xyz"_s, u"whois.nic.xyz"_s));
        QVERIFY(written.insert(u"zz"_s, QString())); // IANA lists no server
        clock.moment = clock.moment.addSecs(ageSecs);
        const ReferralCache reloaded(clock, dir.path() + u"/zandrel"_s);
        QCOMPARE(reloaded.server(u"xyz"_s), kept ? std::optional(u"whois.nic.xyz"_s) : std::nullopt);
        QCOMPARE(reloaded.server(u"zz"_s), kept ? std::optional(QString()) : std::nullopt);
        QCOMPARE(reloaded.server(u"abc"_s), std::nullopt);
    }

    void damagedFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("two columns") << "xyz\twhois.nic.xyz\n"_ba;
        QTest::newRow("bad time") << "xyz\twhois.nic.xyz\tyesterday\n"_ba;
        QTest::newRow("bad tld") << "x.yz\twhois.nic.xyz\t2026-12-06T22:00:00Z\n"_ba;
        QTest::newRow("one bad line spoils all")
            << "xyz\twhois.nic.xyz\t2026-12-06T22:00:00Z\nbinary\x01\xff\n"_ba;
        QTest::newRow("too large") << "xyz\twhois.nic.xyz\t2026-12-06T22:00:00Z\n"_ba
                + QByteArray(2 << 20, '\n');
    }
    void damagedFile()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"whois-referrals.tsv"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        const test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(22, 0), Qt::UTC));
        QCOMPARE(ReferralCache(clock, dir.path()).server(u"xyz"_s), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(tst_Referral)
#include "tst_referral.moc"
