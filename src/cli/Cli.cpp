#include "Cli.h"

#include "CliHelp.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "app/WhoController.h"
#include "combine/WordList.h"
#include "platform/AppInfo.h"
#include "platform/Clipboard.h"
#include "platform/EventYield.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"

#include <QFileDevice>
#include <QFileInfo>

namespace zandrel {

namespace {

void writeLine(QIODevice &device, const QString &line)
{
    device.write(line.toUtf8() + '\n');
}

void flush(QIODevice &device)
{
    if (auto *file = qobject_cast<QFileDevice *>(&device))
        file->flush();
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
    QStringList names;
    for (const QByteArray &line : in.readAll().split('\n')) {
        const QString name = QString::fromUtf8(line).trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
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
int runLookups(const CliOptions &options, const CliStreams &streams, const CliWorld &world)
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
        streams.out.write(formatRecord(record, options.format).toUtf8());
        flush(streams.out);
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

} // namespace

QString cliHelpText()
{
    return renderCliHelp(cliHelpSource());
}

int runCli(const QStringList &arguments, const CliStreams &streams, const CliWorld &world)
{
    const std::variant<CliOptions, UsageError> parsed = parseCliArguments(arguments);
    if (const UsageError *error = std::get_if<UsageError>(&parsed)) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + error->text);
        return ExitUsage;
    }
    const CliOptions &options = std::get<CliOptions>(parsed);
    switch (options.mode) {
    case CliMode::Help:
        streams.out.write(cliHelpText().toUtf8());
        return ExitAnswered;
    case CliMode::Version: {
        const AppInfo app;
        writeLine(streams.out,
                  QStringLiteral("zandrel %1.%2.%3").arg(app.major).arg(app.minor).arg(app.revision));
        return ExitAnswered;
    }
    case CliMode::Check:
    case CliMode::Batch:
        break;
    }
    return runLookups(options, streams, world);
}

} // namespace zandrel
