#include "WhoController.h"

#include "combine/CombinationDriver.h"
#include "combine/WordList.h"
#include "harvest/Harvest.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/EventYield.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"
#include "report/Report.h"
#include "verdict/IanaReferral.h"
#include "verdict/RdapVerdict.h"
#include "verdict/Registrable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace zandrel {

QString defaultEditorCommand()
{
#ifdef Q_OS_WIN
    return QStringLiteral("notepad.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

// Where fetched server facts are kept: the folder the caller names, else the user's cache folder.
static QString cacheFolderOf(const Services &services)
{
    return services.cacheFolder.isEmpty() ? AppInfo::cacheFolder() : services.cacheFolder;
}

WhoController::WhoController(const Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_lookup(m_IPPort1, services.yield)
    , m_iana(m_ianaClient, services.yield)
    , m_referrals(std::make_unique<ReferralCache>(services.clock, cacheFolderOf(services)))
    , m_rdap(m_network, services.yield, services.clock)
    , m_bootstrap(m_network, services.yield, services.clock, cacheFolderOf(services))
    , m_journals(services.journalFolder.isEmpty() ? JournalFolder::standardFolder() : services.journalFolder,
                 services.clock)
    , m_runLog(m_journals)
{
    const QString &title = m_services.app.title;
    m_overrides.serverOption = m_services.serverOverride;
    m_overrides.whoisServer = m_services.settings.value(title, keys::Settings, keys::WhoisServer);
    m_overrides.protocol = m_services.protocol;
    for (const QString &tld : m_services.settings.keys(title, keys::Servers)) {
        if (tld != keys::Iana && tld != keys::RdapBootstrap)
            m_overrides.perTld.insert(tld.toLower(), m_services.settings.value(title, keys::Servers, tld));
    }
    m_bootstrap.setSourceUrl(m_services.settings.value(title, keys::Servers, keys::RdapBootstrap,
                                                       RdapBootstrapCache::defaultSourceUrl()));

    connect(&m_state.SearchTerm, &TextBox::changed, this, &WhoController::SearchTerm_Change);
    connect(&m_state.PrefixPath, &TextBox::changed, this, &WhoController::PrefixPath_Change);
    connect(&m_state.SuffixPath, &TextBox::changed, this, &WhoController::SuffixPath_Change);
    connect(&m_state.Nag, &TextBox::changed, this, &WhoController::Nag_Change);
    connect(&m_state.Delay, &TextBox::changed, this, &WhoController::Delay_Change);
    connect(&m_state.Prefix, &WordCombo::editChanged, this, &WhoController::Prefix_Change);
    connect(&m_state.Suffix, &WordCombo::editChanged, this, &WhoController::Prefix_Change);

    connect(&m_lookup, &WhoisLookup::responseText, &m_state.tResponse, &ResponseBox::append);
    connect(&m_lookup, &WhoisLookup::lookupEnded, this, &WhoController::IPPort1_Ended);
    connect(&m_rdap, &RdapLookup::responseText, &m_state.tResponse, &ResponseBox::append);
    connect(&m_rdap, &RdapLookup::lookupEnded, this, &WhoController::IPPort1_Ended);

    // The pause timer ticks for the whole run, 3000 ms until "Internic Delay:" is edited.
    connect(&m_delayTimer, &QTimer::timeout, this, &WhoController::DelayTimer_Timer);
    m_delayTimer.start(3000);
}

WhoController::~WhoController() = default;

void WhoController::Form_Load()
{
    SettingsStore &settings = m_services.settings;
    const AppInfo &app = m_services.app;
    settings.setValue(keys::Keltrow, keys::Application, keys::Location, app.location());
    m_state.PrefixPath.setText(settings.value(app.description, keys::Settings, keys::PrefixPath,
                                              app.folder + QStringLiteral("/prefix.txt")));
    m_state.SuffixPath.setText(settings.value(app.description, keys::Settings, keys::SuffixPath,
                                              app.folder + QStringLiteral("/suffix.txt")));
    m_state.Nag.setText(settings.value(app.title, keys::Settings, keys::Nag));
    m_state.SearchTerm.setText(settings.value(app.title, keys::Settings, keys::SearchTerm));
    OpenPrefix();
    Opensuffix();
    m_state.EditorCommand
        = settings.value(keys::Keltrow, keys::Application, keys::KelEdit, defaultEditorCommand());
    findUnfinishedRun();
}

// The last run's journal, when that run was cut off; finished runs' journals go after a month.
void WhoController::findUnfinishedRun()
{
    m_journals.removeFinished();
    const LastRun last = findLastRun();
    if (!last.error.isEmpty())
        emit notice(QStringLiteral("Cannot resume the last search: ") + last.error);
    if (!last.resumable)
        return;
    emit notice(
        QStringLiteral("Unfinished search (%1 of %2): File > Resume Search").arg(last.done).arg(last.total));
    emit runStateChanged();
}

WhoController::LastRun WhoController::findLastRun()
{
    LastRun last;
    m_resumable.clear();
    const QString path = m_journals.lastJournal();
    if (path.isEmpty())
        return last;
    const JournalContents run = readJournal(path);
    last.error = run.error;
    if (!run.ok() || run.finished)
        return last;
    m_resumable = path;
    last.resumable = true;
    last.done = run.records.size();
    last.total = qint64(run.inputs.prefixes.size()) * run.inputs.suffixes.size();
    return last;
}

void WhoController::SearchTerm_Change()
{
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::SearchTerm,
                                 m_state.SearchTerm.text());
}

void WhoController::PrefixPath_Change()
{
    m_services.settings.setValue(m_services.app.description, keys::Settings, keys::PrefixPath,
                                 m_state.PrefixPath.text());
}

void WhoController::SuffixPath_Change()
{
    m_services.settings.setValue(m_services.app.description, keys::Settings, keys::SuffixPath,
                                 m_state.SuffixPath.text());
}

void WhoController::Nag_Change()
{
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::Nag, m_state.Nag.text());
}

// Both combo boxes compose the term the same way.
void WhoController::Prefix_Change()
{
    m_state.SearchTerm.setText(m_state.Prefix.editText() + m_state.Suffix.editText());
}

void WhoController::Delay_Change()
{
    const std::optional<int> interval = parseDelayMs(m_state.Delay.text());
    if (interval)
        m_delayTimer.setInterval(*interval);
    if (m_delayInvalid != !interval) {
        m_delayInvalid = !interval;
        emit delayValidityChanged(m_delayInvalid);
    }
}

void WhoController::bLookUp_Click()
{
    if (m_searchRunning) {
        emit notice(QStringLiteral("A combination search is running: press Stop first."));
        return;
    }
    if (m_state.ClearEachSearch)
        m_state.tResponse.setText(QString());
    SearchCurrent();
}

bool WhoController::SearchCurrent()
{
    return searchTerm(false);
}

void WhoController::lookUpTerm(bool asIs)
{
    searchTerm(asIs);
}

void WhoController::abandon(const QString &why)
{
    m_lookup.abandon(why);
    m_rdap.abandon(why);
}

// One lookup of the search box's term: routed by its TLD, asked in the registry's own form.
bool WhoController::searchTerm(bool asIs)
{
    if (!m_state.KeepWebList)
        m_state.LinkList.clear();
    const QString term = m_state.SearchTerm.text();
    const bool appendCom = m_state.ComSuffix && !asIs;
    Asked asked;
    asked.name = term + (appendCom ? QStringLiteral(".com") : QString());
    asked.name.remove(u'\r');
    asked.name.remove(u'\n');
    // In the "Whois" form a registrar or host query is not a name to judge.
    asked.judged = m_state.QueryType == DomainSearch || looksLikeDomainName(asked.name);
    const std::optional<QString> ascii = asciiName(asked.name);
    asked.ace = ascii.value_or(asked.name);
    if (asked.judged)
        asked.unregistrable = unregistrableReason(asked.name);
    asked.availableBefore = m_state.Available.count();
    asked.linksBefore = m_state.LinkList.count();
    if (asked.unregistrable && !m_sendUnregistrable)
        return endUnasked(asked);
    const bool routable = asked.judged && ascii;
    const QString routed = routable ? asked.ace : QStringLiteral("com");
    Route route = routeFor(routed);
    if (route.kind == Route::Kind::AskIana) {
        const std::optional<LookupEnd> failed = askIana(route.tld);
        route = routeFor(routed);
        if (failed) {
            asked.unasked = *failed;
            m_state.tResponse.append(QStringLiteral("The IANA server did not say which server serves .")
                                     + route.tld + QStringLiteral("\r\n"));
        }
    }
    asked.rules = ServerTable::builtIn().judgingRules(route.tld);

    if (route.kind == Route::Kind::Rdap)
        return searchRdap(asked, route);
    // A limited server is not asked again before its wait is over; Stop or closing skips the lookup.
    const QString server = route.kind == Route::Kind::Server
        ? QStringLiteral("%1:%2").arg(route.server.host).arg(route.server.port)
        : QString();
    const bool held = !server.isEmpty() && !holdOffFor(server);
    if (route.kind != Route::Kind::Server || held)
        return endUnasked(asked,
                          route.kind == Route::Kind::NoServer
                              ? QStringLiteral("No WHOIS server is known for .") + route.tld
                                  + QStringLiteral("\r\n")
                              : QString());
    asked.server = server;
    m_asked = asked;
    const QString line = routable ? queryFromTemplate(route.queryTemplate, m_state.QueryType, asked.ace)
                                  : buildQueryLine(m_state.QueryType, term, appendCom);
    m_lookup.setServer(route.server);
    return m_lookup.SearchCurrent(line);
}

// Services under one host share its limits: the back-off holds the host, not the base URL.
static QString rdapServer(const QString &base)
{
    return QUrl(base).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
}

// One lookup over RDAP, at the route's base URL or the one IANA's bootstrap names.
bool WhoController::searchRdap(Asked asked, const Route &route)
{
    QString base = route.rdapBase;
    if (base.isEmpty()) {
        m_bootstrap.refreshIfStale([this] { return m_state.StopRequested; });
        base = m_bootstrap.bootstrap().baseFor(asked.ace);
        if (base.isEmpty()) // a term that is no domain name goes where its routing went
            base = m_bootstrap.bootstrap().baseFor(route.tld);
        const QString problem = m_bootstrap.message();
        if (!problem.isEmpty() && !m_malformedReported.contains(problem)) {
            m_malformedReported.insert(problem);
            emit notice(problem);
        }
    }
    if (base.isEmpty()) {
        QString lines;
        if (m_overrides.protocol == Protocol::Auto)
            lines = QStringLiteral("No WHOIS server is known for .") + route.tld + QStringLiteral("\r\n");
        lines += QStringLiteral("No RDAP service is known for .") + route.tld + QStringLiteral("\r\n");
        // A bootstrap that gives no routes at all is why; a failed refresh alone is not.
        if (m_bootstrap.bootstrap().size() == 0)
            lines += m_bootstrap.message() + QStringLiteral("\r\n");
        return endUnasked(asked, lines);
    }
    // A limited service is not asked again before its wait is over; Stop or closing skips it.
    if (!holdOffFor(rdapServer(base)))
        return endUnasked(asked);
    asked.rdap = true;
    asked.server = base;
    m_asked = asked;
    m_rdap.setLimits(m_lookup.limits());
    m_rdap.setBase(base);
    return m_rdap.SearchCurrent(asked.ace);
}

// A lookup that asks no server: `lines` say why in the response box, and its end comes as a
// lookup's end does, once the caller has returned.
bool WhoController::endUnasked(Asked asked, const QString &lines)
{
    asked.noServer = true;
    m_asked = std::move(asked);
    if (!lines.isEmpty())
        m_state.tResponse.append(lines);
    QMetaObject::invokeMethod(this, &WhoController::IPPort1_Ended, Qt::QueuedConnection);
    return false;
}

Route WhoController::routeFor(const QString &routedName)
{
    Route route = routeName(routedName, ServerTable::builtIn(), m_overrides,
                            [this](const QString &tld) { return m_referrals->server(tld); });
    for (const QString &bad : std::as_const(route.malformed)) {
        if (!m_malformedReported.contains(bad)) {
            m_malformedReported.insert(bad);
            emit notice(
                QStringLiteral("Ignored the server setting %1: it is not HOST or HOST:PORT.").arg(bad));
        }
    }
    return route;
}

// Learns from the IANA server which WHOIS server serves `tld` and keeps it for a week; how the
// exchange failed when it did not answer.
std::optional<LookupEnd> WhoController::askIana(const QString &tld)
{
    const QString setting = m_services.settings.value(m_services.app.title, keys::Servers, keys::Iana,
                                                      QStringLiteral("whois.iana.org"));
    const std::optional<ServerAddress> iana = parseServerAddress(setting);
    if (!iana) {
        emit notice(
            QStringLiteral("Ignored the server setting iana=%1: it is not HOST or HOST:PORT.").arg(setting));
        return LookupEnd::ConnectionFailed;
    }
    m_iana.setLimits(m_lookup.limits());
    m_iana.setServer(*iana);
    const bool sent = m_iana.SearchCurrent(tld + QStringLiteral("\r\n"));
    if (sent)
        m_services.yield.waitUntil([this] { return !m_iana.inProgress(); });
    if (m_iana.inProgress()) {
        m_iana.abandon(QString());
        return sent ? LookupEnd::NoAnswer : LookupEnd::ConnectionFailed;
    }
    if (m_iana.endedHow() != LookupEnd::Answered)
        return m_iana.endedHow();
    m_referrals->insert(tld, parseIanaWhoisServer(m_iana.answer()).value_or(QString()));
    return std::nullopt;
}

// Waits until a server that limited or refused the last query may be asked again; false when
// Stop or closing ended the wait first.
bool WhoController::holdOffFor(const QString &server)
{
    const QDateTime due = m_backOff.dueAt(server);
    Clock &clock = m_services.clock;
    if (!due.isValid() || clock.nowUtc() >= due)
        return true;
    // The wait comes first: beside the counts and the progress bar only the start of a notice shows.
    emit notice(QStringLiteral("Waiting %1 seconds: %2 limited or refused the last query.")
                    .arg(m_backOff.waitMs(server) / 1000)
                    .arg(server));
    EventYield &yield = m_services.yield;
    while (!yield.closing() && !m_state.StopRequested && clock.nowUtc() < due)
        yield.waitUntil([&clock, &due] { return clock.nowUtc() >= due; },
                        int(std::clamp<qint64>(clock.nowUtc().msecsTo(due), 1, 250)));
    return clock.nowUtc() >= due;
}

// The verdict of the lookup that just ended, from its own answer and the rules of its TLD.
void WhoController::decide()
{
    const LookupEnd unasked = m_asked.unasked;
    Verdict verdict = decideVerdict({}, m_asked.ace, m_asked.rules, unasked);
    if (m_asked.rdap) {
        const RdapEnd &end = m_rdap.lastEnd();
        verdict = rdapVerdict(end, m_asked.ace);
        // A server's Retry-After holds it off at least that long, on top of the back-off.
        const bool limited = verdict.reason == reason::RateLimited || end.failed;
        if (limited || (end.status > 0 && !end.cutOff))
            m_backOff.ended(rdapServer(m_asked.server), limited, m_services.clock.nowUtc(),
                            m_delayTimer.interval(), end.retryAfterSeconds.value_or(0) * 1000);
    } else if (!m_asked.noServer) {
        const LookupEnd end = m_lookup.endedHow();
        verdict = decideVerdict(m_lookup.answer(), m_asked.ace, m_asked.rules, end);
        const bool limited = verdict.reason == reason::RateLimited || end == LookupEnd::ConnectionFailed;
        if (limited || end == LookupEnd::Answered)
            m_backOff.ended(m_asked.server, limited, m_services.clock.nowUtc(), m_delayTimer.interval());
    }
    if (m_asked.unregistrable)
        verdict = {VerdictKind::NotRegistrable, *m_asked.unregistrable};
    if (m_asked.judged && verdict.kind == VerdictKind::Free) {
        const QString entry = m_asked.name.toLower();
        m_freeNames.insert(m_asked.ace.toLower(), entry);
        AddAvailableToList(entry, m_state.Available);
    }
    m_record = {};
    m_record.name = m_asked.name;
    m_record.judged = m_asked.judged;
    m_record.verdict = m_asked.judged ? verdict : Verdict {VerdictKind::Unknown, {}};
    m_record.server = m_asked.server;
}

void WhoController::SearchType_Click(int index)
{
    m_state.QueryType = index;
}

void WhoController::cbStopRunning_Click()
{
    m_state.StopRequested = true;
}

void WhoController::DelayTimer_Timer()
{
    if (m_state.DelayPending)
        m_state.DelayPending = false;
}

void WhoController::IPPort1_Ended()
{
    decide();
    if (m_scanLists) {
        createavailablelist();
        createweblist();
    }
    m_state.LookupPending = false;
    m_record.addedAvailable = m_state.Available.entries().mid(m_asked.availableBefore);
    m_record.addedLinks = m_state.LinkList.entries().mid(m_asked.linksBefore);
    m_state.tResponse.scrollToStart();
}

// Only a name whose own lookup found it free is listed, whatever else the text holds.
void WhoController::createavailablelist()
{
    m_state.tResponse.tail().scanAvailable(m_state.tResponse.text(), m_state.Available,
                                           [this](const QString &found) { return m_freeNames.value(found); });
}

void WhoController::createweblist()
{
    m_state.tResponse.tail().scanLinks(m_state.tResponse.text(), m_state.LinkList);
}

void WhoController::loadList(WordCombo &combo, const QString &path)
{
    combo.clear();
    QStringList entries;
    loadWordList(path, entries);
    combo.setEntries(entries);
}

void WhoController::OpenPrefix()
{
    loadList(m_state.Prefix, m_state.PrefixPath.text());
}

void WhoController::Opensuffix()
{
    loadList(m_state.Suffix, m_state.SuffixPath.text());
}

void WhoController::editList(const QString &path)
{
    if (path.isEmpty()) {
        emit notice(QStringLiteral("No word-list file is named in the path box."));
        return;
    }
    // A list that does not exist yet is started empty, so the editor has a file to open.
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        emit notice(QStringLiteral("Could not create %1: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    file.close();
    QStringList words = splitCommandLine(m_state.EditorCommand);
    if (words.isEmpty()) {
        emit notice(QStringLiteral("No editor is set."));
        return;
    }
    const QString program = words.takeFirst();
    // An absolute path never starts with "-", so the editor cannot take it for an option.
    words << QFileInfo(path).absoluteFilePath();
    if (!m_services.launcher.start(program, words))
        emit notice(QStringLiteral("Could not start the editor \"%1\".").arg(program));
}

void WhoController::EditPrefix()
{
    editList(m_state.PrefixPath.text());
}

void WhoController::EditSuffix()
{
    editList(m_state.SuffixPath.text());
}

void WhoController::SearchCombinations_Click()
{
    runDriver(
        [this](CombinationDriver &driver) {
            driver.setStarter([this](qint64 total) {
                m_tally.clear();
                emit countsChanged(m_tally.countsText());
                startJournal(total);
            });
            return driver.run();
        },
        true);
}

void WhoController::searchNames(const QStringList &names)
{
    m_tally.clear();
    lookUpNames(names);
}

void WhoController::mSearchUnanswered_Click()
{
    const QStringList names = m_tally.unknownNames();
    if (names.isEmpty()) {
        emit notice(QStringLiteral("Every name of the last search was answered."));
        return;
    }
    lookUpNames(names);
}

// The given names as they are, with the search's steps and pause, and no report.
void WhoController::lookUpNames(const QStringList &names)
{
    runDriver(
        [this, &names](CombinationDriver &driver) {
            m_pace.start(1, names.size());
            driver.runNames(names);
            return true;
        },
        false);
}

void WhoController::mResumeSearch_Click()
{
    if (m_searchRunning) {
        emit notice(QStringLiteral("A combination search is running already."));
        return;
    }
    if (m_resumable.isEmpty()) {
        emit notice(QStringLiteral("There is no unfinished search to resume."));
        return;
    }
    const QString path = m_resumable;
    const JournalContents run = readJournal(path);
    if (!run.ok()) {
        emit notice(QStringLiteral("Cannot resume the last search: ") + run.error);
        m_resumable.clear();
        emit runStateChanged();
        return;
    }
    restoreRun(run);
    // The run's own server choice holds for the rest of it.
    const QString serverBefore = m_overrides.serverOption;
    if (!run.inputs.server.isEmpty())
        m_overrides.serverOption = run.inputs.server;
    runDriver(
        [this, &run, &path](CombinationDriver &driver) {
            driver.setStarter([this, &run, &path](qint64 total) {
                if (!m_runLog.resume(path, run))
                    emit notice(QStringLiteral("The search goes on without its journal: ")
                                + m_runLog.error());
                m_pace.start(run.nextIndex(), total);
                emit progressChanged(run.records.size(), total, QString());
            });
            return driver.run(run.nextIndex());
        },
        true);
    m_overrides.serverOption = serverBefore;
}

// Puts back the lists, options and verdicts of a run from its journal. Entries the lists hold
// already stay where they are.
void WhoController::restoreRun(const JournalContents &run)
{
    const RunInputs &inputs = run.inputs;
    m_state.Prefix.setEntries(inputs.prefixes);
    m_state.Suffix.setEntries(inputs.suffixes);
    m_state.ComSuffix = inputs.comSuffix;
    m_state.ClearEachSearch = inputs.clearEachSearch;
    m_state.QueryType = inputs.queryType == PlainWhois ? PlainWhois : DomainSearch;
    m_state.Nag.setText(inputs.removalText);
    m_tally.clear();
    for (const LookupRecord &done : run.records) {
        for (const QString &entry : done.addedAvailable)
            m_state.Available.addUnique(entry);
        for (const QString &entry : done.addedLinks)
            m_state.LinkList.addUnique(entry);
        if (done.judged)
            m_tally.record(done.name, done.verdict);
    }
    emit countsChanged(m_tally.countsText());
    emit optionsRestored();
}

void WhoController::startJournal(qint64 total)
{
    RunInputs inputs;
    inputs.prefixes = m_state.Prefix.entries();
    inputs.suffixes = m_state.Suffix.entries();
    inputs.comSuffix = m_state.ComSuffix;
    inputs.clearEachSearch = m_state.ClearEachSearch;
    inputs.queryType = m_state.QueryType;
    inputs.removalText = m_state.Nag.text();
    inputs.server = m_overrides.serverOption.isEmpty() ? m_overrides.whoisServer : m_overrides.serverOption;
    if (!m_runLog.start(inputs))
        emit notice(QStringLiteral("The search goes on without a journal: ") + m_runLog.error());
    // This run is the last one now.
    m_resumable.clear();
    m_pace.start(1, total);
    emit progressChanged(0, total, QString());
}

void WhoController::runDriver(const std::function<bool(CombinationDriver &)> &body, bool journaled)
{
    if (m_searchRunning) {
        emit notice(QStringLiteral("A combination search is running already."));
        return;
    }
    m_searchRunning = true;
    emit runStateChanged();
    CombinationDriver driver(m_state, *this, m_services.yield, m_services.clock, m_services.app.title);
    driver.setFixedPauseMs(m_fixedPauseMs);
    driver.setRecorder([this, journaled](const LookupRecord &done) {
        if (journaled && !m_runLog.record(done))
            emit notice(QStringLiteral("The search goes on without its journal: ") + m_runLog.error());
        record(done);
        emit progressChanged(done.index, m_pace.total(), m_pace.timeLeft(done.index));
    });
    driver.setReporter([this](const QString &stamp) { SaveResults(stamp); });
    const bool complete = body(driver);
    if (journaled) {
        // The journal is marked finished only once the report is written.
        if (complete)
            m_runLog.finish(m_services.clock.now());
        else
            m_runLog.interrupt();
        m_resumable = complete ? QString() : m_runLog.journalPath();
    }
    m_searchRunning = false;
    emit runStateChanged();
}

void WhoController::record(const LookupRecord &done)
{
    if (!done.judged)
        return;
    m_tally.record(done.name, done.verdict);
    emit countsChanged(m_tally.countsText());
    emit recorded(done);
}

bool WhoController::hasResults() const
{
    return m_state.Available.count() > 0 || m_state.LinkList.count() > 0 || !m_runLog.records().isEmpty();
}

void WhoController::mWriteReport_Click()
{
    if (!hasResults()) {
        emit notice(QStringLiteral("There are no results to write yet."));
        return;
    }
    // A running search keeps its caption once the report is written.
    const QString caption = m_state.caption.text();
    saveReport(reportStamp(m_services.clock.now()), !m_searchRunning);
    if (m_searchRunning)
        m_state.caption.setText(caption);
}

QString WhoController::reportFallbackFolder() const
{
    return AppInfo::dataFolder();
}

void WhoController::SaveResults(const QString &baseName)
{
    saveReport(baseName, true);
}

void WhoController::saveReport(const QString &baseName, bool show)
{
    ReportWriter writer(m_services.yield, [this](const QString &text) { m_state.caption.setText(text); });
    ReportInput input;
    input.records = m_runLog.records();
    input.links = m_state.LinkList.entries();
    input.prefixes = m_state.Prefix.entries();
    input.suffixes = m_state.Suffix.entries();
    const ReportResult result
        = writer.SaveResults(baseName, input, m_services.app.folder, reportFallbackFolder());
    m_lastReportWritten = result.ok;
    if (!result.ok) {
        emit notice(QStringLiteral("The report was not written: ") + result.error);
        return;
    }
    if (result.usedFallback)
        emit notice(QStringLiteral("The program's folder cannot be written; the report is in ")
                    + result.folder);
    if (show)
        openTarget(result.htmlPath);
}

void WhoController::openTarget(const QString &target)
{
    if (!m_services.launcher.open(target))
        emit notice(QStringLiteral("Could not open ") + target);
}

void WhoController::LinkList_Click(int row)
{
    if (row < 0 || row >= m_state.LinkList.count())
        return;
    const QString address = QStringLiteral("http://") + m_state.LinkList.at(row);
    openTarget(address);
    m_services.clipboard.setText(address);
}

void WhoController::Available_Click(int row)
{
    Q_UNUSED(row);
    openTarget(QString::fromUtf16(RegistrarHomePage));
}

void WhoController::mDirectory_Click()
{
    openTarget(m_services.app.folder);
}

void WhoController::mClearall_Click()
{
    m_state.Available.clear();
    m_state.Prefix.clear();
    m_state.Suffix.clear();
    m_state.LinkList.clear();
    m_state.tResponse.setText(QString());
}

void WhoController::mExit_Click()
{
    m_services.yield.requestClose();
    emit exitRequested();
}

void WhoController::mRefresh_Click()
{
    OpenPrefix();
    Opensuffix();
}

void WhoController::mClearResponse_Click()
{
    m_state.tResponse.setText(QString());
}

void WhoController::mAvailable_Click()
{
    // Asked for by hand, so the whole text is read again; still only names found free are listed.
    zandrel::createavailablelist(m_state.tResponse.text(), m_state.Available,
                                 [this](const QString &found) { return m_freeNames.value(found); });
}

void WhoController::mClearLinkList_Click()
{
    m_state.LinkList.clear();
}

void WhoController::mGoKeltrow_Click()
{
    openTarget(KeltrowHomePage);
}

void WhoController::Label1_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        EditPrefix();
    else
        OpenPrefix();
}

void WhoController::Label2_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        EditSuffix();
    else
        Opensuffix();
}

} // namespace zandrel
