#include "Cli.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "app/WhoController.h"
#include "combine/Journal.h"
#include "combine/WordList.h"
#include "platform/AppInfo.h"
#include "platform/Clipboard.h"
#include "platform/EventYield.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QFileInfo>

namespace zandrel {

namespace {

void writeLine(QIODevice &device, const QString &line)
{
    device.write(line.toUtf8() + '\n');
}

// A run without the window opens nothing (never the browser) and copies nothing.
class NoLauncher : public Launcher
{
public:
    bool open(const QString &) override { return true; }
    bool start(const QString &, const QStringList &) override { return true; }
};

class NoClipboard : public Clipboard
{
public:
    void setText(const QString &) override { }
};

// Names one per line; blanks around a name and blank lines are dropped.
QStringList readNames(QIODevice &in)
{
    NameSplitter splitter;
    return splitter.feed(in.readAll()) + splitter.finish();
}

std::optional<QString> loadWords(const QString &option, const QString &path, QStringList &words)
{
    if (!loadWordList(path, words))
        return QStringLiteral("--%1: cannot read '%2'").arg(option, path);
    if (words.isEmpty())
        return QStringLiteral("--%1: '%2' holds no words").arg(option, path);
    return std::nullopt;
}

// --check and --batch: the window's procedures and combination driver, with no window.
int runLookups(const CliOptions &options, const CliStreams &streams, const CliWorld &world,
               OutputWriter &output)
{
    const auto usage = [&streams](const QString &text) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + text);
        return int(ExitUsage);
    };
    // Everything is checked before anything is sent or written.
    const bool batch = options.mode == CliMode::Batch;
    QStringList names = options.names;
    QStringList prefixes;
    QStringList suffixes;
    QString outDir;
    if (batch && !options.resume) {
        if (const auto problem = loadWords(QStringLiteral("prefix"), options.prefixPath, prefixes))
            return usage(*problem);
        if (const auto problem = loadWords(QStringLiteral("suffix"), options.suffixPath, suffixes))
            return usage(*problem);
    }
    if (batch) {
        const QFileInfo out(options.outDir.isEmpty() ? QStringLiteral(".") : options.outDir);
        if (!out.isDir() || !out.isWritable())
            return usage(
                QStringLiteral("--out: '%1' is not a folder that can be written").arg(out.filePath()));
        outDir = out.absoluteFilePath();
    } else if (options.namesFromInput) {
        names = readNames(streams.in);
        if (names.isEmpty())
            return usage(QStringLiteral("--check -: no names on standard input"));
    }

    world.settings.keepChangesInMemory();
    NoLauncher launcher;
    NoClipboard clipboard;
    AppInfo app = AppInfo::current();
    app.folder = outDir;
    const Services services {
        world.settings, launcher,          clipboard,        world.clock,        world.yield, app,
        options.server, world.cacheFolder, options.protocol, world.journalFolder};
    WhoController who(services);
    WhoState &state = who.state();
    state.QueryType = DomainSearch;
    state.ComSuffix = options.comSuffix;
    // The pause timer is not needed; its interval still starts the back-off from a limiting server.
    who.delayTimer().stop();
    who.delayTimer().setInterval(options.delayMs);
    who.setFixedPauseMs(options.delayMs);
    // A name nobody can register is not sent, except in the combination search, which asks and
    // harvests exactly as the window's does.
    who.setSendUnregistrable(batch);
    who.setScanLists(batch);

    qint64 total = batch ? qint64(prefixes.size()) * suffixes.size() : names.size();
    qint64 done = 0;
    if (options.resume) {
        const WhoController::LastRun last = who.findLastRun();
        if (!last.error.isEmpty())
            return usage(QStringLiteral("--resume: cannot resume the last search: ") + last.error);
        if (!last.resumable)
            return usage(QStringLiteral("--resume: there is no unfinished search to resume"));
        done = last.done;
        total = last.total;
    }
    ProgressLine progress(streams.err, streams.errIsTerminal, streams.outIsTerminal);
    bool someUnknown = false;
    QObject::connect(&who, &WhoController::notice, &who, [&](const QString &text) {
        progress.erase();
        writeLine(streams.err, QStringLiteral("zandrel: ") + text);
    });
    QObject::connect(&who, &WhoController::recorded, &who, [&](const LookupRecord &record) {
        progress.eraseForOutput();
        if (!output.write(formatRecord(record, options.format).toUtf8()))
            world.yield.requestClose(); // the results have nowhere to go: stop asking
        someUnknown = someUnknown || record.verdict.kind == VerdictKind::Unknown;
        progress.update(++done, total);
    });
    if (options.resume) {
        who.mResumeSearch_Click();
    } else if (batch) {
        state.Prefix.setEntries(prefixes);
        state.Suffix.setEntries(suffixes);
        who.SearchCombinations_Click();
    } else {
        who.searchNames(names);
    }
    progress.erase();
    if (world.yield.closing())
        return ExitFailed;
    if (batch && !who.lastReportWritten())
        return ExitFailed;
    // A resumed run's status speaks for the whole run, the part before the cut too.
    if (options.resume)
        someUnknown = who.tally().count(VerdictKind::Unknown) > 0;
    return someUnknown ? ExitSomeUnknown : ExitAnswered;
}

QString journalFolderOf(const CliWorld &world)
{
    return world.journalFolder.isEmpty() ? JournalFolder::standardFolder() : world.journalFolder;
}

// --batch --list-runs: the unfinished runs, the newest first.
int listRuns(const CliWorld &world, OutputWriter &output)
{
    const JournalFolder folder(journalFolderOf(world), world.clock);
    for (const UnfinishedRun &run : folder.unfinishedRuns())
        output.write(formatRunLine(run).toUtf8());
    return ExitAnswered;
}

// What a run needs from the world before it starts: a run to resume that is free, a folder the
// report can be written into. A problem ends the run with its line and status.
std::optional<std::pair<QString, int>> checkBeforeRun(CliOptions &options, const CliWorld &world)
{
    if (options.mode != CliMode::Batch)
        return std::nullopt;
    if (options.resume) {
        const JournalFolder folder(journalFolderOf(world), world.clock);
        const ResumeChoice choice = folder.chooseResume(options.resumePath);
        if (!choice.error.isEmpty())
            return std::pair {QStringLiteral("--resume: ") + choice.error, int(ExitUsage)};
        options.resumePath = choice.path;
        // The run keeps the pace it was started with.
        if (choice.contents.inputs.delayMs >= 0)
            options.delayMs = choice.contents.inputs.delayMs;
    }
    if (!options.outDir.isEmpty()) {
        const QString problem = folderWriteProblem(options.outDir);
        if (!problem.isEmpty())
            return std::pair {QStringLiteral("--out: cannot write to '%1': %2").arg(options.outDir, problem),
                              int(ExitFailed)};
    }
    return std::nullopt;
}

int runWithOptions(CliOptions options, const CliStreams &streams, const CliWorld &world, OutputWriter &output)
{
    switch (options.mode) {
    case CliMode::Help:
        output.write(cliHelpText().toUtf8());
        return ExitAnswered;
    case CliMode::Version: {
        const AppInfo app;
        output.write(
            QStringLiteral("zandrel %1.%2.%3\n").arg(app.major).arg(app.minor).arg(app.revision).toUtf8());
        return ExitAnswered;
    }
    case CliMode::Check:
    case CliMode::Batch:
        break;
    }
    if (options.listRuns)
        return listRuns(world, output);
    if (const auto problem = checkBeforeRun(options, world)) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + problem->first);
        return problem->second;
    }
    return runLookups(options, streams, world, output);
}

} // namespace

QString cliHelpText()
{
    return QStringLiteral(
               "Usage: zandrel [--server HOST[:PORT]] [--protocol P] [--resume]   start the window\n"
               "       zandrel --check [OPTIONS] NAME...              look the names up\n"
               "       zandrel --check [OPTIONS] -                    names one per line on standard input\n"
               "       zandrel --batch --prefix FILE --suffix FILE [--com | --no-com] [--out DIR] [OPTIONS]\n"
               "       zandrel --batch --resume [--out DIR] [OPTIONS]\n"
               "       zandrel --help | --version\n"
               "\n"
               "Asks each name's registry whether the name is registered and prints one line per name:\n"
               "NAME, VERDICT, SERVER and REASON separated by tabs. VERDICT is free, taken, unknown or\n"
               "not-registrable; REASON says why for the last two. A name nobody can register is not sent.\n"
               "\n"
               "  --check               look up each full name as given (nothing is appended)\n"
               "  --batch               search every pairing of a prefix word with a suffix word, in the\n"
               "                        window's order, and write its report (.txt, .htm, .csv)\n"
               "  --prefix FILE         the prefix word list (--batch)\n"
               "  --suffix FILE         the suffix word list (--batch)\n"
               "  --com                 append \".com\" to every pairing (--batch; the default)\n"
               "  --no-com              append nothing (--batch)\n"
               "  --out DIR             where the report goes (--batch; default: the current folder)\n"
               "  --json                print one JSON object per line: name, verdict, server, reason\n"
               "  --server HOST[:PORT]  ask this one WHOIS server for every name\n"
               "  --protocol P          how to ask: whois (port 43), rdap (HTTPS), or auto (the default):\n"
               "                        WHOIS where a WHOIS server is known, else RDAP\n"
               "  --delay SECONDS       wait between one lookup's end and the next one's start\n"
               "                        (default 3; 0 and fractions allowed, at most %1)\n"
               "  --resume              finish the last search that was cut off, from the window or\n"
               "                        --batch, with the lists and options it used (--batch, or the\n"
               "                        window)\n"
               "  -h, --help            show this text\n"
               "  -v, --version         show the version\n"
               "\n"
               "Exit status: 0 when every name got free, taken or not-registrable, 3 when some are\n"
               "unknown, 1 when the report could not be written, 2 for a usage error. On a terminal a\n"
               "progress line on standard error shows the count, the rate and the time left.\n")
        .arg(MaxDelaySeconds);
}

int runCli(const QStringList &arguments, const CliStreams &streams, const CliWorld &world)
{
    const std::variant<CliOptions, UsageError> parsed = parseCliArguments(arguments);
    if (const UsageError *error = std::get_if<UsageError>(&parsed)) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + error->text);
        return ExitUsage;
    }
    OutputWriter output(streams.out);
    const int status = runWithOptions(std::get<CliOptions>(parsed), streams, world, output);
    // Results that did not reach standard output are lost: that outweighs any other status.
    if (!output.finish()) {
        streams.err.write(output.failureLine().toUtf8());
        return ExitFailed;
    }
    return status;
}

} // namespace zandrel
