#include "Cli.h"

#include "CliHelp.h"
#include "CliOptions.h"
#include "CliOutput.h"
#include "harvest/UniqueList.h"
#include "platform/AppInfo.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "report/Report.h"
#include "search/Journal.h"
#include "search/PaceState.h"
#include "search/Preferences.h"
#include "search/RunPlan.h"
#include "search/SearchSession.h"
#include "search/WordList.h"

#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace zandrel {

namespace {

void writeLine(QIODevice &device, const QString &line)
{
    device.write(line.toUtf8() + '\n');
}

// Says on `err` which lines of standard input were too long to be a name: they are not asked.
void sayRefused(NameSplitter &splitter, QIODevice &err)
{
    for (const qsizetype line : splitter.takeRefused())
        writeLine(err,
                  QStringLiteral("zandrel: --check -: line %1 is longer than %2 bytes; it is not asked")
                      .arg(line)
                      .arg(NameSplitter::MaxLineBytes));
}

// Names one per line; blanks around a name and blank lines are dropped.
QStringList readNames(QIODevice &in, QIODevice &err)
{
    NameSplitter splitter;
    const QStringList names = splitter.feed(in.readAll()) + splitter.finish();
    sayRefused(splitter, err);
    return names;
}

// A word list is read whole: one larger than this is refused before anything is asked.
constexpr qint64 MaxWordListBytes = 100LL * 1024 * 1024;

Result<void> loadWords(const QString &option, const QString &path, QStringList &words)
{
    if (const Result<void> loaded = loadWordList(path, words, MaxWordListBytes); !loaded) {
        if (loaded.error().code == WordListTooLarge)
            return Error(QStringLiteral("--%1: '%2' is larger than %3 MB, the most a word list may hold")
                             .arg(option, path)
                             .arg(MaxWordListBytes >> 20));
        return Error(QStringLiteral("--%1: cannot read '%2'").arg(option, path));
    }
    if (words.isEmpty())
        return Error(QStringLiteral("--%1: '%2' holds no words").arg(option, path));
    return {};
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
// report can be written into. A problem ends the run with its line; its code is the exit status.
Result<void> checkBeforeRun(CliOptions &options, const CliWorld &world)
{
    if (options.mode != CliMode::Batch)
        return {};
    if (options.resume) {
        const JournalFolder folder(journalFolderOf(world), world.clock);
        const Result<ResumeChoice> choice = folder.chooseResume(options.resumePath);
        if (!choice)
            return Error(QStringLiteral("--resume: ") + choice.error().text, ExitUsage);
        options.resumePath = choice->path;
        // The run keeps the pace it was started with.
        if (choice->contents.inputs.delayMs >= 0)
            options.delayMs = choice->contents.inputs.delayMs;
        options.autoPace = choice->contents.inputs.autoPace;
    }
    if (!options.outDir.isEmpty()) {
        if (const Result<void> writable = checkFolderWritable(options.outDir); !writable)
            return Error(
                QStringLiteral("--out: cannot write to '%1': %2").arg(options.outDir, writable.error().text),
                ExitFailed);
    }
    return {};
}

} // namespace

// --check and --batch: a search session with no window; the lines are printed as names are
// committed, in the order given.
class CommandLineRun : public QObject
{
public:
    CommandLineRun(const CliOptions &options, const CliStreams &streams, const CliWorld &world,
                   std::function<void(int)> done)
        : m_options(options)
        , m_streams(streams)
        , m_world(world)
        , m_done(std::move(done))
        , m_session(routerSettingsFrom(world.settings, AppInfo::current().title, options.server,
                                       options.protocol, world.cacheFolder),
                    world.journalFolder, world.clock, m_available, m_links)
        , m_progress(streams.err, streams.errIsTerminal, streams.outIsTerminal)
        , m_output(streams.out)
    { }

    // Everything is checked before anything is sent or written; a problem ends the run at once.
    void start()
    {
        const bool batch = m_options.mode == CliMode::Batch;
        QStringList names = m_options.names;
        QStringList prefixes;
        QStringList suffixes;
        if (batch && !m_options.resume) {
            if (const Result<void> loaded
                = loadWords(QStringLiteral("prefix"), m_options.prefixPath, prefixes);
                !loaded)
                return usage(loaded.error().text);
            if (const Result<void> loaded
                = loadWords(QStringLiteral("suffix"), m_options.suffixPath, suffixes);
                !loaded)
                return usage(loaded.error().text);
        }
        // --out was checked before the run; a current folder that cannot be written leaves the
        // report to the data folder, as the window's does, and the run says so at its end.
        if (batch)
            m_outDir = QFileInfo(m_options.outDir.isEmpty() ? QStringLiteral(".") : m_options.outDir)
                           .absoluteFilePath();
        auto *input = qobject_cast<QFile *>(&m_streams.in);
        const bool streamed = m_options.namesFromInput && input && input->handle() >= 0;
        if (m_options.namesFromInput && !streamed) {
            names = readNames(m_streams.in, m_streams.err);
            if (names.isEmpty())
                return usage(QStringLiteral("--check -: no names on standard input"));
        }

        m_world.settings.keepChangesInMemory();
        RunRequest &run = m_session.request();
        if (const Result<void> added = addOperators(m_session.paces(), m_world.settings,
                                                    AppInfo::current().title, m_options.operatorsPath);
            !added)
            return usage(added.error().text);
        // The learned pace needs no pause of its own; a number is the pause, as it always was.
        run.autoPace = m_options.autoPace;
        run.noWait = m_options.noWait;
        run.paceStateFile = m_world.stateFolder.isEmpty()
            ? PaceState::standardPath()
            : m_world.stateFolder + QStringLiteral("/paces.tsv");
        run.pauseMs = m_options.autoPace ? 0 : m_options.delayMs;
        m_progress.setPaceMs(m_options.autoPace ? 1000 : m_options.delayMs);
        run.queryType = DomainSearch;
        // A name nobody can register is not sent: a word list's control bytes or a binary file read
        // as one make no query (the window still sends such a name and shows the answer).
        run.sendUnregistrable = false;
        m_session.request().scanLists = batch;
        // --check writes no report and asks nothing again: it keeps counts, not records.
        m_session.request().keepRecords = batch;
        // --batch keeps nothing a name at a time in memory: its report is read from its journal.
        m_session.request().reportFromJournal = batch;
        // A --batch run that can no longer journal stops: what it asked is safe in the journal, and
        // a resume goes on from there once the disk has room again.
        m_session.request().stopWithoutJournal = batch;
        m_session.request().nameTlds = batch ? QStringList() : m_options.tlds;
        m_session.request().dnsFirst = m_options.dnsFirst;
        m_session.request().dnsSettings
            = dnsSettingsFrom(m_world.settings, AppInfo::current().title, m_options.dnsServer);
        if (m_options.plan)
            return plan(batch, names, prefixes, suffixes);
        const auto notice = [this](const QString &text) {
            m_progress.erase();
            writeLine(m_streams.err, QStringLiteral("zandrel: ") + text);
        };
        connect(&m_session, &SearchSession::notice, this, notice);
        connect(&m_session, &SearchSession::warning, this, notice);
        connect(&m_session, &SearchSession::committed, this, [this](const LookupRecord &record) {
            if (!record.judged)
                return;
            m_progress.eraseForOutput();
            if ((!m_options.onlyDropping || isFreeOrDropping(record))
                && !m_output.write(formatRecord(record, m_options.format).toUtf8()))
                m_session.abort(); // the results have nowhere to go: stop asking
            m_someUnknown = m_someUnknown || record.verdict.kind == VerdictKind::Unknown;
            m_progress.update(record.index, m_session.total());
        });
        connect(&m_session, &SearchSession::finished, this, &CommandLineRun::onFinished);

        if (m_options.resume) {
            if (const Result<void> resumed = m_session.resume(m_options.resumePath); !resumed)
                return usage(QStringLiteral("--resume: cannot resume the last search: ")
                             + resumed.error().text);
        } else if (batch) {
            RunInputs inputs = batchInputs(prefixes, suffixes);
            const ServerOverrides &overrides = m_session.router().settings().overrides;
            inputs.server = overrides.serverOption.isEmpty() ? overrides.whoisServer : overrides.serverOption;
            if (const Result<void> started = m_session.searchCombinations(inputs); !started) {
                writeLine(m_streams.err, QStringLiteral("zandrel: ") + started.error().text);
                return end(ExitFailed);
            }
        } else if (streamed) {
            // Names are asked as they arrive, so the run can follow a slow producer or a `tail -f`.
            m_inputFd = input->handle();
            m_input = std::make_unique<QSocketNotifier>(m_inputFd, QSocketNotifier::Read);
            connect(m_input.get(), &QSocketNotifier::activated, this, &CommandLineRun::readInput);
        } else {
            m_session.searchNames(names);
        }
    }

    void abort() { m_session.abort(); }

private:
    RunInputs batchInputs(const QStringList &prefixes, const QStringList &suffixes) const
    {
        RunInputs inputs;
        inputs.prefixes = prefixes;
        inputs.suffixes = suffixes;
        inputs.comSuffix = m_options.comSuffix;
        if (!m_options.tlds.isEmpty())
            inputs.tlds = m_options.tlds;
        return inputs;
    }

    // --plan: each operator with its names, pace and time; nothing is asked.
    void plan(bool batch, QStringList names, const QStringList &prefixes, const QStringList &suffixes)
    {
        QList<std::pair<QString, qint64>> groups;
        if (batch) {
            groups = combinationGroups(batchInputs(prefixes, suffixes));
            names.clear();
        } else if (!m_options.tlds.isEmpty()) {
            QStringList expanded;
            for (const QString &name : std::as_const(names)) {
                for (const QString &tld : name.contains(u'.') ? QStringList {QString()} : m_options.tlds)
                    expanded << (tld.isEmpty() ? name : name + u'.' + tld);
            }
            names = expanded;
        }
        const RunRequest &run = m_session.request();
        if (const Result<void> loaded = PaceState(run.paceStateFile).load(m_session.paces(), m_world.clock);
            !loaded)
            writeLine(m_streams.err, QStringLiteral("zandrel: ") + loaded.error().text);
        for (const QString &name : std::as_const(names))
            groups.append({name, 1});
        const QList<OperatorPlan> plans = planRun(groups, m_session.router(), m_session.paces(), run.autoPace,
                                                  run.pauseMs, m_session.router().settings().overrides);
        m_output.write(planText(plans).toUtf8());
        end(ExitAnswered);
    }

    void readInput()
    {
        char buffer[64 * 1024];
        const ssize_t got = ::read(m_inputFd, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (got > 0) {
            askNames(m_splitter.feed(QByteArrayView(buffer, got)));
            sayRefused(m_splitter, m_streams.err);
            return;
        }
        // The end of the input, or an input that cannot be read: what came is all there is.
        const QString failed = got < 0 ? QStringLiteral("--check -: cannot read standard input: ")
                + QString::fromLocal8Bit(std::strerror(errno))
                                       : QString();
        m_input->setEnabled(false);
        askNames(m_splitter.finish());
        sayRefused(m_splitter, m_streams.err);
        if (!m_session.running())
            return usage(failed.isEmpty() ? QStringLiteral("--check -: no names on standard input") : failed);
        if (!failed.isEmpty())
            writeLine(m_streams.err, QStringLiteral("zandrel: ") + failed);
        m_session.addNames({}, true);
    }

    void askNames(const QStringList &names)
    {
        if (names.isEmpty())
            return;
        if (m_session.running())
            m_session.addNames(names);
        else
            m_session.searchNames(names, true);
    }

    void usage(const QString &text)
    {
        writeLine(m_streams.err, QStringLiteral("zandrel: ") + text);
        end(ExitUsage);
    }

    void onFinished(bool complete)
    {
        m_progress.erase();
        if (!complete || m_output.failed())
            return end(ExitFailed);
        if (m_options.mode == CliMode::Batch) {
            // The report of a complete run; its journal is marked finished once this returns.
            const Result<ReportFiles> result
                = m_session.writeReport(reportStamp(m_world.clock.now()), m_session.inputs().prefixes,
                                        m_session.inputs().suffixes, m_outDir,
                                        // Where --out names a folder, the report goes there or nowhere.
                                        m_options.outDir.isEmpty() ? AppInfo::dataFolder() : QString(), {});
            if (!result) {
                writeLine(m_streams.err,
                          QStringLiteral("zandrel: The report was not written: ") + result.error().text);
                // The journal stays unfinished, so nothing asked is lost.
                writeLine(
                    m_streams.err,
                    QStringLiteral("zandrel: zandrel --batch --resume %1 writes it without asking again")
                        .arg(m_session.runLog().journalPath()));
                return end(ExitFailed);
            }
            if (result->usedFallback)
                writeLine(m_streams.err,
                          QStringLiteral("zandrel: The current folder cannot be written; the report is in ")
                              + result->folder);
            m_streams.err.write(batchFilesText({result->textPath, result->htmlPath, result->csvPath},
                                               m_session.runLog().journalPath())
                                    .toUtf8());
        }
        // A resumed run's status speaks for the whole run, the part before the cut too.
        if (m_options.resume)
            m_someUnknown = m_session.tally().count(VerdictKind::Unknown) > 0;
        end(m_someUnknown ? ExitSomeUnknown : ExitAnswered);
    }

    void end(int status)
    {
        if (!m_done)
            return;
        const auto done = std::exchange(m_done, {});
        // Results that did not reach standard output are lost: that outweighs any other status.
        if (const Result<void> finished = m_output.finish(); !finished) {
            writeLine(m_streams.err, QStringLiteral("zandrel: ") + finished.error().text);
            status = ExitFailed;
        }
        done(status);
    }

    CliOptions m_options;
    CliStreams m_streams;
    CliWorld m_world;
    std::function<void(int)> m_done;
    UniqueList m_available {UniqueList::Key::Exact};
    UniqueList m_links {UniqueList::Key::WithoutQuotes};
    SearchSession m_session;
    ProgressLine m_progress;
    OutputWriter m_output;
    std::unique_ptr<QSocketNotifier> m_input; // standard input, for --check -
    int m_inputFd = -1;
    NameSplitter m_splitter;
    QString m_outDir;
    bool m_someUnknown = false;
};

QString cliHelpText()
{
    return renderCliHelp(cliHelpSource());
}

std::unique_ptr<QObject> runCli(const QStringList &arguments, const CliStreams &streams,
                                const CliWorld &world, std::function<void(int)> done)
{
    const Result<CliOptions> parsed = parseCliArguments(arguments);
    if (!parsed) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + parsed.error().text);
        done(ExitUsage);
        return {};
    }
    CliOptions options = *parsed;
    OutputWriter output(streams.out);
    // Results that did not reach standard output are lost: that outweighs any other status.
    const auto ended = [&streams, &output, &done](int status) {
        if (const Result<void> finished = output.finish(); !finished) {
            writeLine(streams.err, QStringLiteral("zandrel: ") + finished.error().text);
            status = ExitFailed;
        }
        done(status);
    };
    switch (options.mode) {
    case CliMode::Help:
        output.write(cliHelpText().toUtf8());
        ended(ExitAnswered);
        return {};
    case CliMode::Version: {
        const AppInfo app;
        output.write(
            QStringLiteral("zandrel %1.%2.%3\n").arg(app.major).arg(app.minor).arg(app.revision).toUtf8());
        ended(ExitAnswered);
        return {};
    }
    case CliMode::Check:
    case CliMode::Batch:
        break;
    }
    if (options.listRuns) {
        ended(listRuns(world, output));
        return {};
    }
    if (const Result<void> ready = checkBeforeRun(options, world); !ready) {
        writeLine(streams.err, QStringLiteral("zandrel: ") + ready.error().text);
        ended(ready.error().code);
        return {};
    }
    auto run = std::make_unique<CommandLineRun>(options, streams, world, std::move(done));
    run->start();
    return run;
}

void abortCli(QObject *run)
{
    if (auto *commandLine = dynamic_cast<CommandLineRun *>(run))
        commandLine->abort();
}

} // namespace zandrel
