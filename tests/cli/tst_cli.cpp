// The command line: options, usage errors, output lines, and runs against a scripted registry.
#include "WhoRig.h"
#include "cli/Cli.h"
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

namespace {
QStringList args(const QString &joined)
{
    return (u"zandrel "_s + joined).split(u' ', Qt::SkipEmptyParts);
}

// The parsed options in one comparable line: the mode, then each field away from its default.
QString summary(const CliOptions &o)
{
    const QStringList all {QString::number(int(o.mode)),
                           u"names="_s + o.names.join(u','),
                           o.namesFromInput ? u"stdin"_s : QString(),
                           o.format == OutputFormat::Json ? u"json"_s : QString(),
                           u"prefix="_s + o.prefixPath,
                           u"suffix="_s + o.suffixPath,
                           o.comSuffix ? QString() : u"no-com"_s,
                           u"out="_s + o.outDir,
                           u"server="_s + o.server,
                           o.delayMs == 3000 ? QString() : u"delay=%1"_s.arg(o.delayMs),
                           o.resume ? u"resume"_s : QString()};
    return all.filter(QRegularExpression(u"[^=]$"_s)).join(u' '); // "name=" alone is a default
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
        QByteArray bytes = input;
        QBuffer in(&bytes), output(&out), errors(&err);
        in.open(QIODevice::ReadOnly);
        output.open(QIODevice::WriteOnly | QIODevice::Truncate);
        errors.open(QIODevice::WriteOnly | QIODevice::Truncate);
        return runCli(args(fill(arguments)), {in, output, errors},
                      {settings, rig.clock, yield, rig.cacheDir.path(), rig.dataDir.path()});
    }
};

// The rig answers by registry() and holds the lists the report tests search.
void useSearchLists(test::WhoRig &rig)
{
    rig.server.setReplyFor(registry);
    rig.useWordLists("free\r\nyour\r\nodd\r\n", "shop\r\nx.net\r\n");
}

// The window's own search over the rig's lists.
void searchInWindow(test::WhoRig &rig)
{
    rig.start();
    rig.who->Form_Load();
    rig.who->delayTimer().setInterval(5);
    rig.who->SearchCombinations_Click();
}

// A --batch run of the rig's lists into {DIR}.
QString batchOf(const test::WhoRig &rig)
{
    return u"--batch --delay 0 --out {DIR} --server {SERVER} --prefix %1 --suffix %2"_s.arg(
        rig.programDir.filePath(u"p.txt"_s), rig.programDir.filePath(u"s.txt"_s));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file in a folder but the word lists, the rig's server address made plain.
QMap<QString, QByteArray> reportsIn(const QString &folder, const test::WhoRig &rig)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        if (name != u"p.txt" && name != u"s.txt")
            files[name] = readAll(QDir(folder).filePath(name)).replace(rig.server.address().toUtf8(), "S");
    }
    return files;
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT
private slots:
    // Options parsed into the right fields.
    void parse_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("check names") << u"--check a.com b.org"_s << u"2 names=a.com,b.org"_s;
        QTest::newRow("check stdin, json") << u"--json --check -"_s << u"2 stdin json"_s;
        QTest::newRow("server and delay") << u"--check x --server=127.0.0.1:4343 --delay 0.25"_s
                                          << u"2 names=x server=127.0.0.1:4343 delay=250"_s;
        QTest::newRow("batch") << u"--batch --prefix p.txt --suffix s.txt --no-com --out r --delay 1"_s
                               << u"3 prefix=p.txt suffix=s.txt no-com out=r delay=1000"_s;
        QTest::newRow("batch resume, delay zero")
            << u"--batch --resume --out r --delay 0"_s << u"3 out=r delay=0 resume"_s;
    }
    void parse()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const auto parsed = parseCliArguments(args(arguments));
        const UsageError *error = std::get_if<UsageError>(&parsed);
        QVERIFY2(!error, qPrintable(error ? error->text : QString()));
        QCOMPARE(summary(std::get<CliOptions>(parsed)), expected);
    }

    // Every misuse: status 2, one line naming the problem, no query sent, nothing written.
    void usageError_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("error"); // the start of the line after "zandrel: "
        QTest::newRow("unknown option") << u"--check x --bogus"_s << u"Unknown option 'bogus'"_s;
        QTest::newRow("missing value") << u"--check x --delay"_s << u"Missing value after '--delay'"_s;
        QTest::newRow("no mode") << u"--json"_s << u"nothing to do"_s;
        QTest::newRow("both modes") << u"--check --batch"_s << u"--check and --batch cannot"_s;
        QTest::newRow("no names") << u"--check --json"_s << u"--check: no names given\n"_s;
        QTest::newRow("stdin and names") << u"--check - a.com"_s << u"--check: give the names"_s;
        QTest::newRow("nothing on standard input")
            << u"--check -"_s << u"--check -: no names on standard input\n"_s;
        QTest::newRow("bad server") << u"--check x --server h:99999"_s << u"--server: 'h:99999'"_s;
        QTest::newRow("negative delay") << u"--check x --delay -1"_s << u"--delay: '-1'"_s;
        QTest::newRow("delay words") << u"--check x --delay soon"_s << u"--delay: 'soon'"_s;
        QTest::newRow("delay nan") << u"--check x --delay nan"_s << u"--delay: 'nan'"_s;
        QTest::newRow("delay too long") << u"--check x --delay 3601"_s << u"--delay: '3601'"_s;
        QTest::newRow("rdap with a WHOIS server")
            << u"--check x --protocol rdap --server h"_s << u"--server names a WHOIS server"_s;
        QTest::newRow("twice") << u"--check x --delay 1 --delay 2"_s << u"--delay is given more"_s;
        QTest::newRow("batch option on check") << u"--check x --out d"_s << u"--out is only for"_s;
        QTest::newRow("batch without suffix") << u"--batch --prefix p"_s << u"--batch needs --suffix"_s;
        QTest::newRow("batch with names") << u"--batch --prefix p --suffix s x"_s << u"--batch takes no"_s;
        QTest::newRow("com and no-com")
            << u"--batch --prefix p --suffix s --com --no-com"_s << u"--com and --no-com"_s;
        QTest::newRow("resume with a list")
            << u"--batch --resume --suffix s"_s << u"--suffix cannot go with --resume"_s;
        QTest::newRow("nothing to resume")
            << u"--batch --resume --out {DIR}"_s << u"--resume: there is no unfinished search to resume\n"_s;
        QTest::newRow("unreadable word list")
            << u"--batch --prefix {DIR}/none.txt --suffix {DIR}/none.txt --out {DIR}"_s
            << u"--prefix: cannot read '{DIR}/none.txt'\n"_s;
        QTest::newRow("empty word list") << u"--batch --prefix /dev/null --suffix {LIST} --out {DIR}"_s
                                         << u"--prefix: '/dev/null' holds no words\n"_s;
        QTest::newRow("out is no folder") << u"--batch --prefix {LIST} --suffix {LIST} --out {DIR}/none"_s
                                          << u"--out: '{DIR}/none' is not a folder that can be written\n"_s;
    }
    void usageError()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, error);
        test::WhoRig rig;
        CliRun cli(rig);
        QCOMPARE(
            cli(arguments.contains(u"--server"_s) ? arguments : u"--server {SERVER} "_s + arguments, "\n"),
            int(ExitUsage));
        QVERIFY2(cli.err.startsWith(cli.fill(u"zandrel: "_s + error).toUtf8()) && cli.err.count('\n') == 1
                     && cli.err.endsWith('\n'),
                 cli.err.constData());
        QVERIFY(cli.out.isEmpty() && rig.server.queries().isEmpty() && QDir(cli.outDir.path()).isEmpty());
    }

    // Only a run that asks for the command line skips the window.
    void decideWithoutWindow()
    {
        for (const QString &arguments : {u"--server h --check a.com"_s, u"-h"_s, u"--check=x"_s})
            QVERIFY2(isCommandLineRun(args(arguments)), qPrintable(arguments));
        for (const QString &arguments : {QString(), u"--server 127.0.0.1:4343"_s, u"-- --check"_s})
            QVERIFY2(!isCommandLineRun(args(arguments)), qPrintable(arguments));
    }

    // The --help layout from the word file: usage purposes in a column, paragraphs and option texts
    // wrapped at 96 columns, a long option's text on the next line, comments and blank lines dropped.
    void helpText_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("help");
        const QString words = u"lorem ipsum dolor sit amet consectetur "_s.repeated(3).trimmed();
        QTest::newRow("usage forms")
            << u"# comment\n[usage]\n--check NAME\tlook up\n--help | --version\n"_s
            << u"Usage: zandrel --check NAME                       look up\n       zandrel --help | --version\n"_s;
        QTest::newRow("usage purpose beyond the column")
            << u"[usage]\n--batch --prefix FILE --suffix FILE [--com]\tsearch\n"_s
            << u"Usage: zandrel --batch --prefix FILE --suffix FILE [--com]   search\n"_s;
        QTest::newRow("paragraphs joined and wrapped")
            << u"[description]\n"_s + words + u"\nnext\n\n\nsecond\r\n"_s
            << u"lorem ipsum dolor sit amet consectetur lorem ipsum dolor sit amet consectetur lorem ipsum "
               u"dolor\n"
               u"sit amet consectetur next\n\nsecond\n"_s;
        QTest::newRow("option text wrapped under its column")
            << u"[options]\n--delay SECONDS\n    "_s + words + u"\n  more\n-h, --help\n    show this text\n"_s
            << u"  --delay SECONDS       lorem ipsum dolor sit amet consectetur lorem ipsum dolor sit amet\n"
               u"                        consectetur lorem ipsum dolor sit amet consectetur more\n"
               u"  -h, --help            show this text\n"_s;
        QTest::newRow("long option on a line of its own")
            << u"[options]\n--resume-from-this FILE\n    go on\n"_s
            << u"  --resume-from-this FILE\n                        go on\n"_s;
        QTest::newRow("sections apart, exit statuses")
            << u"[usage]\n-v\n[options]\n-v\n    show\n[exit]\n0\tall answered\n2\ta usage error\n"_s
            << u"Usage: zandrel -v\n\n  -v                    show\n\nExit status:\n  0   all answered\n"
               u"  2   a usage error\n"_s;
    }
    void helpText()
    {
        QFETCH(QString, source);
        QFETCH(QString, help);
        QCOMPARE(renderCliHelp(source), help);
    }

    // The compiled-in help is there and names the real cap on --delay.
    void compiledHelp()
    {
        const QString help = cliHelpText();
        QVERIFY(help.startsWith(u"Usage: zandrel "_s));
        QVERIFY2(help.simplified().contains(u"at most %1)"_s.arg(MaxDelaySeconds)), qPrintable(help));
    }

    // Verdicts, exit statuses and output lines of whole runs; a name that cannot be registered is never sent.
    void run_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // for help: its start
        const QString check = u"--check --delay 0 --server {SERVER} "_s;
        QTest::newRow("help wins") << u"--check --help"_s << QByteArray() << 0 << u"Usage: zandrel"_s;
        QTest::newRow("version") << u"-v"_s << QByteArray() << 0 << u"zandrel 5.0.0\n"_s;
        QTest::newRow("free and taken") << check + u"free.com TAKEN.com"_s << QByteArray() << 0
                                        << u"free.com\tfree\t{SERVER}\t\nTAKEN.com\ttaken\t{SERVER}\t\n"_s;
        QTest::newRow("unknown: status 3")
            << u"--check --delay 0.02 --server {SERVER} odd.com silent.com free.com"_s << QByteArray() << 3
            << u"odd.com\tunknown\t{SERVER}\tunrecognised\nsilent.com\tunknown\t{SERVER}\tno answer\n"
               u"free.com\tfree\t{SERVER}\t\n"_s;
        QTest::newRow("not registrable: never sent")
            << check + u"free.net.com x-.com"_s << QByteArray() << 0
            << u"free.net.com\tnot-registrable\t\tnot under a public suffix\n"
               u"x-.com\tnot-registrable\t\tlabel starts or ends with a hyphen\n"_s;
        QTest::newRow("standard input, JSON")
            << check + u"--json -"_s << QByteArray("free.com\n\n  taken.com \r\n") << 0
            << u"{\"name\":\"free.com\",\"verdict\":\"free\",\"server\":\"{SERVER}\",\"reason\":\"\"}\n"
               u"{\"name\":\"taken.com\",\"verdict\":\"taken\",\"server\":\"{SERVER}\",\"reason\":\"\"}\n"_s;
    }
    void run()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, out);
        test::WhoRig rig;
        rig.server.setReplyFor(registry);
        CliRun cli(rig);
        QCOMPARE(cli(arguments, input), status);
        if (qstrcmp(QTest::currentDataTag(), "help wins") == 0)
            QVERIFY(cli.out.startsWith(out.toUtf8()));
        else
            QCOMPARE(QString::fromUtf8(cli.out), cli.fill(out));
        QCOMPARE(cli.err, QByteArray());
        QCOMPARE(rig.server.queries().size(),
                 out.count(u"{SERVER}"_s)); // each name with a server, asked once
    }

    // A window search and a --batch run of the same lists write the same report, byte for byte, and
    // --batch leaves the settings alone. A search cut off after k combinations, by the window's Stop
    // or on the command line, ends with --batch --resume in that same report.
    void batchAndResumeWriteTheWindowsReport_data()
    {
        QTest::addColumn<bool>("windowStarted");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("askedAgain"); // the lookup in flight at the cut
        QTest::newRow("window stopped") << true << 2 << 0;
        QTest::newRow("command line cut off") << false << 4 << 1;
    }
    void batchAndResumeWriteTheWindowsReport()
    {
        QFETCH(bool, windowStarted);
        QFETCH(int, k);
        QFETCH(int, askedAgain);
        test::WhoRig whole;
        useSearchLists(whole);
        searchInWindow(whole);
        const QMap<QString, QByteArray> reports = reportsIn(whole.programDir.path(), whole);
        QCOMPARE(reports.size(), 3);
        whole.settings.setValue(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s, u"mine"_s);
        const QByteArray settingsBefore = readAll(whole.settings.fileName(u"Zandrel"_s));
        const qsizetype askedByWindow = whole.server.queries().size();
        CliRun uninterrupted(whole);
        QCOMPARE(uninterrupted(batchOf(whole)), int(ExitSomeUnknown));
        QCOMPARE(reportsIn(uninterrupted.outDir.path(), whole), reports);
        QCOMPARE(uninterrupted.out.count('\n'), 6);
        QVERIFY(
            uninterrupted.out.contains("yourx.net.com\tnot-registrable\t" + whole.server.address().toUtf8()));
        QCOMPARE(readAll(whole.settings.fileName(u"Zandrel"_s)), settingsBefore);
        QVERIFY(whole.launcher.opened.size() == 1); // the window's browser, not the command line's

        test::WhoRig rig;
        useSearchLists(rig);
        CliRun first(rig);
        rig.server.setReplyFor([&](const QByteArray &query) {
            if (rig.server.queries().size() == k)
                windowStarted ? rig.who->cbStopRunning_Click() : first.yield.requestClose();
            return registry(query);
        });
        if (windowStarted)
            searchInWindow(rig);
        else
            QCOMPARE(first(batchOf(rig)), int(ExitFailed));
        rig.useWordLists("other\r\n", "other\r\n"); // the journal's lists hold, not the files'
        rig.server.setReplyFor(registry);
        CliRun resumed(rig);
        QCOMPARE(resumed(u"--batch --resume --delay 0 --out {DIR}"_s), int(ExitSomeUnknown));
        QCOMPARE(rig.server.queries().size(), whole.server.queries().size() - askedByWindow + askedAgain);
        const QString wholeOut = QString::fromUtf8(uninterrupted.out).replace(whole.server.address(), u"S"_s);
        const QString resumedOut = QString::fromUtf8(resumed.out).replace(rig.server.address(), u"S"_s);
        QVERIFY(!resumedOut.isEmpty() && resumedOut.size() < wholeOut.size()
                && wholeOut.endsWith(resumedOut));
        QCOMPARE(reportsIn(resumed.outDir.path(), rig), reports);
        QCOMPARE(resumed(u"--batch --resume --out {DIR}"_s), int(ExitUsage)); // finished now
    }

    // A tab or line feed in a name cannot break a TSV line; JSON keeps the name whole, in one line.
    void recordLineWithHostileName()
    {
        LookupRecord record;
        record.name = u"a\tb\nc\"\\é"_s;
        record.verdict = {VerdictKind::NotRegistrable, u"not under a public suffix"_s};
        record.server = u"whois.test:43"_s;
        QCOMPARE(formatRecord(record, OutputFormat::Tsv),
                 u"a\uFFFDb\uFFFDc\"\\é\tnot-registrable\twhois.test:43\tnot under a public suffix\n"_s);
        const QString json = formatRecord(record, OutputFormat::Json);
        QVERIFY(json.endsWith(u'\n') && json.count(u'\n') == 1);
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8())[u"name"_s].toString(), record.name);
    }

    // The progress line never divides by zero and copes with an unknown total.
    void progress()
    {
        QCOMPARE(progressText(0, 5000, 0), u"0/5000"_s);
        QCOMPARE(progressText(120, 5000, 3000), u"120/5000  40/s  2:02 left"_s);
        QCOMPARE(progressText(10, 5000, 30000), u"10/5000  0.33/s  4:09:30 left"_s);
        QCOMPARE(progressText(4, 4, 2000), u"4/4  2.0/s  0:00 left"_s);
        QCOMPARE(progressText(7, -1, 1000), u"7  7.0/s"_s);
    }
};

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
