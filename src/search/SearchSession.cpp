#include "SearchSession.h"

#include "harvest/UniqueList.h"
#include "platform/Clock.h"
#include "search/JournalReport.h"
#include "search/PaceState.h"
#include "verdict/Registrable.h"

namespace zandrel {

QStringList combinationNames(const QStringList &prefixes, const QStringList &suffixes, bool comSuffix)
{
    QStringList names;
    names.reserve(prefixes.size() * suffixes.size());
    const QString com = comSuffix ? QStringLiteral(".com") : QString();
    for (const QString &prefix : prefixes) {
        for (const QString &suffix : suffixes)
            names << prefix + suffix + com;
    }
    return names;
}

QStringList combinationNames(const RunInputs &inputs)
{
    QStringList names;
    const qint64 count = combinationCount(inputs);
    names.reserve(count);
    for (qint64 position = 0; position < count; ++position)
        names << combinationName(inputs, position);
    return names;
}

QString combinationName(const RunInputs &inputs, qint64 position)
{
    const qint64 tlds = inputs.comSuffix ? inputs.tlds.size() : 1;
    const qint64 suffixes = inputs.suffixes.size();
    const qint64 pairing = position / tlds;
    const QString name
        = inputs.prefixes.value(pairing / suffixes) + inputs.suffixes.value(pairing % suffixes);
    return inputs.comSuffix ? name + u'.' + inputs.tlds.value(position % tlds) : name;
}

namespace {

// How many names a combination run is handed at a time, and how far ahead of the last committed
// one they go: enough to keep every server busy, little enough to hold nothing like the whole list.
constexpr qint64 FeedNames = 1024;

} // namespace

SearchSession::SearchSession(const RouterSettings &settings, const QString &journalFolder, const Clock &clock,
                             UniqueList &available, UniqueList &links, QObject *parent)
    : QObject(parent)
    , m_clock(clock)
    , m_links(links)
    , m_scan(available, links)
    , m_router(settings, clock)
    , m_journals(journalFolder.isEmpty() ? JournalFolder::standardFolder() : journalFolder, clock)
    , m_runLog(m_journals)
{
    connect(&m_router, &Router::notice, this, &SearchSession::notice);
}

SearchSession::~SearchSession()
{
    // The run ends first, quietly: nothing it holds outlives what it uses.
    if (m_run) {
        disconnect(m_run.get(), nullptr, this, nullptr);
        m_run->abort();
        m_run.reset();
    }
}

void SearchSession::clearResults()
{
    m_results.clear();
    m_tally.clear();
    emit countsChanged(m_tally.countsText());
}

QPair<QString, QString> SearchSession::combination(qint64 index) const
{
    const qsizetype suffixes = m_inputs.suffixes.size();
    const qsizetype tlds = m_inputs.comSuffix ? m_inputs.tlds.size() : 1;
    if (!m_combinations || suffixes == 0 || tlds == 0 || index < 1)
        return {};
    const qint64 at = (index - 1) / tlds;
    return {m_inputs.prefixes.value(at / suffixes), m_inputs.suffixes.value(at % suffixes)};
}

QStringList SearchSession::withTlds(const QStringList &names) const
{
    if (m_request.nameTlds.isEmpty())
        return names;
    QStringList expanded;
    for (const QString &name : names) {
        if (name.contains(u'.')) {
            expanded << name;
            continue;
        }
        for (const QString &tld : m_request.nameTlds)
            expanded << name + u'.' + tld;
    }
    return expanded;
}

void SearchSession::startRun(const QStringList &names, qint64 firstIndex, bool journaled, bool more,
                             bool dnsFirst, const RunInputs *resumed)
{
    m_journaled = journaled;
    m_journalHeld = false;
    RunOptions options = m_request;
    options.firstIndex = firstIndex;
    options.overrides = m_router.settings().overrides;
    DnsSettings dns = m_request.dnsSettings;
    // A resumed run routes every name as the run did, whatever the settings say now.
    if (resumed)
        options.autoPace = resumed->autoPace; // a run keeps its pace
    if (resumed && resumed->routing) {
        options.overrides = *resumed->routing;
        dns.server = resumed->dnsServer;
    } else if (resumed && !resumed->server.isEmpty()) {
        options.overrides.serverOption = resumed->server; // a journal from before routing was kept
    }
    m_scan.setScanning(m_request.scanLists);
    m_keepRecords = m_request.keepRecords;
    m_fromJournal = journaled && m_request.reportFromJournal;
    m_scan.setKeepLists(!m_fromJournal);
    m_tally.setKeepNames(m_keepRecords && !m_fromJournal);
    if (dnsFirst) {
        if (!m_resolver || m_resolver->settings() != dns)
            m_resolver = std::make_shared<DnsResolver>(dns);
        options.resolver = m_resolver;
        if (!m_resolver->error().isEmpty())
            emit warning(QStringLiteral("DNS cannot be asked: ") + m_resolver->error());
    }
    // Without the learned pace a run goes exactly by the pause, as it always has.
    m_pacedRun = options.autoPace;
    if (options.autoPace) {
        if (const Result<void> loaded = PaceState(m_request.paceStateFile).load(*m_paces, m_clock); !loaded)
            emit notice(QStringLiteral("The counts of earlier runs cannot be read: ") + loaded.error().text);
        options.paces = m_paces;
        options.maxTries = std::max(options.maxTries, m_request.throttleTries);
    }
    options.shownName = [this](const QString &name) {
        return termOf(name);
    };
    m_run = std::make_unique<SearchRun>(m_router, m_backOff, m_clock, options);
    SearchRun *run = m_run.get();
    connect(run, &SearchRun::begun, this,
            [this](qint64 index, const QString &name) { emit begun(index, m_total, termOf(name)); });
    connect(run, &SearchRun::text, this, &SearchSession::text);
    connect(run, &SearchRun::committed, this, &SearchSession::onCommitted);
    connect(run, &SearchRun::notice, this, &SearchSession::notice);
    connect(run, &SearchRun::warning, this, &SearchSession::warning);
    // A name given up after Stop counts as not answered, though it is not committed: a resume or
    // "Search Unanswered Again" asks it again.
    connect(run, &SearchRun::abandoned, this, [this](qint64, const QString &name) {
        if (!m_tallied)
            return;
        m_tally.record(name, Verdict::unknown(UnknownReason::NoAnswer));
        emit countsChanged(m_tally.countsText());
    });
    connect(run, &SearchRun::finished, this, &SearchSession::onFinished);
    emit runStateChanged();
    run->addNames(names);
    if (!more)
        run->endOfNames();
    run->start();
}

QString SearchSession::termOf(const QString &name) const
{
    // With more TLDs than .com the name is shown whole, so that its TLD shows.
    const bool com = m_combinations && m_inputs.comSuffix && m_inputs.tlds == RunInputs().tlds
        && name.endsWith(QStringLiteral(".com"));
    return com ? name.chopped(4) : name;
}

Result<void> SearchSession::searchCombinations(const RunInputs &inputs)
{
    if (running())
        return Error(QStringLiteral("a search is running"));
    m_inputs = inputs;
    m_inputs.delayMs = m_request.pauseMs;
    m_inputs.autoPace = m_request.autoPace;
    m_inputs.dnsFirst = m_request.dnsFirst;
    m_inputs.routing = m_router.settings().overrides;
    m_inputs.dnsServer = m_request.dnsSettings.server;
    if (const Result<void> started = m_runLog.start(m_inputs); !started) {
        if (m_request.stopWithoutJournal)
            return started;
        emit notice(QStringLiteral("The search goes on without a journal: ") + started.error().text);
    }
    m_combinations = true;
    m_tallied = true;
    m_total = combinationCount(m_inputs);
    // The results stay until Clear All, as the two lists do: a report tells all of them.
    m_tally.clear();
    emit countsChanged(m_tally.countsText());
    // This run is the last one now.
    m_resumable.clear();
    emit progressChanged(0, m_total, QString());
    startCombinations(0, nullptr);
    return {};
}

void SearchSession::startCombinations(qint64 done, const RunInputs *resumed)
{
    m_made = done;
    m_committed = done;
    m_madeAll = false;
    startRun({}, done + 1, true, true, m_inputs.dnsFirst, resumed);
    feedCombinations();
}

void SearchSession::feedCombinations()
{
    if (!m_run || !m_combinations || m_madeAll || m_made - m_committed >= FeedNames)
        return;
    QStringList names;
    const qint64 end = std::min(m_total, m_made + FeedNames);
    names.reserve(end - m_made);
    for (; m_made < end; ++m_made)
        names << combinationName(m_inputs, m_made);
    m_madeAll = m_made == m_total;
    const bool last = m_madeAll;
    // Handing names over may commit some at once, and so come back here for more.
    if (!names.isEmpty())
        m_run->addNames(names);
    if (last && m_run)
        m_run->endOfNames();
}

Result<void> SearchSession::resume(const QString &path)
{
    if (running())
        return Error(QStringLiteral("a search is running"));
    // A run whose report comes from its journal only counts what the journal holds.
    const bool fromJournal = m_request.reportFromJournal;
    RunTally tally;
    tally.setKeepNames(!fromJournal);
    const auto count = [&tally](LookupRecord &&done) {
        if (done.judged)
            tally.record(done.name, done.verdict);
    };
    const Result<JournalContents> read = fromJournal ? readJournal(path, count) : readJournal(path);
    if (!read) {
        m_resumable.clear();
        emit runStateChanged();
        return Error(journalProblem(path, read.error().text));
    }
    const JournalContents &run = *read;
    if (const Result<void> resumed = m_runLog.resume(path, run); !resumed) {
        if (m_request.stopWithoutJournal)
            return resumed;
        emit notice(QStringLiteral("The search goes on without its journal: ") + resumed.error().text);
    }
    m_inputs = run.inputs;
    m_combinations = true;
    m_tallied = true;
    m_results += run.records; // those the run asked before this start are told once (latestVerdicts)
    for (const LookupRecord &done : run.records) {
        m_scan.restore(done);
        if (done.judged)
            tally.record(done.name, done.verdict);
    }
    m_tally = std::move(tally);
    emit countsChanged(m_tally.countsText());
    emit restored(m_inputs);
    m_total = combinationCount(m_inputs);
    emit progressChanged(run.recordCount, m_total, QString());
    startCombinations(run.recordCount, &m_inputs);
    return {};
}

void SearchSession::searchNames(const QStringList &names, bool more)
{
    if (running())
        return;
    m_combinations = false;
    m_tallied = true;
    m_tally.clear();
    const QStringList expanded = withTlds(names);
    m_total = expanded.size();
    startRun(expanded, 1, false, more, m_request.dnsFirst);
}

void SearchSession::addNames(const QStringList &names, bool last)
{
    const QStringList expanded = withTlds(names);
    m_total += expanded.size();
    if (!m_run)
        return;
    m_run->addNames(expanded);
    if (last)
        m_run->endOfNames();
}

bool SearchSession::searchUnanswered()
{
    const QStringList names = m_tally.unknownNames();
    if (names.isEmpty() || running())
        return false;
    m_combinations = false;
    m_tallied = true;
    m_total = names.size();
    startRun(names, 1, false, false, m_request.dnsFirst);
    return true;
}

void SearchSession::lookUpOne(const QString &name)
{
    if (running())
        return;
    m_combinations = false;
    m_tallied = false;
    m_total = 1;
    startRun({name}, 1, false);
}

void SearchSession::stop()
{
    if (m_run)
        m_run->stop();
}

void SearchSession::abort()
{
    if (m_run)
        m_run->abort();
}

void SearchSession::onCommitted(const LookupRecord &done, const QString &answer)
{
    LookupRecord record = done;
    if (m_keepRecords)
        m_scan.scan(record, answer);
    if (m_keepRecords && !m_fromJournal)
        m_results << record;
    if (m_tallied && record.judged) {
        m_tally.record(record.name, record.verdict);
        emit countsChanged(m_tally.countsText());
    }
    // The name is shown (or printed) before the journal may hold it: a run killed in between asks
    // it again on resume, where the other order would leave its line out for good.
    emit committed(record);
    if (m_tallied)
        emit progressChanged(record.index, m_total, m_run ? timeLeftText(m_run->timeLeftMs()) : QString());
    // A name not asked for its operator's quota (--no-wait) ends the journal's part of the run: the
    // journal holds names in order, so a resume goes on from that name and asks it then.
    if (record.verdict.kind == VerdictKind::Unknown && record.verdict.reason == UnknownReason::Quota)
        m_journalHeld = true;
    // A handler that stopped the run at once did not take this name.
    if (m_journaled && m_run && !m_journalHeld) {
        if (const Result<void> written = m_runLog.record(record); !written)
            onJournalFailed(written.error().text);
    }
    m_committed = record.index;
    feedCombinations();
}

void SearchSession::onJournalFailed(const QString &error)
{
    if (!m_request.stopWithoutJournal) {
        emit notice(QStringLiteral("The search goes on without its journal: ") + error);
        return;
    }
    emit notice(error + QStringLiteral("; the search stops (a resume goes on from what the journal holds)"));
    abort();
}

void SearchSession::onFinished(bool complete)
{
    // The run object may be on the stack: it goes once this call has returned.
    m_run.release()->deleteLater();
    if (m_pacedRun) {
        if (const Result<void> saved = PaceState(m_request.paceStateFile).save(*m_paces, m_clock); !saved)
            emit notice(QStringLiteral("The counts of this run cannot be kept: ") + saved.error().text);
    }
    // A run is complete only once its journal holds every name.
    if (m_journaled && complete) {
        if (const Result<void> flushed = m_runLog.flush(); !flushed) {
            onJournalFailed(flushed.error().text);
            complete = !m_request.stopWithoutJournal;
        }
    }
    m_awaitingReport = m_journaled && complete;
    m_reportFailed = false;
    emit finished(complete);
    m_awaitingReport = false;
    if (m_journaled) {
        // The journal is marked finished only once the report is written: until then a resume
        // writes it from the journal. The last group's lines, when they could not be written: a
        // resume asks them again.
        const bool finished = complete && !m_reportFailed && !m_journalHeld;
        if (const Result<void> ended = finished ? m_runLog.finish(m_clock.now()) : m_runLog.interrupt();
            !ended)
            emit notice(ended.error().text);
        m_resumable = finished ? QString() : m_runLog.journalPath();
    }
    emit runStateChanged();
}

SearchSession::LastRun SearchSession::findLastRun()
{
    LastRun last;
    m_journals.removeFinished();
    m_resumable.clear();
    const QString path = m_journals.lastJournal();
    if (path.isEmpty())
        return last;
    const Result<JournalContents> read = readJournal(path, {});
    last.error = read ? QString() : journalProblem(path, read.error().text);
    last.path = path;
    if (!read || read->finished)
        return last;
    const JournalContents &run = *read;
    m_resumable = path;
    last.resumable = true;
    last.done = run.recordCount;
    last.total = combinationCount(run.inputs);
    return last;
}

Result<ReportFiles> SearchSession::writeReport(const QString &baseName, const QStringList &prefixes,
                                               const QStringList &suffixes, const QString &folder,
                                               const QString &fallbackFolder,
                                               const std::function<void(const QString &)> &setCaption)
{
    ReportWriter writer(setCaption);
    Result<ReportFiles> written = Error();
    if (!m_fromJournal) {
        written = writer.SaveResults(baseName, ReportInput {m_results, m_links.entries(), prefixes, suffixes},
                                     folder, fallbackFolder);
    } else {
        // The run kept nothing of its names: its journal holds every one, in order.
        ReportSource source = journalReportSource(m_runLog.journalPath(), m_inputs);
        source.prefixes = prefixes;
        source.suffixes = suffixes;
        written = writer.SaveResults(baseName, source, folder, fallbackFolder);
    }
    m_reportFailed = m_reportFailed || (m_awaitingReport && !written);
    return written;
}

} // namespace zandrel
