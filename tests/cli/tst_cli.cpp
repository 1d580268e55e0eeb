// The command line: options, usage errors, output lines, and runs against a scripted registry.
#include "WhoRig.h"
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
    return u"%1 names=%2%3 %4 prefix=%5 suffix=%6 com=%7 out=%8 server=%9 delay=%10%11"_s.arg(int(o.mode))
        .arg(o.names.join(u','), o.namesFromInput ? u" stdin"_s : QString(),
             o.format == OutputFormat::Json ? u"json"_s : u"tsv"_s, o.prefixPath, o.suffixPath)
        .arg(o.comSuffix)
        .arg(o.outDir, o.server)
        .arg(o.delayMs)
        .arg(o.resume ? u" resume"_s : QString());
}
// A registry whose answer depends on the name's first label.
test::ScriptedWhoisServer::Reply registry(const QByteArray &query)
{
    const QByteArray name = query.trimmed().mid(3).toUpper(); // after "DO "
    if (name.startsWith("TAKEN") || name.startsWith("YOUR"))
        return {"   Domain Name: " + name + "\r\n   Registrar: Example Registrar, Inc.\r\n"};
    if (name.startsWith("ODD"))
        return {"Try again later, maybe.\r\n"};
    if (name.startsWith("SILENT"))
        return {""};
    return {"No match for \"" + name + "\".\r\n>>> Last update of whois database <<<\r\n"};
}

// runCli in this process against the rig's server, settings and clock; {SERVER} and {DIR} (an
// empty folder) in the arguments and the output are filled in.
struct CliRun
{
    explicit CliRun(test::WhoRig &r)
        : rig(r)
    { }
    test::WhoRig &rig;
    EventYield yield; // its own, so a run can be cut off and another started
    QTemporaryDir outDir;
    SettingsStore settings {rig.configDir.path()};
    QByteArray out;
    QByteArray err;

    QString fill(QString text) const
    {
        if (text.contains(u"{LIST}"_s))
            text.replace(u"{LIST}"_s, rig.writeFile(u"list.txt"_s, "a\r\n"));
        return text.replace(u"{SERVER}"_s, rig.server.address()).replace(u"{DIR}"_s, outDir.path());
    }
    int operator()(const QString &arguments, const QByteArray &input = {})
    {
        QBuffer in, output, errors;
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        output.open(QIODevice::WriteOnly);
        errors.open(QIODevice::WriteOnly);
        const int status = runCli(args(fill(arguments)), {in, output, errors},
                                  {settings, rig.clock, yield, rig.cacheDir.path(), rig.dataDir.path()});
        out = output.data();
        err = errors.data();
        return status;
    }
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        QTest::newRow("rdap with a WHOIS server")
            << u"--check x --protocol rdap --server h"_s << u"error: --server names a WHOIS server"_s;
        QTest::newRow("twice") << u"--check x --delay 1 --delay 2"_s << u"error: --delay is given more"_s;
        QTest::newRow("batch option on check") << u"--check x --out d"_s << u"error: --out is only for"_s;
        QTest::newRow("batch without suffix")
            << u"--batch --prefix p"_s << u"error: --batch needs --suffix"_s;
        QTest::newRow("batch with names")
            << u"--batch --prefix p --suffix s x"_s << u"error: --batch takes no"_s;
        QTest::newRow("com and no-com")
            << u"--batch --prefix p --suffix s --com --no-com"_s << u"error: --com and --no-com"_s;
        QTest::newRow("batch resume") << u"--batch --resume --out r --delay 0"_s
                                      << u"3 names= tsv prefix= suffix= com=1 out=r server= delay=0 resume"_s;
        QTest::newRow("resume with a list")
            << u"--batch --resume --suffix s"_s << u"error: --suffix cannot go with --resume"_s;
        QTest::newRow("resume on check") << u"--check x --resume"_s << u"error: --resume is only for"_s;
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
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // for help: its start
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("queries");
        const QString check = u"--check --delay 0 --server {SERVER} "_s;
        QTest::newRow("help") << u"--help"_s << QByteArray() << 0 << u"Usage: zandrel"_s << QString() << 0;
        QTest::newRow("version") << u"--version"_s << QByteArray() << 0 << u"zandrel 5.0.0\n"_s << QString()
                                 << 0;
        QTest::newRow("free and taken")
            << check + u"free.com TAKEN.com"_s << QByteArray() << 0
            << u"free.com\tfree\t{SERVER}\t\nTAKEN.com\ttaken\t{SERVER}\t\n"_s << QString() << 2;
        QTest::newRow("unknown: status 3")
            << u"--check --delay 0.02 --server {SERVER} odd.com silent.com free.com"_s << QByteArray() << 3
            << u"odd.com\tunknown\t{SERVER}\tunrecognised\nsilent.com\tunknown\t{SERVER}\tno answer\n"
               u"free.com\tfree\t{SERVER}\t\n"_s
            << QString() << 3;
        QTest::newRow("not registrable: never sent")
            << check + u"free.net.com x-.com"_s << QByteArray() << 0
            << u"free.net.com\tnot-registrable\t\tnot under a public suffix\n"
               u"x-.com\tnot-registrable\t\tlabel starts or ends with a hyphen\n"_s
            << QString() << 0;
        QTest::newRow("standard input, JSON")
            << check + u"--json -"_s << QByteArray("free.com\n\n  taken.com \r\n") << 0
            << u"{\"name\":\"free.com\",\"verdict\":\"free\",\"server\":\"{SERVER}\",\"reason\":\"\"}\n"
               u"{\"name\":\"taken.com\",\"verdict\":\"taken\",\"server\":\"{SERVER}\",\"reason\":\"\"}\n"_s
            << QString() << 2;
        QTest::newRow("nothing on standard input")
            << check + u"-"_s << QByteArray("\n") << 2 << QString()
            << u"zandrel: --check -: no names on standard input\n"_s << 0;
        QTest::newRow("usage error: one line, nothing else")
            << u"--check"_s << QByteArray() << 2 << QString() << u"zandrel: --check: no names given\n"_s << 0;
        QTest::newRow("unreadable word list")
            << u"--batch --prefix {DIR}/none.txt --suffix {DIR}/none.txt --out {DIR}"_s << QByteArray() << 2
            << QString() << u"zandrel: --prefix: cannot read '{DIR}/none.txt'\n"_s << 0;
        QTest::newRow("empty word list")
            << u"--batch --prefix /dev/null --suffix {LIST} --out {DIR}"_s << QByteArray() << 2 << QString()
            << u"zandrel: --prefix: '/dev/null' holds no words\n"_s << 0;
        QTest::newRow("out is no folder")
            << u"--batch --prefix {LIST} --suffix {LIST} --out {DIR}/none"_s << QByteArray() << 2 << QString()
            << u"zandrel: --out: '{DIR}/none' is not a folder that can be written\n"_s << 0;
        QTest::newRow("nothing to resume")
            << u"--batch --resume --out {DIR}"_s << QByteArray() << 2 << QString()
            << u"zandrel: --resume: there is no unfinished search to resume\n"_s << 0;
    }
    void run()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, queries);
        test::WhoRig rig;
        rig.server.setReplyFor(registry);
        CliRun cli(rig);
        QCOMPARE(cli(arguments, input), status);
        if (qstrcmp(QTest::currentDataTag(), "help") == 0)
            QVERIFY(cli.out.startsWith(out.toUtf8()));
        else
            QCOMPARE(QString::fromUtf8(cli.out), cli.fill(out));
        QCOMPARE(QString::fromUtf8(cli.err), cli.fill(err));
        QCOMPARE(rig.server.queries().size(), queries);
        if (status == ExitUsage)
            QVERIFY(QDir(cli.outDir.path()).isEmpty());
    }

    // The same lists and answers give the window's report, byte for byte, and the settings stay.
    void batchWritesTheWindowsReport()
    {
        test::WhoRig rig;
        rig.server.setReplyFor(registry);
        rig.useWordLists("free\r\nyour\r\nodd\r\n", "shop\r\nx.net\r\n");
        rig.start();
        rig.who->Form_Load();
        rig.who->delayTimer().setInterval(5);
        rig.who->SearchCombinations_Click();
        QStringList reports
            = QDir(rig.programDir.path()).entryList({u"*.txt"_s, u"*.htm"_s, u"*.csv"_s}, QDir::Files);
        reports.removeAll(u"p.txt"_s);
        reports.removeAll(u"s.txt"_s);
        QCOMPARE(reports.size(), 3);

        CliRun cli(rig);
        rig.settings.setValue(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s, u"mine"_s);
        const QByteArray settingsBefore = readAll(rig.settings.fileName(u"Zandrel"_s));
        const QString lists = u" --prefix %1 --suffix %2"_s.arg(rig.programDir.filePath(u"p.txt"_s),
                                                                rig.programDir.filePath(u"s.txt"_s));
        QCOMPARE(cli(u"--batch --delay 0 --out {DIR} --server {SERVER}"_s + lists), int(ExitSomeUnknown));
        QCOMPARE(QDir(cli.outDir.path()).entryList(QDir::Files), reports);
        for (const QString &report : reports)
            QCOMPARE(readAll(cli.outDir.filePath(report)), readAll(rig.programDir.filePath(report)));
        QCOMPARE(cli.out.count('\n'), 6);
        QVERIFY(cli.out.contains("yourx.net.com\tnot-registrable\t" + rig.server.address().toUtf8()));
        QCOMPARE(readAll(rig.settings.fileName(u"Zandrel"_s)), settingsBefore);
        QVERIFY(rig.launcher.opened.size() == 1); // the window's browser, not the command line's
    }

    // A search cut off after k combinations, by the window's Stop or on the command line, ends
    // with --batch --resume in the report an uninterrupted --batch run writes.
    void resumeFinishesACutOffRun_data()
    {
        QTest::addColumn<bool>("windowStarted");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("askedAgain"); // the lookup in flight at the cut
        QTest::newRow("window stopped") << true << 2 << 0;
        QTest::newRow("command line cut off") << false << 4 << 1;
    }
    void resumeFinishesACutOffRun()
    {
        QFETCH(bool, windowStarted);
        QFETCH(int, k);
        QFETCH(int, askedAgain);
        const QString batch = u"--batch --delay 0 --out {DIR} --prefix %1 --suffix %2 --server {SERVER}"_s;
        test::WhoRig whole;
        whole.server.setReplyFor(registry);
        whole.useWordLists("free\r\nyour\r\nodd\r\n", "shop\r\nx.net\r\n");
        CliRun uninterrupted(whole);
        QCOMPARE(uninterrupted(
                     batch.arg(whole.programDir.filePath(u"p.txt"_s), whole.programDir.filePath(u"s.txt"_s))),
                 int(ExitSomeUnknown));

        test::WhoRig rig;
        rig.useWordLists("free\r\nyour\r\nodd\r\n", "shop\r\nx.net\r\n");
        CliRun first(rig);
        rig.server.setReplyFor([&](const QByteArray &query) {
            if (rig.server.queries().size() == k)
                windowStarted ? rig.who->cbStopRunning_Click() : first.yield.requestClose();
            return registry(query);
        });
        if (windowStarted) {
            rig.start();
            rig.who->Form_Load();
            rig.who->delayTimer().setInterval(5);
            rig.who->SearchCombinations_Click();
        } else {
            QCOMPARE(
                first(batch.arg(rig.programDir.filePath(u"p.txt"_s), rig.programDir.filePath(u"s.txt"_s))),
                int(ExitFailed));
        }
        rig.useWordLists("other\r\n", "other\r\n"); // the journal's lists hold, not the files'
        rig.server.setReplyFor(registry);
        CliRun resumed(rig);
        QCOMPARE(resumed(u"--batch --resume --delay 0 --out {DIR}"_s), int(ExitSomeUnknown));
        QCOMPARE(rig.server.queries().size(), whole.server.queries().size() + askedAgain);
        const QString wholeOut = QString::fromUtf8(uninterrupted.out).replace(whole.server.address(), u"S"_s);
        const QString resumedOut = QString::fromUtf8(resumed.out).replace(rig.server.address(), u"S"_s);
        QVERIFY(!resumedOut.isEmpty() && resumedOut.size() < wholeOut.size()
                && wholeOut.endsWith(resumedOut));
        for (const QString &kind : {u"*.txt"_s, u"*.htm"_s}) {
            const QStringList reports = QDir(resumed.outDir.path()).entryList({kind}, QDir::Files);
            QVERIFY(reports.size() == 1
                    && reports == QDir(uninterrupted.outDir.path()).entryList({kind}, QDir::Files));
            QCOMPARE(readAll(resumed.outDir.filePath(reports.value(0))),
                     readAll(uninterrupted.outDir.filePath(reports.value(0))));
        }
        QCOMPARE(resumed(u"--batch --resume --out {DIR}"_s), int(ExitUsage)); // finished now
    }

    void helpListsEveryOption()
    {
        for (const char *option : {"--check", "--batch", "--prefix FILE", "--suffix FILE", "--com",
                                   "--no-com", "--out DIR", "--json", "--server HOST[:PORT]",
                                   "--delay SECONDS", "--protocol P", "--resume", "--help", "--version"})
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
