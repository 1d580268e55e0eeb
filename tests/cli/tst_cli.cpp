// The command line: options, usage errors, output lines, and runs against a scripted registry.
#include "Journals.h"
#include "Tables.h"
#include "WhoRig.h"
#include "cli/Cli.h"
#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "search/SearchSession.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace zandrel;
using namespace zandrel::test;
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
                           o.onlyDropping ? u"dropping"_s : QString(),
                           u"prefix="_s + o.prefixPath,
                           u"suffix="_s + o.suffixPath,
                           o.comSuffix ? QString() : u"no-com"_s,
                           u"out="_s + o.outDir,
                           u"server="_s + o.server,
                           o.autoPace ? QString() : u"delay=%1"_s.arg(o.delayMs),
                           u"operators="_s + o.operatorsPath,
                           o.resume ? u"resume"_s : QString(),
                           u"journal="_s + o.resumePath,
                           o.listRuns ? u"list-runs"_s : QString(),
                           u"tlds="_s + o.tlds.join(u','),
                           o.dnsFirst ? u"dns-first"_s : QString(),
                           u"dns="_s + o.dnsServer};
    return all.filter(QRegularExpression(u"[^=]$"_s)).join(u' '); // "name=" alone is a default
}

// A registry whose answer depends on the name's first label.
ScriptedWhoisServer::Reply registry(const QByteArray &query)
{
    const QByteArray name = query.trimmed().mid(3).toUpper(); // after "DO "
    if (name.startsWith("TAKEN") || name.startsWith("YOUR"))
        return {"   Domain Name: " + name + "\r\n   Registrar: Example Registrar, Inc.\r\n"};
    if (name.startsWith("OLD"))
        return {"   Domain Name: " + name
                + "\r\n   Domain Status: redemptionPeriod https://icann.org/epp#redemptionPeriod\r\n"};
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
    explicit CliRun(WhoRig &r)
        : rig(r)
    { }
    WhoRig &rig;
    std::unique_ptr<QObject> run; // the run under way; abortCli() cuts it off as a kill would
    QTemporaryDir outDir;
    SettingsStore settings {rig.configDir.path()};
    QByteArray out;
    QByteArray err;

    QString fill(QString text) const
    {
        if (text.contains(u"{LIST}"_s))
            text.replace(u"{LIST}"_s, rig.writeFile(u"list.txt"_s, "a\r\n"));
        if (text.contains(u"{HUGE}"_s)) { // a sparse file: no disk and no time
            QFile huge(rig.writeFile(u"huge.txt"_s, "a\n"));
            huge.resize(100 * 1024 * 1024 + 1);
            text.replace(u"{HUGE}"_s, huge.fileName());
        }
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
                     {settings, rig.clock, rig.cacheDir.path(), rig.dataDir.path(), rig.dataDir.path()},
                     [&status](int exitStatus) { status = exitStatus; });
        if (!QTest::qWaitFor([&status] { return status >= 0; }, 60000))
            return -1;
        run.reset();
        return status;
    }
};

// The rig answers by registry() and holds the lists the report tests search.
void useSearchLists(WhoRig &rig, const QByteArray &prefixes = "free\r\nyour\r\nodd\r\n",
                    const QByteArray &suffixes = "shop\r\nstore\r\n")
{
    rig.server.setReplyFor(registry);
    rig.useWordLists(prefixes, suffixes);
}

// The window's own search over the rig's lists.
void searchInWindow(WhoRig &rig)
{
    rig.start();
    rig.who->Form_Load();
    rig.who->session().request().pauseMs = 5;
    QVERIFY(rig.searchCombinations());
}

// A --batch run of the rig's lists into {DIR}.
QString batchOf(const WhoRig &rig)
{
    return u"--batch --delay 0 --out {DIR} --server {SERVER} --prefix %1 --suffix %2"_s.arg(
        rig.programDir.filePath(u"p.txt"_s), rig.programDir.filePath(u"s.txt"_s));
}

// Every file in a folder but the word lists, the rig's server address made plain.
QMap<QString, QByteArray> reportsIn(const QString &folder, const WhoRig &rig)
{
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files)) {
        if (name != u"p.txt" && name != u"s.txt")
            files[name] = readAll(QDir(folder).filePath(name)).replace(rig.server.address().toUtf8(), "S");
    }
    return files;
}

// Starts the real program by `sh -c shell`, where RUN stands for it with `arguments`; its settings,
// data and cache are in `home`, and $OUT is a file there.
void startProgram(QProcess &program, const QTemporaryDir &home, QString shell, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name :
         {u"HOME"_s, u"XDG_CONFIG_HOME"_s, u"XDG_DATA_HOME"_s, u"XDG_CACHE_HOME"_s, u"XDG_STATE_HOME"_s})
        environment.insert(name, home.path());
    environment.insert(u"OUT"_s, home.filePath(u"out.txt"_s));
    program.setProcessEnvironment(environment);
    program.start(u"/bin/sh"_s,
                  QStringList {u"-c"_s, shell.replace(u"RUN"_s, uR"(exec "$0" "$@")"_s),
                               QStringLiteral(ZANDREL_PROGRAM)}
                      + arguments);
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
        textRow("check names", "--check a.com b.org", "2 names=a.com,b.org");
        textRow("check stdin, json", "--json --check -", "2 stdin json");
        textRow("check, only names free or about to drop", "--check --stage dropping x",
                "2 names=x dropping");
        textRow("server and delay", "--check x --server=127.0.0.1:4343 --delay 0.25",
                "2 names=x server=127.0.0.1:4343 delay=250");
        textRow("batch", "--batch --prefix p.txt --suffix s.txt --no-com --out r --delay 1",
                "3 prefix=p.txt suffix=s.txt no-com out=r delay=1000");
        textRow("batch resume", "--batch --resume --out r", "3 out=r resume");
        textRow("resume a journal", "--batch --resume r.jsonl --out r", "3 out=r resume journal=r.jsonl");
        textRow("resume=journal", "--batch --out r --resume=r.jsonl", "3 out=r resume journal=r.jsonl");
        textRow("list runs", "--batch --list-runs", "3 list-runs");
        textRow("learned pace, own operators", "--check x --delay auto --operators o.tsv",
                "2 names=x operators=o.tsv");
        textRow("IPv6 server", "--check x --server [::1]:4343", "2 names=x server=[::1]:4343");
        textRow("check in TLDs, DNS first", "--check x --tld .NET,com --dns-first --dns 127.0.0.1:5353",
                "2 names=x tlds=net,com dns-first dns=127.0.0.1:5353");
        textRow("batch in TLDs", "--batch --prefix p --suffix s --tld com,io",
                "3 prefix=p suffix=s tlds=com,io");
    }
    void parse()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const Result<CliOptions> parsed = parseCliArguments(args(arguments));
        QVERIFY2(parsed, qPrintable(parsed ? QString() : parsed.error().text));
        QCOMPARE(summary(*parsed), expected);
    }

    // Whole runs in this process: the status, the output lines and at most one error line. A misuse
    // (status 2) or a run that cannot start (status 1, or 2 when the run to resume is missing or
    // still running) sends nothing and writes nothing; a name that cannot be registered is never
    // sent. Beside each run lie an unfinished run ({OLD}), a finished one, and the newest ({NEW}),
    // which a search in this process is writing.
    void runs_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // not ending in a line feed: the start of the output
        QTest::addColumn<QString>("error"); // the start of the line after "zandrel: "
        QTest::addColumn<QByteArray>("input");
        const auto row = [](const char *tag, const auto &arguments, int status, const char *out,
                            const char *error = "", const char *input = "") {
            QTest::newRow(tag) << asText(arguments) << status << asText(out) << asText(error)
                               << QByteArray(input);
        };
        const auto usage = [&row](const char *tag, const char *arguments, const char *error) {
            row(tag, arguments, 2, "", error, "\n");
        };
        // Misuses.
        usage("unknown option", "--check x --bogus", "Unknown option 'bogus'");
        usage("no mode", "--json", "nothing to do");
        usage("both modes", "--check --batch", "--check and --batch cannot");
        usage("no names", "--check --json", "--check: no names given\n");
        usage("stdin and names", "--check - a.com", "--check: give the names");
        usage("nothing on standard input", "--check -", "--check -: no names on standard input\n");
        usage("bad server", "--check x --server h:99999", "--server: 'h:99999'");
        usage("server with a blank", "--check x --server a{SPACE}b",
              "--server: 'a b' is not HOST or HOST:PORT\n");
        usage("negative delay", "--check x --delay -1", "--delay: '-1'");
        usage("delay words", "--check x --delay soon", "--delay: 'soon'");
        usage("delay nan", "--check x --delay nan", "--delay: 'nan'");
        usage("delay too long", "--check x --delay 3601", "--delay: '3601'");
        usage("rdap with a WHOIS server", "--check x --protocol rdap --server h",
              "--server names a WHOIS server");
        usage("twice", "--check x --delay 1 --delay 2", "--delay is given more");
        usage("no operators file", "--check x --operators /no/such.tsv",
              "--operators: cannot read '/no/such.tsv'");
        usage("batch option on check", "--check x --out d", "--out is only for");
        usage("batch without suffix", "--batch --prefix p", "--batch needs --suffix");
        usage("batch with names", "--batch --prefix p --suffix s x", "--batch takes no");
        usage("com and no-com", "--batch --prefix p --suffix s --com --no-com", "--com and --no-com");
        usage("tld and com", "--batch --prefix p --suffix s --com --tld io", "--tld cannot go with --com\n");
        usage("tld and no-com", "--batch --prefix p --suffix s --no-com --tld io",
              "--tld cannot go with --no-com\n");
        usage("not a TLD", "--check x --tld co.uk", "--tld: 'co.uk' is not a list");
        usage("stage not known", "--check x --stage soon", "--stage takes dropping\n");
        usage("stage of a batch", "--batch --prefix p --suffix s --stage dropping",
              "--stage is only for --check\n");
        usage("resolver by name", "--check x --dns-first --dns dns.example",
              "--dns: 'dns.example' is not IP-ADDRESS");
        usage("resolver on no interface here", "--check x --dns-first --dns ::1%nosuchif0",
              "--dns: '::1%nosuchif0' is not IP-ADDRESS");
        usage("resolver without DNS first", "--check x --dns 127.0.0.1",
              "--dns names the resolver of --dns-first; give both or neither\n");
        usage("resume with its resolver", "--batch --resume --dns [::1]:53", "--dns cannot go with --resume");
        usage("JSON of a listing", "--batch --list-runs --json", "--json cannot go with --list-runs\n");
        usage("resume with a delay", "--batch --resume r.jsonl --delay 1",
              "--delay cannot go with --resume: the run's");
        usage("resume twice", "--batch --resume a --resume=b", "--resume is given more");
        usage("resume a journal on check", "--check x --resume a", "--resume is only for");
        usage("unreadable word list", "--batch --prefix {DIR}/none.txt --suffix {DIR}/none.txt --out {DIR}",
              "--prefix: cannot read '{DIR}/none.txt'\n");
        usage("empty word list", "--batch --prefix /dev/null --suffix {LIST} --out {DIR}",
              "--prefix: '/dev/null' holds no words\n");
        usage("word list too large", "--batch --prefix {LIST} --suffix {HUGE} --out {DIR}",
              "--suffix: '{HUGE}' is larger than 100 MB, the most a word list may hold\n");
        // Whole runs against the scripted registry.
        const QString check = u"--check --delay 0 --server {SERVER} "_s;
        row("help wins", "--check --help", 0, "Usage: zandrel");
        row("version", "-v", 0, "zandrel 5.0.0\n");
        row("free and taken", check + u"free.com TAKEN.com"_s, 0,
            "free.com\tfree\t{SERVER}\t\nTAKEN.com\ttaken\t{SERVER}\t\n");
        row("unknown: status 3", u"--check --delay 0.02 --server {SERVER} odd.com silent.com free.com"_s, 3,
            "odd.com\tunknown\t{SERVER}\tunrecognised\nsilent.com\tunknown\t{SERVER}\tno answer\n"
            "free.com\tfree\t{SERVER}\t\n");
        row("not registrable: never sent", check + u"free.net.com x-.com"_s, 0,
            "free.net.com\tnot-registrable\t\tnot under a public suffix\n"
            "x-.com\tnot-registrable\t\tlabel starts or ends with a hyphen\n");
        row("standard input, JSON", check + u"--json -"_s, 0,
            R"({"name":"free.com","verdict":"free","server":"{SERVER}","reason":"","detail":"",)"
            "\"evidence\":\"No match for \\\"FREE.COM\\\".\"}"
            "\n"
            R"({"name":"taken.com","verdict":"taken","server":"{SERVER}","reason":"","detail":"",)"
            R"("stage":"registered","registrar":"Example Registrar, Inc.","evidence":"Domain Name: TAKEN.COM"})"
            "\n",
            "", "free.com\n\n  taken.com \r\n");
        row("only free or about to drop", check + u"--stage dropping free.com taken.com old.com"_s, 0,
            "free.com\tfree\t{SERVER}\t\nold.com\ttaken\t{SERVER}\t\n");
        row("names without a dot in each TLD", check + u"--tld net,com free taken.com"_s, 0,
            "free.net\tfree\t{SERVER}\t\nfree.com\tfree\t{SERVER}\t\ntaken.com\ttaken\t{SERVER}\t\n");
        // Nothing listens there on IPv6: the lookup fails, the server is written in brackets, and
        // JSON says why in the response box's words.
        row("IPv6 server, JSON", u"--check --delay 0 --json --server [::1]:{PORT} free.com"_s, 3,
            R"({"name":"free.com","verdict":"unknown","server":"[::1]:{PORT}","reason":"connection failed",)"
            R"("detail":"connection refused"})"
            "\n");
        // The server that closed at once sent nothing.
        row("JSON: closed with no answer", check + u"--json silent.com"_s, 3,
            R"({"name":"silent.com","verdict":"unknown","server":"{SERVER}","reason":"no answer",)"
            R"("detail":"closed with no answer"})"
            "\n");
        // The runs in the journal folder: listed, or refused.
        row("operators file missing", "--check --plan --tld com,uk --operators {DIR}/none.tsv a b.uk", 2, "",
            "--operators: cannot read");
        row("plan of a fixed pause", "--check --plan --delay 2 --server 127.0.0.1:4301 --tld com,uk a b c.uk",
            0, "127.0.0.1:4301\t5 names\ta pause of 2 s\tabout 8 s\ntotal\t5 names\t1 operator\tabout 8 s\n");
        usage("plan of standard input", "--check --plan -", "--plan needs the names as arguments");
        row("list runs", "--batch --list-runs", 0,
            "{NEW}\t0 of 6\t2026-12-06T12:00:00Z\trunning\n"
            "{RUNS}/run-20261206-000000.jsonl\t-\t2026-12-06T00:00:00Z\twritten by a newer Zandrel (format "
            "2)\n"
            "{RUNS}/run-20261205-000000.jsonl\t-\t2026-12-05T00:00:00Z\tline 2 is damaged\n"
            "{OLD}\t1 of 6\t2026-12-04T12:00:00Z\n");
        row("out missing", "--batch --prefix {LIST} --suffix {LIST} --out {DIR}/none", 1, "",
            "--out: cannot write to '{DIR}/none': No such file or directory");
        row("newest unfinished run is running", "--batch --resume --out {DIR}", 2, "",
            "--resume: the search in {NEW} is still running");
        row("named run is running", "--batch --resume {NEW} --out {DIR}", 2, "",
            "--resume: the search in {NEW} is still running");
        row("named run is missing", "--batch --resume {RUNS}/none.jsonl", 2, "",
            "--resume: {RUNS}/none.jsonl: cannot be read: No such file or directory");
    }
    void runs()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, out);
        QFETCH(QString, error);
        QFETCH(QByteArray, input);
        WhoRig rig;
        rig.server.setReplyFor(registry);
        const QString folder = rig.dataDir.path();
        RunInputs six;
        six.prefixes = {u"a"_s, u"b"_s};
        six.suffixes = {u"x"_s, u"y"_s, u"z"_s};
        JournalWriter older, finished, running;
        // The journals only the rows about earlier runs read: each costs a few syncs to the disk.
        if (arguments.contains(u"--list-runs"_s) || arguments.contains(u"--resume"_s)) {
            QVERIFY(writeRun(older, folder, Noon.addDays(-2), six, 1)
                    && writeRun(finished, folder, Noon.addDays(-1), six, 6, true));
            older.close();
            finished.close();
            // Journals that cannot be read: from a newer Zandrel, and damaged at line 3.
            QVERIFY(writeAll(rig.dataDir.filePath(u"run-20261206-000000.jsonl"_s),
                             "{\"type\":\"header\",\"version\":2}\n"));
            QVERIFY(
                writeAll(rig.dataDir.filePath(u"run-20261205-000000.jsonl"_s),
                         readAll(older.path()).left(readAll(older.path()).indexOf('\n') + 1) + "{bad\n{}\n"));
            QVERIFY(writeRun(running, folder, Noon, six, 0));
        }
        CliRun cli(rig);
        const auto fill = [&](QString text) {
            return cli.fill(text.replace(u"{NEW}"_s, running.path()).replace(u"{OLD}"_s, older.path()));
        };
        // Every name goes to the scripted server, were a misuse to be taken for a run.
        const bool own = arguments.contains(u"--server"_s) || arguments.contains(u"--resume"_s)
            || arguments.contains(u"--list-runs"_s);
        QTEST(cli(fill(own ? arguments : u"--server {SERVER} "_s + arguments), input), "status");
        if (out.endsWith(u'\n') || out.isEmpty())
            QCOMPARE(QString::fromUtf8(cli.out), fill(out));
        else
            QVERIFY2(cli.out.startsWith(out.toUtf8()), cli.out.constData());
        QVERIFY2(error.isEmpty() ? cli.err.isEmpty()
                                 : cli.err.startsWith(fill(u"zandrel: "_s + error).toUtf8())
                         && cli.err.count('\n') == 1 && cli.err.endsWith('\n'),
                 cli.err.constData());
        // Each name with a server asked once; --stage leaves some out of the output.
        if (!arguments.contains(u"--stage"_s))
            QCOMPARE(rig.server.queries().size(), out.count(u"{SERVER}"_s));
        QVERIFY(QDir(cli.outDir.path()).isEmpty());
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
        const QString lorem = u"lorem ipsum dolor sit amet consectetur "_s.repeated(3).trimmed();
        textRow(
            "usage forms", "# comment\n[usage]\n--check NAME\tlook up\n--help | --version\n",
            "Usage: zandrel --check NAME                       look up\n       zandrel --help | --version\n");
        textRow("usage purpose beyond the column",
                "[usage]\n--batch --prefix FILE --suffix FILE [--com]\tsearch\n",
                "Usage: zandrel --batch --prefix FILE --suffix FILE [--com]   search\n");
        textRow("paragraphs joined and wrapped", u"[description]\n"_s + lorem + u"\nnext\n\n\nsecond\r\n"_s,
                "lorem ipsum dolor sit amet consectetur lorem ipsum dolor sit amet consectetur lorem ipsum "
                "dolor\n"
                "sit amet consectetur next\n\nsecond\n");
        textRow("option text wrapped under its column",
                u"[options]\n--delay SECONDS\n    "_s + lorem
                    + u"\n  more\n-h, --help\n    show this text\n"_s,
                "  --delay SECONDS       lorem ipsum dolor sit amet consectetur lorem ipsum dolor sit amet\n"
                "                        consectetur lorem ipsum dolor sit amet consectetur more\n"
                "  -h, --help            show this text\n");
        textRow("long option on a line of its own", "[options]\n--resume-from-this FILE\n    go on\n",
                "  --resume-from-this FILE\n                        go on\n");
        textRow("sections apart, exit statuses",
                "[usage]\n-v\n[options]\n-v\n    show\n[exit]\n0\tall answered\n2\ta usage error\n",
                "Usage: zandrel -v\n\n  -v                    show\n\nExit status:\n  0   all answered\n"
                "  2   a usage error\n");
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
        QVERIFY2(help.simplified().contains(u"at most %1)"_s.arg(MaxDelaySeconds)), qPrintable(help));
    }

    // A window search and a --batch run of the same lists write the same report, byte for byte, and
    // --batch leaves the settings alone. A search cut off after k combinations, by the window's Stop
    // or on the command line, ends with --batch --resume in that same report. Pairings that make
    // one name ("frees" + "hop" is "free" + "shop", a word listed twice) tell it once.
    void batchAndResumeWriteTheWindowsReport_data()
    {
        QTest::addColumn<bool>("windowStarted");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("askedAgain"); // the lookup in flight at the cut
        QTest::addColumn<QByteArray>("prefixes");
        QTest::addColumn<QByteArray>("suffixes");
        const QByteArray prefixes = "free\r\nyour\r\nodd\r\n";
        QTest::newRow("window stopped") << true << 2 << 0 << prefixes << QByteArray("shop\r\nstore\r\n");
        QTest::newRow("command line cut off")
            << false << 4 << 1 << prefixes << QByteArray("shop\r\nstore\r\n");
        QTest::newRow("colliding pairings") << false << 4 << 1 << QByteArray("free\r\nfrees\r\nodd\r\n")
                                            << QByteArray("shop\r\nhop\r\nSHOP\r\n");
    }
    void batchAndResumeWriteTheWindowsReport()
    {
        QFETCH(bool, windowStarted);
        QFETCH(int, k);
        QFETCH(int, askedAgain);
        QFETCH(QByteArray, prefixes);
        QFETCH(QByteArray, suffixes);
        WhoRig whole;
        useSearchLists(whole, prefixes, suffixes);
        searchInWindow(whole);
        const QMap<QString, QByteArray> reports = reportsIn(whole.programDir.path(), whole);
        QCOMPARE(reports.size(), 3);
        whole.settings.setValue(u"Zandrel"_s, u"Settings"_s, u"SearchTerm"_s, u"mine"_s);
        const QByteArray settingsBefore = readAll(whole.settings.fileName(u"Zandrel"_s));
        const qsizetype askedByWindow = whole.server.queries().size();
        CliRun uninterrupted(whole);
        QCOMPARE(uninterrupted(batchOf(whole)), int(ExitSomeUnknown));
        QCOMPARE(reportsIn(uninterrupted.outDir.path(), whole), reports);
        QCOMPARE(uninterrupted.out.count('\n'), prefixes.count('\n') * suffixes.count('\n'));
        QCOMPARE(readAll(whole.settings.fileName(u"Zandrel"_s)), settingsBefore);
        QVERIFY(whole.launcher.opened.size() == 1); // the window's browser, not the command line's

        WhoRig rig;
        useSearchLists(rig, prefixes, suffixes);
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

        // Unlike the window's, a --batch search sends no name nobody can register: control bytes in
        // a word list, or a binary file read as one, make no query.
        whole.useWordLists(QByteArray("a\0b\r\n\x1b[2J\r\nfree\r\n", 17),
                           "x\vy\r\nx.net\r\nshop\r\n\x7f\x01\x02\r\n");
        const qsizetype before = whole.server.queries().size();
        CliRun junk(whole);
        QCOMPARE(junk(batchOf(whole)), int(ExitAnswered));
        QCOMPARE(whole.server.queries().size() - before, 1);
        QCOMPARE(whole.server.queries().constLast(), "DO freeshop.com\r\n");
        QCOMPARE(junk.out.count("\tnot-registrable\t\t"), 11);
    }

    // A tab or line feed in a name cannot break a TSV line; JSON keeps the name whole, in one line.
    void recordLineWithHostileName()
    {
        LookupRecord record;
        record.name = u"a\tb\nc\"\\é"_s;
        record.verdict = Verdict::notRegistrable(u"not under a public suffix"_s);
        record.server = u"whois.test:43"_s;
        QCOMPARE(formatRecord(record, OutputFormat::Tsv),
                 u"a\uFFFDb\uFFFDc\"\\é\tnot-registrable\twhois.test:43\tnot under a public suffix\n"_s);
        const QString json = formatRecord(record, OutputFormat::Json);
        QVERIFY(json.endsWith(u'\n') && json.count(u'\n') == 1);
        QCOMPARE(QJsonDocument::fromJson(json.toUtf8())[u"name"_s].toString(), record.name);
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
        // Refused whole, never cut into a name nobody typed; the longest line allowed is taken.
        QTest::newRow("overlong line refused")
            << QByteArrayList {"a.com\n",
                               longLine.first(100),
                               longLine.sliced(100),
                               "\n",
                               longLine.first(NameSplitter::MaxLineBytes),
                               "\nb.com\n"}
            << QStringList {u"a.com"_s, QString(NameSplitter::MaxLineBytes, u'x'), u"b.com"_s} << 3;
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
        QCOMPARE(splitter.takeRefused(),
                 QTest::currentDataTag() == QByteArray("overlong line refused") ? QList<qsizetype> {2}
                                                                                : QList<qsizetype> {});
    }

    // The real program with its standard streams full or closed: output that cannot be written ends
    // the run with status 1 and the cause; a closed input holds no names.
    void programStreams_data()
    {
        QTest::addColumn<QString>("shell"); // RUN: the program with its arguments
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // after "zandrel: "
        const auto row = [](const char *tag, const char *shell, const QString &arguments, int status,
                            const char *error) {
            QTest::newRow(tag) << asText(shell) << arguments << status << asText(error);
        };
        const QString names = u"--check --delay 0"_s + u" x-.com"_s.repeated(40);
        row("results to a full device", "RUN >/dev/full", u"--check x-.com"_s, 1,
            "cannot write to standard output: No space left on device");
        row("version, output closed", "RUN >&-", u"--version"_s, 1,
            "cannot write to standard output: Bad file descriptor");
        // A file that may grow no further stands in for a full file system.
        row("results cut by a file size limit", "trap '' XFSZ; ulimit -f 1; RUN >\"$OUT\"", names, 1,
            "cannot write to standard output: File too large");
        row("input closed", "RUN <&-", u"--check -"_s, 2, "--check -: no names on standard input");
        row("input a folder", "RUN </", u"--check -"_s, 2,
            "--check -: cannot read standard input: Is a directory");
        // Names and options without --check never open the window, with a display or without one; nor
        // does a start where no display is set.
        const char *noDisplay = "DISPLAY= WAYLAND_DISPLAY= QT_QPA_PLATFORM= RUN";
        row("a name without --check, offscreen", "QT_QPA_PLATFORM=offscreen RUN", u"--server x foo.com"_s, 2,
            "foo.com: names are looked up with --check (zandrel --check NAME...)");
        row("an unknown option, offscreen", "QT_QPA_PLATFORM=offscreen RUN", u"--bogus"_s, 2,
            "unknown option '--bogus'; zandrel --help lists them");
        row("a run's option without a run", noDisplay, u"--delay 1"_s, 2,
            "--delay goes with --check or --batch (zandrel --check NAME...)");
        row("no display", noDisplay, QString(), 2,
            "the window needs a display, and none is set; to look names up without one: zandrel --check "
            "NAME...");
        row("written whole", "RUN >\"$OUT\"", names, 0, "");
        // The report of a run in a folder that cannot be written goes to the data folder ("…": the
        // start of standard error).
        row("current folder not writable",
            "printf 'a\\n' >\"$HOME/w\"; cd /proc && RUN --prefix \"$HOME/w\" --suffix \"$HOME/w\"",
            u"--batch --delay 0 --server 127.0.0.1:1"_s, 3,
            "The current folder cannot be written; the report is in …");
    }
    void programStreams()
    {
        QFETCH(QString, shell);
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, error);
        QTemporaryDir home;
        QProcess program;
        startProgram(program, home, shell, args(arguments).mid(1));
        QVERIFY(program.waitForFinished(60000));
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        if (error.endsWith(u'…'))
            QVERIFY2(errors.startsWith(u"zandrel: "_s + error.chopped(1)), qPrintable(errors));
        else
            QCOMPARE(errors, error.isEmpty() ? QString() : u"zandrel: "_s + error + u'\n');
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        QVERIFY(status != 0 || readAll(home.filePath(u"out.txt"_s)).count('\n') == 40);
    }

    // A --batch run of the real program cut off by a fault, then resumed: nothing asked is lost.
    // The first run exits with the status and the cause (or is killed when query `cut` arrives); the
    // resume asks only what the journal lacks, every name's line is printed by one run or the other,
    // in the pairings' order, and the report is written. Kills land on both sides of a journal group
    // (256 lines) and of the names made at a time (1024).
    void batchLosesNothingToFaults_data()
    {
        QTest::addColumn<QString>("shell"); // RUN: the program with its arguments
        QTest::addColumn<int>("cut"); // the query at which the fault comes; 0: none
        QTest::addColumn<bool>("kill"); // at `cut`: killed, else its report folder goes
        QTest::addColumn<QString>("error"); // the start of standard error, after "zandrel: "
        const auto row = [](const char *tag, const char *shell, int cut, bool kill, const char *error) {
            QTest::newRow(tag) << asText(shell) << cut << kill << asText(error);
        };
        row("journal past a file size limit", "trap '' XFSZ; ulimit -f 16; RUN", 0, false,
            "Could not write the journal {RUNS}/run-");
        row("report folder gone", "RUN", 5, false, "The report was not written: ");
        for (const int cut : {1, 257, 258, 1030, 1200})
            QTest::newRow(qPrintable(u"killed at query %1"_s.arg(cut)))
                << u"RUN"_s << cut << true << QString();
    }
    void batchLosesNothingToFaults()
    {
        QFETCH(QString, shell);
        QFETCH(int, cut);
        QFETCH(bool, kill);
        QFETCH(QString, error);
        QTemporaryDir home;
        const QString out = home.filePath(u"out"_s);
        QVERIFY(QDir().mkpath(out));
        QStringList prefixes, suffixes;
        for (int i = 1; i <= 40; ++i)
            prefixes << u"free%1"_s.arg(i);
        for (int i = 1; i <= 30; ++i)
            suffixes << u"x%1"_s.arg(i);
        QVERIFY(writeAll(home.filePath(u"p.txt"_s), prefixes.join(u'\n').toUtf8())
                && writeAll(home.filePath(u"s.txt"_s), suffixes.join(u'\n').toUtf8()));
        ScriptedWhoisServer server;
        QProcess program;
        server.setReplyFor([&](const QByteArray &query) {
            if (server.queries().size() == cut && kill)
                program.kill();
            else if (server.queries().size() == cut)
                QDir(out).removeRecursively();
            return registry(query);
        });
        const auto runs = [&](const QString &line, const QStringList &arguments) {
            startProgram(program, home, line, arguments);
            QSignalSpy ended(&program, &QProcess::finished); // serves the registry without a 10 ms poll
            return ended.wait(60000);
        };
        QVERIFY(runs(shell,
                     args(u"--batch --delay 0 --server %1 --prefix %2 --suffix %3 --out %4"_s.arg(
                              server.address(), home.filePath(u"p.txt"_s), home.filePath(u"s.txt"_s), out))
                         .mid(1)));
        QByteArray lines = program.readAllStandardOutput();
        RunInputs pairings;
        pairings.prefixes = prefixes;
        pairings.suffixes = suffixes;
        const QStringList all = combinationNames(pairings);
        const auto inOrder = [&all](const QByteArray &printed, qsizetype from) {
            const QList<QByteArray> rows = printed.split('\n');
            for (qsizetype i = 0; i + 1 < rows.size(); ++i) {
                if (rows[i].split('\t').at(0) != all.value(from + i).toUtf8())
                    return false;
            }
            return true;
        };
        QVERIFY(inOrder(lines, 0));
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        if (kill) {
            QCOMPARE(program.exitStatus(), QProcess::CrashExit);
        } else {
            QCOMPARE(program.exitCode(), int(ExitFailed));
            QVERIFY2(
                errors.startsWith(u"zandrel: "_s
                                  + QString(error).replace(u"{RUNS}"_s, home.filePath(u"zandrel/runs"_s))),
                qPrintable(errors));
        }
        QVERIFY(QDir().mkpath(out));
        QVERIFY(runs(u"RUN"_s, {u"--batch"_s, u"--list-runs"_s}));
        const QByteArray listed = program.readAllStandardOutput();
        QVERIFY2(listed.count('\n') == 1 && listed.contains(" of 1200\t"), listed.constData());
        const qsizetype journaled = listed.split('\t').at(1).split(' ').at(0).toInt();
        const qsizetype askedBefore = server.queries().size();
        cut = 0;
        QVERIFY(runs(u"RUN"_s, {u"--batch"_s, u"--resume"_s, u"--out"_s, out}));
        QCOMPARE(program.exitCode(), int(ExitAnswered));
        QCOMPARE(server.queries().size() - askedBefore, 1200 - journaled);
        const QByteArray resumed = program.readAllStandardOutput();
        QVERIFY(inOrder(resumed, journaled));
        lines += resumed;
        QSet<QByteArray> names;
        for (const QByteArray &line : lines.split('\n'))
            names.insert(line.split('\t').at(0));
        names.remove({});
        QCOMPARE(names.size(), 1200);
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 3);
        QVERIFY(runs(u"RUN"_s, {u"--batch"_s, u"--list-runs"_s}));
        QCOMPARE(program.readAllStandardOutput(), QByteArray());
    }

    // --check - asks each name as its line arrives: the second name is written only once the
    // first one's line is out, as a slow producer or `tail -f` would.
    void checkAsksNamesAsTheyArrive()
    {
        ScriptedWhoisServer server;
        server.setReplyFor(registry);
        QTemporaryDir home;
        QProcess program;
        startProgram(program, home, u"RUN"_s,
                     args(u"--check --delay 0 --server %1 -"_s.arg(server.address())).mid(1));
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
