// The command line's options, usage errors and output lines.
#include "cli/Cli.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

namespace {
QStringList args(const QString &joined)
{
    return (u"zandrel "_s + joined).split(u' ', Qt::SkipEmptyParts);
}

// The parsed options in one comparable line.
QString summary(const CliOptions &o)
{
    return u"%1 names=%2%3 %4 prefix=%5 suffix=%6 com=%7 out=%8 server=%9 delay=%10"_s.arg(int(o.mode))
        .arg(o.names.join(u','), o.namesFromInput ? u" stdin"_s : QString(),
             o.format == OutputFormat::Json ? u"json"_s : u"tsv"_s, o.prefixPath, o.suffixPath)
        .arg(o.comSuffix)
        .arg(o.outDir, o.server)
        .arg(o.delayMs);
}
} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected"); // a summary, or "error: " and the start of the problem
        const QString tail = u" prefix= suffix= com=1 out= server= delay=3000"_s;
        QTest::newRow("help wins") << u"--check --help"_s << u"0 names= tsv"_s + tail;
        QTest::newRow("version") << u"-v"_s << u"1 names= tsv"_s + tail;
        QTest::newRow("check names") << u"--check a.com b.org"_s << u"2 names=a.com,b.org tsv"_s + tail;
        QTest::newRow("check stdin, json") << u"--json --check -"_s << u"2 names= stdin json"_s + tail;
        QTest::newRow("server and delay")
            << u"--check x --server=127.0.0.1:4343 --delay 0.25"_s
            << u"2 names=x tsv prefix= suffix= com=1 out= server=127.0.0.1:4343 delay=250"_s;
        QTest::newRow("delay zero") << u"--check x --delay 0"_s
                                    << u"2 names=x tsv prefix= suffix= com=1 out= server= delay=0"_s;
        QTest::newRow("batch") << u"--batch --prefix p.txt --suffix s.txt --no-com --out r --delay 1"_s
                               << u"3 names= tsv prefix=p.txt suffix=s.txt com=0 out=r server= delay=1000"_s;
        QTest::newRow("batch, --com") << u"--batch --prefix p --suffix s --com"_s
                                      << u"3 names= tsv prefix=p suffix=s com=1 out= server= delay=3000"_s;
        QTest::newRow("unknown option") << u"--check x --bogus"_s << u"error: Unknown option 'bogus'"_s;
        QTest::newRow("missing value") << u"--check x --delay"_s << u"error: Missing value after '--delay'"_s;
        QTest::newRow("no mode") << u"--json"_s << u"error: nothing to do"_s;
        QTest::newRow("both modes") << u"--check --batch"_s << u"error: --check and --batch cannot"_s;
        QTest::newRow("no names") << u"--check --json"_s << u"error: --check: no names"_s;
        QTest::newRow("stdin and names") << u"--check - a.com"_s << u"error: --check: give the names"_s;
        QTest::newRow("bad server") << u"--check x --server h:99999"_s << u"error: --server: 'h:99999'"_s;
        QTest::newRow("negative delay") << u"--check x --delay -1"_s << u"error: --delay: '-1'"_s;
        QTest::newRow("delay words") << u"--check x --delay soon"_s << u"error: --delay: 'soon'"_s;
        QTest::newRow("delay inf") << u"--check x --delay inf"_s << u"error: --delay: 'inf'"_s;
        QTest::newRow("delay too long") << u"--check x --delay 3601"_s << u"error: --delay: '3601'"_s;
        QTest::newRow("twice") << u"--check x --delay 1 --delay 2"_s << u"error: --delay is given more"_s;
        QTest::newRow("batch option on check") << u"--check x --out d"_s << u"error: --out is only for"_s;
        QTest::newRow("batch without suffix")
            << u"--batch --prefix p"_s << u"error: --batch needs --suffix"_s;
        QTest::newRow("batch with names")
            << u"--batch --prefix p --suffix s x"_s << u"error: --batch takes no"_s;
        QTest::newRow("com and no-com")
            << u"--batch --prefix p --suffix s --com --no-com"_s << u"error: --com and --no-com"_s;
    }
    void parse()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const auto parsed = parseCliArguments(args(arguments));
        if (const UsageError *error = std::get_if<UsageError>(&parsed))
            QVERIFY2(expected.startsWith(u"error: "_s) && error->text.startsWith(expected.mid(7)),
                     qPrintable(error->text));
        else
            QCOMPARE(summary(std::get<CliOptions>(parsed)), expected);
    }

    void decideWithoutWindow_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("withoutWindow");
        QTest::newRow("no arguments") << QString() << false;
        QTest::newRow("window's --server") << u"--server 127.0.0.1:4343"_s << false;
        QTest::newRow("check") << u"--server h --check a.com"_s << true;
        QTest::newRow("help") << u"-h"_s << true;
        QTest::newRow("check= still ours, to be refused") << u"--check=x"_s << true;
        QTest::newRow("after --") << u"-- --check"_s << false;
    }
    void decideWithoutWindow()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, withoutWindow);
        QCOMPARE(isCommandLineRun(args(arguments)), withoutWindow);
    }

    void run_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // its start
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << u"--help"_s << 0 << u"Usage: zandrel"_s << QString();
        QTest::newRow("version") << u"--version"_s << 0 << u"zandrel 5.0.0\n"_s << QString();
        QTest::newRow("usage error: one line, nothing else")
            << u"--check"_s << 2 << QString() << u"zandrel: --check: no names given\n"_s;
    }
    void run()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QBuffer in, output, errors;
        in.open(QIODevice::ReadOnly);
        output.open(QIODevice::WriteOnly);
        errors.open(QIODevice::WriteOnly);
        QCOMPARE(runCli(args(arguments), {in, output, errors}), status);
        QVERIFY(QString::fromUtf8(output.data()).startsWith(out)
                && (out.isEmpty() == output.data().isEmpty()));
        QCOMPARE(QString::fromUtf8(errors.data()), err);
    }

    void helpListsEveryOption()
    {
        for (const char *option :
             {"--check", "--batch", "--prefix FILE", "--suffix FILE", "--com", "--no-com", "--out DIR",
              "--json", "--server HOST[:PORT]", "--delay SECONDS", "--help", "--version"})
            QVERIFY2(cliHelpText().contains(QLatin1String(option)), option);
    }

    void recordLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("tsv");
        QTest::newRow("free") << u"shop.com"_s << int(VerdictKind::Free) << QString()
                              << u"shop.com\tfree\twhois.test:43\t\n"_s;
        QTest::newRow("unknown") << u"shop.org"_s << int(VerdictKind::Unknown) << u"rate-limited"_s
                                 << u"shop.org\tunknown\twhois.test:43\trate-limited\n"_s;
        QTest::newRow("tab and line feed in a name stay in their field")
            << u"a\tb\nc\"\\é"_s << int(VerdictKind::NotRegistrable) << u"not under a public suffix"_s
            << u"a\uFFFDb\uFFFDc\"\\é\tnot-registrable\twhois.test:43\tnot under a public suffix\n"_s;
    }
    void recordLine()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, reason);
        QFETCH(QString, tsv);
        LookupRecord record;
        record.name = name;
        record.verdict = {VerdictKind(kind), reason};
        record.server = u"whois.test:43"_s;
        QCOMPARE(formatRecord(record, OutputFormat::Tsv), tsv);

        const QString json = formatRecord(record, OutputFormat::Json);
        QVERIFY(json.endsWith(u'\n') && json.count(u'\n') == 1);
        QVERIFY(json.startsWith(u"{\"name\":"_s)); // keys in the documented order
        const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
        QCOMPARE(object.keys(), (QStringList {u"name"_s, u"reason"_s, u"server"_s, u"verdict"_s}));
        QCOMPARE(object.value(u"name"_s).toString(), name);
        QCOMPARE(object.value(u"verdict"_s).toString(), verdictName(VerdictKind(kind)));
        QCOMPARE(object.value(u"reason"_s).toString(), reason);
    }

    void progress_data()
    {
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing done yet") << 0LL << 5000LL << 0LL << u"0/5000"_s;
        QTest::newRow("fast") << 120LL << 5000LL << 3000LL << u"120/5000  40/s  2:02 left"_s;
        QTest::newRow("slow, hours left") << 10LL << 5000LL << 30000LL << u"10/5000  0.33/s  4:09:30 left"_s;
        QTest::newRow("done") << 4LL << 4LL << 2000LL << u"4/4  2.0/s  0:00 left"_s;
        QTest::newRow("no total") << 7LL << -1LL << 1000LL << u"7  7.0/s"_s;
    }
    void progress()
    {
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, text);
        QCOMPARE(progressText(done, total, elapsedMs), text);
    }
};

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
