#include "CliOptions.h"

#include "lookup/DnsCheck.h"
#include "search/Preferences.h"
#include "verdict/QueryLine.h"

#include <QCommandLineParser>
#include <QHostAddress>

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

const QStringList RunFlags {QStringLiteral("--check"), QStringLiteral("--batch"),   QStringLiteral("--help"),
                            QStringLiteral("-h"),      QStringLiteral("--version"), QStringLiteral("-v")};

QCommandLineOption flag(const QStringList &names)
{
    return QCommandLineOption(names);
}

QCommandLineOption valued(const QString &name, const QString &valueName)
{
    return QCommandLineOption(QStringList {name}, QString(), valueName);
}

Error problem(const QString &text)
{
    return Error(text);
}

// "--resume FILE" and "--resume=FILE" become the hidden valued option, as the parser cannot take
// an option that has a value only sometimes.
QStringList withResumeFile(QStringList arguments)
{
    const QString resume = QStringLiteral("--resume");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString &argument = arguments[i];
        if (argument == QStringLiteral("--"))
            break;
        if (argument.startsWith(resume + u'=')) {
            argument.insert(resume.size(), QStringLiteral("-file"));
        } else if (argument == resume && i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-')) {
            argument += QStringLiteral("-file");
            ++i;
        }
    }
    return arguments;
}

QString optionName(const QCommandLineOption &option)
{
    const QString name = option.names().constFirst();
    return name == QStringLiteral("resume-file") ? QStringLiteral("resume") : name;
}

} // namespace

bool isCommandLineRun(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QStringLiteral("--"))
            return false;
        for (const QString &run : RunFlags) {
            if (argument == run || argument.startsWith(run + u'='))
                return true;
        }
    }
    return false;
}

Result<void> checkWindowStart(const QStringList &arguments, bool hasDisplay)
{
    // What the command line alone takes, and what the window and Qt's own window options take.
    static const QStringList runOnly {
        QStringLiteral("--json"),        QStringLiteral("--com"),       QStringLiteral("--no-com"),
        QStringLiteral("--resume-file"), QStringLiteral("--list-runs"), QStringLiteral("--prefix"),
        QStringLiteral("--suffix"),      QStringLiteral("--out"),       QStringLiteral("--delay"),
        QStringLiteral("--tld"),         QStringLiteral("--dns-first"), QStringLiteral("--dns"),
        QStringLiteral("--stage"),       QStringLiteral("--operators"), QStringLiteral("--plan"),
        QStringLiteral("--no-wait")};
    static const QStringList windowValued {QStringLiteral("--server"), QStringLiteral("--protocol")};
    static const QStringList qtOptions {QStringLiteral("-platform"),
                                        QStringLiteral("-platformpluginpath"),
                                        QStringLiteral("-platformtheme"),
                                        QStringLiteral("-plugin"),
                                        QStringLiteral("-qwindowgeometry"),
                                        QStringLiteral("-qwindowicon"),
                                        QStringLiteral("-qwindowtitle"),
                                        QStringLiteral("-style"),
                                        QStringLiteral("-stylesheet"),
                                        QStringLiteral("-display"),
                                        QStringLiteral("-geometry"),
                                        QStringLiteral("-reverse"),
                                        QStringLiteral("-session"),
                                        QStringLiteral("-name"),
                                        QStringLiteral("-title"),
                                        QStringLiteral("-widgetcount"),
                                        QStringLiteral("-sync")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString option = argument.section(u'=', 0, 0);
        if (windowValued.contains(argument) || qtOptions.contains(argument)) {
            ++i; // its value (Qt's flags have none, but a value is never a name to refuse)
            continue;
        }
        if (windowValued.contains(option) || argument == QStringLiteral("--resume"))
            continue;
        if (runOnly.contains(option))
            return problem(
                QStringLiteral("%1 goes with --check or --batch (zandrel --check NAME...)").arg(option));
        if (argument.startsWith(u'-'))
            return problem(QStringLiteral("unknown option '%1'; zandrel --help lists them").arg(option));
        return problem(
            QStringLiteral("%1: names are looked up with --check (zandrel --check NAME...)").arg(argument));
    }
    if (!hasDisplay)
        return problem(QStringLiteral("the window needs a display, and none is set; to look names up without "
                                      "one: zandrel --check NAME..."));
    return {};
}

Result<CliOptions> parseCliArguments(const QStringList &arguments)
{
    const QCommandLineOption help = flag({QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version = flag({QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption check = flag({QStringLiteral("check")});
    const QCommandLineOption batch = flag({QStringLiteral("batch")});
    const QCommandLineOption json = flag({QStringLiteral("json")});
    const QCommandLineOption com = flag({QStringLiteral("com")});
    const QCommandLineOption noCom = flag({QStringLiteral("no-com")});
    const QCommandLineOption resume = flag({QStringLiteral("resume")});
    const QCommandLineOption resumeFile = valued(QStringLiteral("resume-file"), QStringLiteral("FILE"));
    const QCommandLineOption listRuns = flag({QStringLiteral("list-runs")});
    const QCommandLineOption plan = flag({QStringLiteral("plan")});
    const QCommandLineOption noWait = flag({QStringLiteral("no-wait")});
    const QCommandLineOption prefix = valued(QStringLiteral("prefix"), QStringLiteral("FILE"));
    const QCommandLineOption suffix = valued(QStringLiteral("suffix"), QStringLiteral("FILE"));
    const QCommandLineOption out = valued(QStringLiteral("out"), QStringLiteral("DIR"));
    const QCommandLineOption server = valued(QStringLiteral("server"), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption delay = valued(QStringLiteral("delay"), QStringLiteral("SECONDS"));
    const QCommandLineOption operators = valued(QStringLiteral("operators"), QStringLiteral("FILE"));
    const QCommandLineOption protocol = valued(QStringLiteral("protocol"), QStringLiteral("P"));
    const QCommandLineOption tld = valued(QStringLiteral("tld"), QStringLiteral("LIST"));
    const QCommandLineOption dnsFirst = flag({QStringLiteral("dns-first")});
    const QCommandLineOption dns = valued(QStringLiteral("dns"), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption stage = valued(QStringLiteral("stage"), QStringLiteral("WHICH"));
    const QList<QCommandLineOption> valuedOptions {prefix,     suffix, out, server, delay,    protocol,
                                                   resumeFile, tld,    dns, stage,  operators};
    const QList<QCommandLineOption> batchOnly {prefix, suffix, out, com, noCom, resume, resumeFile, listRuns};
    // A resumed run takes its lists, its TLDs, its servers, its resolver and its pace from its journal.
    const QList<QCommandLineOption> fromJournal {prefix, suffix, com,      noCom, delay,
                                                 server, tld,    dnsFirst, dns,   protocol};
    // A listing starts no run, and prints no verdict.
    const QList<QCommandLineOption> runOnly {prefix, suffix, com, noCom,    resume, resumeFile, out,
                                             server, delay,  tld, dnsFirst, dns,    json,       operators};

    QCommandLineParser parser;
    parser.addOptions({help,       version,  check,  batch,  json,      com,    noCom, resume,
                       resumeFile, listRuns, prefix, suffix, out,       server, delay, protocol,
                       tld,        dnsFirst, dns,    stage,  operators, plan,   noWait});
    if (!parser.parse(withResumeFile(arguments)))
        return problem(parser.errorText());

    CliOptions options;
    if (parser.isSet(help))
        return options;
    if (parser.isSet(version)) {
        options.mode = CliMode::Version;
        return options;
    }
    if (parser.isSet(check) && parser.isSet(batch))
        return problem(QStringLiteral("--check and --batch cannot be used together"));
    if (!parser.isSet(check) && !parser.isSet(batch))
        return problem(QStringLiteral("nothing to do: give --check, --batch, --help or --version"));
    options.mode = parser.isSet(check) ? CliMode::Check : CliMode::Batch;

    for (const QCommandLineOption &option : valuedOptions) {
        const QString name = optionName(option);
        const QStringList values = parser.values(option);
        if (values.size() > 1
            || (!values.isEmpty() && option.names() == resumeFile.names() && parser.isSet(resume)))
            return problem(QStringLiteral("--%1 is given more than once").arg(name));
        if (values.size() == 1 && values.constFirst().trimmed().isEmpty())
            return problem(QStringLiteral("--%1 needs a value").arg(name));
    }

    if (parser.isSet(server)) {
        options.server = parser.value(server).trimmed();
        const std::optional<ServerAddress> address = parseServerAddress(options.server);
        if (!address || !isServerHost(address->host))
            return problem(QStringLiteral("--server: '%1' is not HOST or HOST:PORT").arg(options.server));
    }
    if (parser.isSet(delay) && parser.value(delay).trimmed() != QStringLiteral("auto")) {
        options.autoPace = false;
        bool ok = false;
        const double seconds = parser.value(delay).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > MaxDelaySeconds) {
            return problem(QStringLiteral("--delay: '%1' is not auto or a number of seconds from 0 to %2")
                               .arg(parser.value(delay))
                               .arg(MaxDelaySeconds));
        }
        options.delayMs = int(std::lround(seconds * 1000));
    }
    options.operatorsPath = parser.value(operators);
    if (parser.isSet(protocol)) {
        const std::optional<Protocol> chosen = parseProtocol(parser.value(protocol));
        if (!chosen)
            return problem(QStringLiteral("--protocol takes rdap, whois or auto"));
        options.protocol = *chosen;
        if (options.protocol == Protocol::Rdap && !options.server.isEmpty())
            return problem(
                QStringLiteral("--server names a WHOIS server; it cannot go with --protocol rdap"));
    }
    if (parser.isSet(json))
        options.format = OutputFormat::Json;
    if (parser.isSet(stage)) {
        if (options.mode != CliMode::Check)
            return problem(QStringLiteral("--stage is only for --check"));
        if (parser.value(stage).trimmed() != u"dropping")
            return problem(QStringLiteral("--stage takes dropping"));
        options.onlyDropping = true;
    }
    if (parser.isSet(tld)) {
        const std::optional<QStringList> tlds = parseTlds(parser.value(tld));
        if (!tlds)
            return problem(QStringLiteral("--tld: '%1' is not a list of TLDs such as com,net,io")
                               .arg(parser.value(tld)));
        options.tlds = *tlds;
    }
    options.dnsFirst = parser.isSet(dnsFirst);
    if (parser.isSet(dns)) {
        options.dnsServer = parser.value(dns).trimmed();
        if (!isDnsServer(options.dnsServer))
            return problem(
                QStringLiteral("--dns: '%1' is not IP-ADDRESS or IP-ADDRESS:PORT").arg(options.dnsServer));
        // Said here, unless a listing or a resume refuses --dns with its own reason below.
        if (!options.dnsFirst && !parser.isSet(listRuns) && !parser.isSet(resume)
            && !parser.isSet(resumeFile))
            return problem(QStringLiteral("--dns names the resolver of --dns-first; give both or neither"));
    }

    options.plan = parser.isSet(plan);
    options.noWait = parser.isSet(noWait);
    if (options.plan && (parser.isSet(resume) || parser.isSet(resumeFile) || parser.isSet(listRuns)))
        return problem(QStringLiteral("--plan goes with a new search, not with --resume or --list-runs"));
    const QStringList positional = parser.positionalArguments();
    if (options.mode == CliMode::Check) {
        for (const QCommandLineOption &option : batchOnly) {
            if (parser.isSet(option))
                return problem(QStringLiteral("--%1 is only for --batch").arg(optionName(option)));
        }
        options.namesFromInput = positional.contains(QStringLiteral("-"));
        if (options.namesFromInput && positional.size() > 1)
            return problem(QStringLiteral("--check: give the names as arguments or '-' alone, not both"));
        if (positional.isEmpty())
            return problem(QStringLiteral("--check: no names given"));
        if (options.plan && options.namesFromInput)
            return problem(QStringLiteral("--plan needs the names as arguments, not '-'"));
        if (!options.namesFromInput)
            options.names = positional;
        return options;
    }

    if (!positional.isEmpty())
        return problem(QStringLiteral("--batch takes no names: '%1'").arg(positional.constFirst()));
    if (parser.isSet(listRuns)) {
        for (const QCommandLineOption &option : runOnly) {
            if (parser.isSet(option))
                return problem(QStringLiteral("--%1 cannot go with --list-runs").arg(optionName(option)));
        }
        options.listRuns = true;
        return options;
    }
    options.outDir = parser.value(out);
    if (parser.isSet(resume) || parser.isSet(resumeFile)) {
        for (const QCommandLineOption &option : fromJournal) {
            if (parser.isSet(option))
                return problem(QStringLiteral("--%1 cannot go with --resume: the run's journal holds it")
                                   .arg(optionName(option)));
        }
        options.resume = true;
        options.resumePath = parser.value(resumeFile);
        return options;
    }
    if (!parser.isSet(prefix))
        return problem(QStringLiteral("--batch needs --prefix FILE"));
    if (!parser.isSet(suffix))
        return problem(QStringLiteral("--batch needs --suffix FILE"));
    if (parser.isSet(com) && parser.isSet(noCom))
        return problem(QStringLiteral("--com and --no-com cannot be used together"));
    if (parser.isSet(tld) && (parser.isSet(com) || parser.isSet(noCom)))
        return problem(QStringLiteral("--tld cannot go with --%1")
                           .arg(parser.isSet(com) ? QStringLiteral("com") : QStringLiteral("no-com")));
    options.prefixPath = parser.value(prefix);
    options.suffixPath = parser.value(suffix);
    options.comSuffix = !parser.isSet(noCom);
    return options;
}

bool isServerHost(const QString &host)
{
    if (host.isEmpty())
        return false;
    if (!QHostAddress(host).isNull())
        return true;
    return std::all_of(host.cbegin(), host.cend(),
                       [](QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'.' || c == u'_'; });
}

QStringList NameSplitter::feed(QByteArrayView bytes)
{
    QStringList names;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView piece = end < 0 ? bytes : bytes.first(end);
        m_overlong = m_overlong || m_line.size() + piece.size() > MaxLineBytes;
        if (!m_overlong)
            m_line += piece;
        if (end < 0)
            break;
        addName(names);
        bytes = bytes.sliced(end + 1);
    }
    return names;
}

QStringList NameSplitter::finish()
{
    QStringList names;
    addName(names);
    return names;
}

void NameSplitter::addName(QStringList &names)
{
    ++m_lineNumber;
    const QString name = QString::fromUtf8(m_line).trimmed();
    m_line.clear();
    if (std::exchange(m_overlong, false))
        m_refused << m_lineNumber;
    else if (!name.isEmpty())
        names << name;
}

} // namespace zandrel
