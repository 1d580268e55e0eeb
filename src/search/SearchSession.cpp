#include "SearchSession.h"

#include "harvest/UniqueList.h"
#include "platform/Clock.h"
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
    if (!inputs.comSuffix)
        return combinationNames(inputs.prefixes, inputs.suffixes, false);
    QStringList names;
    names.reserve(combinationCount(inputs));
    for (const QString &prefix : inputs.prefixes) {
        for (const QString &suffix : inputs.suffixes) {
            for (const QString &tld : inputs.tlds)
                names << prefix + suffix + u'.' + tld;
        }
    }
    return names;
}

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
    RunOptions options = m_request;
    options.firstIndex = firstIndex;
    options.overrides = m_router.settings().overrides;
    DnsSettings dns = m_request.dnsSettings;
    // A resumed run routes every name as the run did, whatever the settings say now.
    if (resumed && resumed->routing) {
        options.overrides = *resumed->routing;
        dns.server = resumed->dnsServer;
    } else if (resumed && !resumed->server.isEmpty()) {
        options.overrides.serverOption = resumed->server; // a journal from before routing was kept
    }
    m_scan.setScanning(m_request.scanLists);
    m_keepRecords = m_request.keepRecords;
    m_tally.setKeepNames(m_keepRecords);
    if (dnsFirst) {
        if (!m_resolver || m_resolver->settings() != dns)
            m_resolver = std::make_shared<DnsResolver>(dns);
        options.resolver = m_resolver;
        if (!m_resolver->error().isEmpty())
            emit warning(QStringLiteral("DNS cannot be asked: ") + m_resolver->error());
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

void SearchSession::searchCombinations(const RunInputs &inputs)
{
    if (running())
        return;
    m_inputs = inputs;
    m_inputs.delayMs = m_request.pauseMs;
    m_inputs.dnsFirst = m_request.dnsFirst;
    m_inputs.routing = m_router.settings().overrides;
    m_inputs.dnsServer = m_request.dnsSettings.server;
    m_combinations = true;
    m_tallied = true;
    const QStringList names = combinationNames(m_inputs);
    m_total = names.size();
    // The results stay until Clear All, as the two lists do: a report tells all of them.
    m_tally.clear();
    emit countsChanged(m_tally.countsText());
    if (const Result<void> started = m_runLog.start(m_inputs); !started)
        emit notice(QStringLiteral("The search goes on without a journal: ") + started.error().text);
    // This run is the last one now.
    m_resumable.clear();
    emit progressChanged(0, m_total, QString());
    startRun(names, 1, true, false, m_inputs.dnsFirst);
}

Result<void> SearchSession::resume(const QString &path)
{
    if (running())
        return Error(QStringLiteral("a search is running"));
    const Result<JournalContents> read = readJournal(path);
    if (!read) {
        m_resumable.clear();
        emit runStateChanged();
        return read.error();
    }
    const JournalContents &run = *read;
    m_inputs = run.inputs;
    m_combinations = true;
    m_tallied = true;
    m_tally.clear();
    m_results += run.records; // those the run asked before this start are told once (latestVerdicts)
    for (const LookupRecord &done : run.records) {
        m_scan.restore(done);
        if (done.judged)
            m_tally.record(done.name, done.verdict);
    }
    emit countsChanged(m_tally.countsText());
    emit restored(m_inputs);
    const QStringList names = combinationNames(m_inputs);
    m_total = names.size();
    if (const Result<void> resumed = m_runLog.resume(path, run); !resumed)
        emit notice(QStringLiteral("The search goes on without its journal: ") + resumed.error().text);
    emit progressChanged(run.records.size(), m_total, QString());
    startRun(names.mid(run.records.size()), run.nextIndex(), true, false, m_inputs.dnsFirst, &m_inputs);
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
    if (const Result<void> written = m_journaled ? m_runLog.record(record) : Result<void>(); !written)
        emit notice(QStringLiteral("The search goes on without its journal: ") + written.error().text);
    if (m_keepRecords)
        m_results << record;
    if (m_tallied && record.judged) {
        m_tally.record(record.name, record.verdict);
        emit countsChanged(m_tally.countsText());
    }
    emit committed(record);
    if (m_tallied)
        emit progressChanged(record.index, m_total, m_run ? timeLeftText(m_run->timeLeftMs()) : QString());
}

void SearchSession::onFinished(bool complete)
{
    // The run object may be on the stack: it goes once this call has returned.
    m_run.release()->deleteLater();
    emit finished(complete);
    if (m_journaled) {
        // The journal is marked finished only once the report is written.
        // The last group's lines, when they could not be written: a resume asks them again.
        if (const Result<void> ended = complete ? m_runLog.finish(m_clock.now()) : m_runLog.interrupt();
            !ended)
            emit notice(ended.error().text);
        m_resumable = complete ? QString() : m_runLog.journalPath();
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
    const Result<JournalContents> read = readJournal(path);
    last.error = read ? QString() : read.error().text;
    last.path = path;
    if (!read || read->finished)
        return last;
    const JournalContents &run = *read;
    m_resumable = path;
    last.resumable = true;
    last.done = run.records.size();
    last.total = combinationCount(run.inputs);
    return last;
}

Result<ReportFiles> SearchSession::writeReport(const QString &baseName, const QStringList &prefixes,
                                               const QStringList &suffixes, const QString &folder,
                                               const QString &fallbackFolder,
                                               const std::function<void(const QString &)> &setCaption)
{
    ReportWriter writer(setCaption);
    ReportInput input;
    input.records = m_results;
    input.links = m_links.entries();
    input.prefixes = prefixes;
    input.suffixes = suffixes;
    return writer.SaveResults(baseName, input, folder, fallbackFolder);
}

} // namespace zandrel
