// Where IANA refers a TLD the built-in table lacks, and the week-long memory of it.
#include "verdict/IanaReferral.h"

#include "Recorders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

class tst_Referral : public QObject
{
    Q_OBJECT
private slots:
    // Only a well-formed host on the first "whois:" line of IANA's answer is a referral.
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
        QTEST(parseIanaWhoisServer(answer).value_or(QString()), "host");
    }

    // A referral is remembered a week to the second; a file with any damaged line is not trusted.
    void cache_data()
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
    void cache()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, ageSecs);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"zandrel"_s); // made when first needed
        test::FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(22, 0), Qt::UTC));
        if (file.isEmpty()) {
            ReferralCache written(clock, folder);
            QVERIFY(written.insert(u"xyz"_s, u"whois.nic.xyz"_s));
            QVERIFY(written.insert(u"zz"_s, QString())); // IANA lists no server
        } else {
            QFile out(folder + u"/whois-referrals.tsv"_s);
            QVERIFY(QDir().mkpath(folder) && out.open(QIODevice::WriteOnly)
                    && out.write(file) == file.size());
        }
        clock.moment = clock.moment.addSecs(ageSecs);
        const ReferralCache reloaded(clock, folder);
        QCOMPARE(reloaded.server(u"xyz"_s), kept ? std::optional(u"whois.nic.xyz"_s) : std::nullopt);
        if (file.isEmpty())
            QCOMPARE(reloaded.server(u"zz"_s), kept ? std::optional(QString()) : std::nullopt);
        QCOMPARE(reloaded.server(u"abc"_s), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(tst_Referral)
#include "tst_referral.moc"
