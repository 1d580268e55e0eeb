// The command line: options, usage errors, output lines, and runs against a scripted registry.
#include "WhoRig.h"
#include "cli/Cli.h"
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"

#include "search/Journal.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace zandrel;
using namespace Qt::StringLiterals;

namespace {
// The arguments split at spaces; "{SPACE}" is a space inside one.
QStringList args(const QString &joined)
{
    QStringList split = (u"zandrel "_s + joined).split(u' ', Qt::SkipEmptyParts);
    for (QString &argument : split)
        argument.replace(u"{SPACE}"_s, u" "_s);
    return split;
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
                           o.resume ? u"resume"_s : QString(),
                           u"journal="_s + o.resumePath,
                           o.listRuns ? u"list-runs"_s : QString(),
                           u"tlds="_s + o.tlds.join(u','),
                           o.dnsFirst ? u"dns-first"_s : QString(),
                           u"dns="_s + o.dnsServer};
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
    std::unique_ptr<QObject> run; // the run under way; abortCli() cuts it off as a kill would
    QTemporaryDir outDir;
    SettingsStore settings {rig.configDir.path()};
    QByteArray out;
    QByteArray err;

    QString fill(QString text) const
    {
        if (text.contains(u"{LIST}"_s))
            text.replace(u"{LIST}"_s, rig.writeFile(u"list.txt"_s, "a\r\n"));
        return text.replace(u"{SERVER}"_s, rig.server.address())
            .replace(u"{PORT}"_s, QString::number(rig.server.port()))
            .replace(u"{DIR}"_s, outDir.path())
            .replace(u"{RUNS}"_s, rig.dataDir.path());
    }
    int operator()(const QString &arguments, const QByteArray &input = {})
    {
        QByteArray bytes = input;
        QBuffer in(&bytes), output(&out), errors(&err);
        in.open(QIODevice::ReadOnly);
        output.open(QIODevice::WriteOnly | QIODevice::Truncate);
        errors.open(QIODevice::WriteOnly | QIODevice::Truncate);
        int status = -1;
        run = runCli(args(fill(arguments)), {in, output, errors},
                     {settings, rig.clock, rig.cacheDir.path(), rig.dataDir.path()},
                     [&status](int exitStatus) { status = exitStatus; });
        if (!QTest::qWaitFor([&status] { return status >= 0; }, 60000))
            return -1;
        run.reset();
        return status;
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
    rig.who->session().options().pauseMs = 5;
    QVERIFY(rig.searchCombinations());
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

// An unfinished run's journal in the rig's journal folder, started at `startedAt` with `done` of
// its 2 x 3 combinations; it is finished when `finished`.
QString writeRun(const test::WhoRig &rig, const QDateTime &startedAt, int done, bool finished = false)
{
    test::FixedClock clock(startedAt);
    const JournalFolder folder(rig.dataDir.path(), clock);
    JournalWriter writer;
    [&] {
        QVERIFY(
            folder.start(writer, {{u"a"_s, u"b"_s}, {u"x"_s, u"y"_s, u"z"_s}, true, true, 1, {}, {}, 0, {}}));
        for (int i = 1; i <= done; ++i) {
            LookupRecord record;
            record.index = i;
            record.name = u"n%1.com"_s.arg(i);
            record.verdict = {VerdictKind::Free, {}};
            QVERIFY(writer.append(record));
        }
        if (finished)
            QVERIFY(writer.finish(startedAt.addSecs(60)));
    }();
    return writer.path();
}

const QDateTime Noon(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);

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
        QTest::newRow("batch resume") << u"--batch --resume --out r"_s << u"3 out=r resume"_s;
        QTest::newRow("resume a journal")
            << u"--batch --resume r.jsonl --out r"_s << u"3 out=r resume journal=r.jsonl"_s;
        QTest::newRow("resume=journal")
            << u"--batch --out r --resume=r.jsonl"_s << u"3 out=r resume journal=r.jsonl"_s;
        QTest::newRow("list runs") << u"--batch --list-runs"_s << u"3 list-runs"_s;
        QTest::newRow("IPv6 server") << u"--check x --server [::1]:4343"_s
                                     << u"2 names=x server=[::1]:4343"_s;
        QTest::newRow("check in TLDs, DNS first")
            << u"--check x --tld .NET,com --dns-first --dns 127.0.0.1:5353"_s
            << u"2 names=x tlds=net,com dns-first dns=127.0.0.1:5353"_s;
        QTest::newRow("batch in TLDs")
            << u"--batch --prefix p --suffix s --tld com,io"_s << u"3 prefix=p suffix=s tlds=com,io"_s;
        QTest::newRow("resume with its resolver")
            << u"--batch --resume --dns [::1]:53"_s << u"3 resume dns=[::1]:53"_s;
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
        QTest::newRow("server with a blank")
            << u"--check x --server a{SPACE}b"_s << u"--server: 'a b' is not HOST or HOST:PORT\n"_s;
        QTest::newRow("server with a slash") << u"--check x --server a/b:43"_s << u"--server: 'a/b:43'"_s;
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
        QTest::newRow("tld and com") << u"--batch --prefix p --suffix s --com --tld io"_s
                                     << u"--tld cannot go with --com\n"_s;
        QTest::newRow("tld and no-com")
            << u"--batch --prefix p --suffix s --no-com --tld io"_s << u"--tld cannot go with --no-com\n"_s;
        QTest::newRow("not a TLD") << u"--check x --tld co.uk"_s << u"--tld: 'co.uk' is not a list"_s;
        QTest::newRow("resolver by name")
            << u"--check x --dns-first --dns dns.example"_s << u"--dns: 'dns.example' is not IP-ADDRESS"_s;
        QTest::newRow("resume in other TLDs")
            << u"--batch --resume --tld net"_s << u"--tld cannot go with --resume: the run's"_s;
        QTest::newRow("resume with a list")
            << u"--batch --resume --suffix s"_s << u"--suffix cannot go with --resume"_s;
        QTest::newRow("resume with a delay")
            << u"--batch --resume r.jsonl --delay 1"_s << u"--delay cannot go with --resume: the run's"_s;
        QTest::newRow("resume with a server")
            << u"--batch --resume --server {SERVER}"_s << u"--server cannot go with --resume: the run's"_s;
        QTest::newRow("resume twice") << u"--batch --resume a --resume=b"_s << u"--resume is given more"_s;
        QTest::newRow("resume a journal on check") << u"--check x --resume a"_s << u"--resume is only for"_s;
        QTest::newRow("list runs with a list")
            << u"--batch --list-runs --prefix p"_s << u"--prefix cannot go with --list-runs\n"_s;
        QTest::newRow("nothing to resume")
            << u"--batch --resume --out {DIR}"_s << u"--resume: there is no unfinished search to resume\n"_s;
        QTest::newRow("unreadable word list")
            << u"--batch --prefix {DIR}/none.txt --suffix {DIR}/none.txt --out {DIR}"_s
            << u"--prefix: cannot read '{DIR}/none.txt'\n"_s;
        QTest::newRow("empty word list") << u"--batch --prefix /dev/null --suffix {LIST} --out {DIR}"_s
                                         << u"--prefix: '/dev/null' holds no words\n"_s;
    }
    void usageError()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, error);
        test::WhoRig rig;
        CliRun cli(rig);
        QCOMPARE(cli(arguments.contains(u"--server"_s) || arguments.contains(u"--resume"_s)
                         ? arguments
                         : u"--server {SERVER} "_s + arguments,
                     "\n"),
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
            << u"{\"name\":\"free.com\",\"verdict\":\"free\",\"server\":\"{SERVER}\",\"reason\":\"\","
               u"\"detail\":\"\"}\n"
               u"{\"name\":\"taken.com\",\"verdict\":\"taken\",\"server\":\"{SERVER}\",\"reason\":\"\",\"detail\":\"\"}\n"_s;
        QTest::newRow("names without a dot in each TLD")
            << check + u"--tld net,com free taken.com"_s << QByteArray() << 0
            << u"free.net\tfree\t{SERVER}\t\nfree.com\tfree\t{SERVER}\t\ntaken.com\ttaken\t{SERVER}\t\n"_s;
        // Nothing listens there on IPv6: the lookup fails, and the server is written in brackets.
        QTest::newRow("IPv6 server") << u"--check --delay 0 --server [::1]:{PORT} free.com"_s << QByteArray()
                                     << 3 << u"free.com\tunknown\t[::1]:{PORT}\tconnection failed\n"_s;
        // JSON says why in the response box's words; the server that closed at once sent nothing.
        QTest::newRow("JSON: why unknown")
            << u"--check --delay 0 --json --server [::1]:{PORT} free.com"_s << QByteArray() << 3
            << u"{\"name\":\"free.com\",\"verdict\":\"unknown\",\"server\":\"[::1]:{PORT}\",\"reason\":"
               u"\"connection failed\",\"detail\":\"connection refused\"}\n"_s;
        QTest::newRow("JSON: closed with no answer")
            << check + u"--json silent.com"_s << QByteArray() << 3
            << u"{\"name\":\"silent.com\",\"verdict\":\"unknown\",\"server\":\"{SERVER}\",\"reason\":"
               u"\"no answer\",\"detail\":\"closed with no answer\"}\n"_s;
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
                windowStarted ? rig.who->cbStopRunning_Click() : abortCli(first.run.get());
            return registry(query);
        });
        if (windowStarted)
            searchInWindow(rig);
        else
            QCOMPARE(first(batchOf(rig)), int(ExitFailed));
        rig.useWordLists("other\r\n", "other\r\n"); // the journal's lists hold, not the files'
        rig.server.setReplyFor(registry);
        CliRun resumed(rig);
        QCOMPARE(resumed(u"--batch --resume --out {DIR}"_s), int(ExitSomeUnknown)); // at the run's pace
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

        // The cause of an unknown verdict goes to JSON only; the TSV line keeps its four fields.
        record.verdict = {VerdictKind::Unknown, reason::ConnectionFailed};
        record.detail = u"connection refused"_s;
        QCOMPARE(QJsonDocument::fromJson(formatRecord(record, OutputFormat::Json).toUtf8())[u"detail"_s]
                     .toString(),
                 u"connection refused"_s);
        QCOMPARE(formatRecord(record, OutputFormat::Tsv).count(u'\t'), 3);
    }

    // Runs that cannot start: status 1 when the report has nowhere to go, 2 when the run to resume
    // is missing, finished or still running. Nothing is sent and nothing written.
    void cannotStart_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // after "zandrel: "; {OLD} and {NEW} are the journals
        QTest::newRow("out missing") << u"--batch --prefix {LIST} --suffix {LIST} --out {DIR}/none"_s << 1
                                     << u"--out: cannot write to '{DIR}/none': No such file or directory"_s;
        QTest::newRow("out is a file") << u"--batch --prefix {LIST} --suffix {LIST} --out {LIST}"_s << 1
                                       << u"--out: cannot write to '{LIST}': Not a directory"_s;
        QTest::newRow("newest unfinished run is running")
            << u"--batch --resume --out {DIR}"_s << 2 << u"--resume: the search in {NEW} is still running"_s;
        QTest::newRow("named run is running") << u"--batch --resume {NEW} --out {DIR}"_s << 2
                                              << u"--resume: the search in {NEW} is still running"_s;
        QTest::newRow("named run is finished")
            << u"--batch --resume {DONE}"_s << 2 << u"--resume: the search in {DONE} is finished"_s;
        QTest::newRow("named run is missing")
            << u"--batch --resume {RUNS}/none.jsonl"_s << 2
            << u"--resume: The journal cannot be read: No such file or directory"_s;
    }
    void cannotStart()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        test::WhoRig rig;
        writeRun(rig, Noon.addDays(-2), 1);
        const QString done = writeRun(rig, Noon.addDays(-1), 6, true);
        // A run going on in this process holds the newest journal.
        test::FixedClock clock(Noon);
        JournalWriter running;
        QVERIFY(JournalFolder(rig.dataDir.path(), clock)
                    .start(running, {{u"a"_s}, {u"b"_s}, true, true, 1, {}, {}, 0, {}}));
        CliRun cli(rig);
        const auto fill = [&](QString text) {
            return cli.fill(text.replace(u"{NEW}"_s, running.path()).replace(u"{DONE}"_s, done));
        };
        QCOMPARE(cli(fill(arguments)), status);
        QCOMPARE(QString::fromUtf8(cli.err), fill(u"zandrel: "_s + error + u'\n'));
        QVERIFY(cli.out.isEmpty() && rig.server.queries().isEmpty() && QDir(cli.outDir.path()).isEmpty());
    }

    // --list-runs shows the unfinished runs, the newest first, and which one is running now.
    void listRuns()
    {
        test::WhoRig rig;
        const QString older = writeRun(rig, Noon.addDays(-3), 2);
        writeRun(rig, Noon.addDays(-2), 6, true);
        const QString newer = writeRun(rig, Noon.addDays(-1), 5);
        QFile empty(rig.dataDir.filePath(u"run-20261206-000000.jsonl"_s));
        QVERIFY(empty.open(QIODevice::WriteOnly)); // the newest, and no journal
        CliRun cli(rig);
        QCOMPARE(cli(u"--batch --list-runs"_s), int(ExitAnswered));
        QCOMPARE(QString::fromUtf8(cli.out),
                 newer + u"\t5 of 6\t2026-12-05T12:00:00Z\n"_s + older
                     + u"\t2 of 6\t2026-12-03T12:00:00Z\n"_s);

        JournalWriter writer;
        QVERIFY(writer.reopen(older, readJournal(older).wholeSize));
        QCOMPARE(cli(u"--batch --list-runs"_s), int(ExitAnswered));
        QVERIFY(cli.out.endsWith("\t2 of 6\t2026-12-03T12:00:00Z\trunning\n"));
    }

    // Names arriving in pieces of any size come out whole, one a line.
    void nameSplitter_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("beforeTheEnd"); // names out before finish()
        QTest::newRow("pieces cut inside lines") << QByteArrayList {"fr", "ee.com\n  tak", "en.com \r", "\n"}
                                                 << QStringList {u"free.com"_s, u"taken.com"_s} << 2;
        QTest::newRow("blank lines dropped")
            << QByteArrayList {"\n \r\n\t\na.com\n\n"} << QStringList {u"a.com"_s} << 1;
        QTest::newRow("last line unended")
            << QByteArrayList {"a.com\nb.com"} << QStringList {u"a.com"_s, u"b.com"_s} << 1;
        QTest::newRow("character cut between pieces")
            << QByteArrayList {"caf\xC3", "\xA9.com\n"} << QStringList {u"caf\u00e9.com"_s} << 1;
        QTest::newRow("nothing") << QByteArrayList {""} << QStringList() << 0;
        const QByteArray longLine(3 * NameSplitter::MaxLineBytes, 'x');
        QTest::newRow("overlong line kept short")
            << QByteArrayList {longLine.first(100), longLine.sliced(100), "\nb.com\n"}
            << QStringList {QString(NameSplitter::MaxLineBytes, u'x'), u"b.com"_s} << 2;
    }
    void nameSplitter()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QStringList, names);
        QFETCH(int, beforeTheEnd);
        NameSplitter splitter;
        QStringList out;
        for (const QByteArray &piece : pieces)
            out += splitter.feed(piece);
        QCOMPARE(out.size(), beforeTheEnd);
        QCOMPARE(out + splitter.finish(), names);
    }

    // The real program with its standard streams full or closed: output that cannot be written ends
    // the run with status 1 and the cause; a closed input holds no names.
    void programStreams_data()
    {
        QTest::addColumn<QString>("shell"); // runs the program as "$0" "$@"
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("error");
        const QByteArray full = "zandrel: cannot write to standard output: No space left on device\n";
        const QByteArray closed = "zandrel: cannot write to standard output: Bad file descriptor\n";
        const QString names = u"--delay 0"_s + u" x-.com"_s.repeated(40);
        QTest::newRow("help to a full device")
            << u"exec \"$0\" \"$@\" >/dev/full"_s << u"--help"_s << 1 << full;
        QTest::newRow("results to a full device")
            << u"exec \"$0\" \"$@\" >/dev/full"_s << u"--check x-.com"_s << 1 << full;
        QTest::newRow("version, output closed")
            << u"exec \"$0\" \"$@\" >&-"_s << u"--version"_s << 1 << closed;
        QTest::newRow("results, output closed")
            << u"exec \"$0\" \"$@\" >&-"_s << u"--check x-.com"_s << 1 << closed;
        // A file that may grow no further stands in for a full file system.
        QTest::newRow("results cut by a file size limit")
            << u"trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\" >\"$OUT\""_s << u"--check "_s + names << 1
            << QByteArray("zandrel: cannot write to standard output: File too large\n");
        QTest::newRow("input closed") << u"exec \"$0\" \"$@\" <&-"_s << u"--check -"_s << 2
                                      << QByteArray("zandrel: --check -: no names on standard input\n");
        // Names without --check, with or without a display, never open the window; nor does a start
        // where no display is set.
        const QByteArray noCheck
            = "zandrel: foo.com: names are looked up with --check (zandrel --check NAME...)\n";
        QTest::newRow("a name without --check")
            << u"DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= exec \"$0\" \"$@\""_s << u"foo.com"_s << 2
            << noCheck;
        QTest::newRow("a name without --check, offscreen")
            << u"QT_QPA_PLATFORM=offscreen exec \"$0\" \"$@\""_s << u"--server x foo.com"_s << 2 << noCheck;
        QTest::newRow("no display")
            << u"DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= exec \"$0\" \"$@\""_s << u""_s << 2
            << QByteArray(
                   "zandrel: the window needs a display, and none is set; to look names up without one: "
                   "zandrel --check NAME...\n");
        QTest::newRow("written whole")
            << u"exec \"$0\" \"$@\" >\"$OUT\""_s << u"--check "_s + names << 0 << QByteArray();
    }
    void programStreams()
    {
        QFETCH(QString, shell);
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, error);
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_CACHE_HOME"_s})
            environment.insert(name, home.path());
        environment.insert(u"OUT"_s, home.filePath(u"out.txt"_s));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(u"/bin/sh"_s,
                      QStringList {u"-c"_s, shell, QStringLiteral(ZANDREL_PROGRAM)} + args(arguments).mid(1));
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.readAllStandardError(), error);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        if (status == 0) {
            QFile out(home.filePath(u"out.txt"_s));
            QVERIFY(out.open(QIODevice::ReadOnly));
            QCOMPARE(out.readAll().count('\n'), 40);
        }
    }

    // --check - asks each name as its line arrives: the second name is written only once the
    // first one's line is out, as a slow producer or `tail -f` would.
    void checkAsksNamesAsTheyArrive()
    {
        test::ScriptedWhoisServer server;
        server.setReplyFor(registry);
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_CACHE_HOME"_s})
            environment.insert(name, home.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(
            QStringLiteral(ZANDREL_PROGRAM),
            QStringList {u"--check"_s, u"--delay"_s, u"0"_s, u"--server"_s, server.address(), u"-"_s});
        QVERIFY(program.waitForStarted());
        QByteArray out;
        const auto lineOut = [&program, &out](const QByteArray &name) {
            return QTest::qWaitFor(
                [&] {
                    out += program.readAllStandardOutput();
                    return out.contains(name + '\t');
                },
                20000);
        };
        program.write("free.com\n");
        QVERIFY(lineOut("free.com"));
        QCOMPARE(server.queries().size(), 1);
        program.write("  taken.com\r\n\n");
        QVERIFY(lineOut("taken.com"));
        program.closeWriteChannel();
        QVERIFY(QTest::qWaitFor([&program] { return program.state() == QProcess::NotRunning; }, 20000));
        out += program.readAllStandardOutput();
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(out,
                 "free.com\tfree\t" + server.address().toUtf8() + "\t\ntaken.com\ttaken\t"
                     + server.address().toUtf8() + "\t\n");
    }

    // The progress line never divides by zero and copes with an unknown total.
    void progress()
    {
        QCOMPARE(progressText(0, 5000, 0), u"0/5000"_s);
        QCOMPARE(progressText(120, 5000, 3000), u"120/5000  40/s  2:02 left"_s);
        QCOMPARE(progressText(10, 5000, 30000), u"10/5000  0.33/s  4:09:30 left"_s);
        QCOMPARE(progressText(4, 4, 2000), u"4/4  2.0/s  0:00 left"_s);
        QCOMPARE(progressText(7, -1, 1000), u"7  7.0/s"_s);
        // The first lookup took 0.1 s, but the next waits its pause: the estimate says so.
        QCOMPARE(progressText(1, 100, 100, 3000), u"1/100  0.32/s  5:07 left"_s);
    }
};

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
