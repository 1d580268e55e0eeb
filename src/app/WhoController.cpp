#include "WhoController.h"

#include "platform/Clock.h"
#include "report/Report.h"
#include "report/VerdictLine.h"
#include "search/Preferences.h"

namespace zandrel {

namespace {
QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}
} // namespace

QString searchingCaption(qint64 count, qint64 total)
{
    return QStringLiteral("Searching %1 of %2").arg(count).arg(total);
}

QString searchedCaption(const QString &product, qint64 total)
{
    return QStringLiteral("%1 - %2 Domains Searched").arg(product).arg(total);
}

QString combinationBanner(const QString &term)
{
    return QStringLiteral("\r\n\r\n") + term + QStringLiteral("   ************************\r\n");
}

WhoController::WhoController(const Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_session(routerSettingsFrom(services.settings, services.app.title, services.serverOverride,
                                   services.protocol, services.cacheFolder),
                services.journalFolder, services.clock, m_state.Available, m_state.LinkList)
    , m_formSettings(services, m_state, m_session.request())
    , m_wordLists(services, m_state)
    , m_scope(services, m_state, m_session)
    , m_report(services, m_state, m_session)
    , m_opener(services, m_state)
    , m_lists(m_state, m_session)
{
    connect(&m_wordLists, &WordLists::notice, this, &WhoController::notice);
    connect(&m_scope, &SearchScope::notice, this, &WhoController::notice);
    connect(&m_report, &ReportSaver::notice, this, &WhoController::notice);
    connect(&m_report, &ReportSaver::alert, this, &WhoController::alert);
    connect(&m_opener, &LinkOpener::notice, this, &WhoController::notice);
    connect(&m_lists, &ResultLists::notice, this, &WhoController::notice);

    connect(&m_session, &SearchSession::begun, this, &WhoController::onBegun);
    connect(&m_session, &SearchSession::text, &m_state.tResponse, &ResponseBox::append);
    connect(&m_session, &SearchSession::committed, this, &WhoController::onCommitted);
    connect(&m_session, &SearchSession::finished, this, &WhoController::onFinished);
    connect(&m_session, &SearchSession::restored, this, &WhoController::restoreOptions);
    connect(&m_session, &SearchSession::notice, this, &WhoController::notice);
    connect(&m_session, &SearchSession::warning, this,
            [this](const QString &text) { emit alert({.text = text}); });
    connect(&m_session, &SearchSession::countsChanged, this, &WhoController::countsChanged);
    connect(&m_session, &SearchSession::progressChanged, this, &WhoController::progressChanged);
    connect(&m_session, &SearchSession::runStateChanged, this, &WhoController::runStateChanged);
}

void WhoController::Form_Load()
{
    m_formSettings.load();
    m_wordLists.load();
    m_scope.load();
    findUnfinishedRun();
}

// The last run's journal, when that run was cut off; finished runs' journals go after a month.
void WhoController::findUnfinishedRun()
{
    const SearchSession::LastRun last = m_session.findLastRun();
    if (!last.error.isEmpty())
        emit alert({.text = QStringLiteral("Cannot resume the last search: ") + last.error});
    if (!last.resumable)
        return;
    emit alert({.text = QStringLiteral("Unfinished search (%1 of %2): File > Resume Search")
                            .arg(last.done)
                            .arg(last.total),
                .action = Alert::Action::ResumeSearch});
    emit runStateChanged();
}

bool WhoController::refuseWhileRunning()
{
    if (!searchRunning())
        return false;
    emit notice(QStringLiteral("A combination search is running already."));
    return true;
}

void WhoController::bLookUp_Click()
{
    if (searchRunning()) {
        emit notice(QStringLiteral("A combination search is running: press Stop first."));
        return;
    }
    if (m_state.ClearEachSearch)
        m_state.tResponse.setText(QString());
    SearchCurrent();
}

// One lookup of the search box's term: routed by its TLD, asked in the registry's own form.
void WhoController::SearchCurrent()
{
    if (searchRunning())
        return;
    m_session.request().queryType = m_state.QueryType;
    m_session.request().sendUnregistrable = true;
    m_runKind = RunKind::Single;
    // A single lookup asks the first of the TLDs.
    const QString tld = m_state.Tlds.value(0, QStringLiteral("com"));
    m_session.lookUpOne(m_state.SearchTerm.text() + (m_state.ComSuffix ? u'.' + tld : QString()));
}

void WhoController::onBegun(qint64 index, qint64 total, const QString &term)
{
    if (m_runKind == RunKind::Single)
        return;
    // Each answer but the run's first replaces the one before, when the box is cleared each time.
    if (m_state.ClearEachSearch && m_shownInRun > 0)
        m_state.tResponse.setText(QString());
    ++m_shownInRun;
    m_state.caption.setText(searchingCaption(index, total));
    if (m_runKind == RunKind::Combinations) {
        const auto [prefix, suffix] = m_session.combination(index);
        m_state.Prefix.setEditText(prefix);
        m_state.Suffix.setEditText(suffix);
    }
    m_state.SearchTerm.setText(term);
    m_state.tResponse.append(combinationBanner(term));
}

void WhoController::onCommitted(const LookupRecord &record)
{
    if (m_runKind == RunKind::Single) {
        // A single lookup says its verdict in the status bar.
        const QString line = verdictLine(record);
        if (!line.isEmpty())
            emit notice(line);
    } else {
        m_state.tResponse.removeAll(m_state.Nag.text());
    }
    m_state.tResponse.scrollToStart();
}

void WhoController::onFinished(bool complete)
{
    if (m_runKind != RunKind::Single && complete) {
        if (m_state.ClearEachSearch)
            m_state.tResponse.setText(QString());
        m_state.tResponse.removeAll(trimSpaces(m_state.Nag.text()));
        m_state.caption.setText(searchedCaption(m_services.app.title, m_session.total()));
        if (m_runKind == RunKind::Combinations && m_state.Summary)
            m_report.SaveResults(reportStamp(m_services.clock.now()));
    }
    emit searchEnded();
}

void WhoController::SearchType_Click(int index)
{
    m_state.QueryType = index;
}

void WhoController::cbStopRunning_Click()
{
    m_session.stop();
}

void WhoController::SearchCombinations_Click()
{
    if (refuseWhileRunning())
        return;
    // An empty list with nothing typed in its box is no list of one empty word: nothing is asked.
    for (const auto &[list, which] :
         {std::pair {&m_state.Prefix, "prefix"}, std::pair {&m_state.Suffix, "suffix"}}) {
        if (list->count() == 0 && list->editText().isEmpty()) {
            emit notice(QStringLiteral("The %1 list is empty: Refresh (F5) reads it again from its file.")
                            .arg(QLatin1StringView(which)));
            return;
        }
    }
    // A list left empty pairs the text of its box, which the list then shows.
    if (m_state.Prefix.count() == 0)
        m_state.Prefix.append(m_state.Prefix.editText());
    if (m_state.Suffix.count() == 0)
        m_state.Suffix.append(m_state.Suffix.editText());
    m_runKind = RunKind::Combinations;
    m_shownInRun = 0;
    m_session.request().queryType = m_state.QueryType;
    m_session.request().sendUnregistrable = true;
    m_session.searchCombinations(m_scope.combinationInputs());
}

void WhoController::mSearchUnanswered_Click()
{
    if (refuseWhileRunning())
        return;
    if (m_session.tally().unknownNames().isEmpty()) {
        emit notice(QStringLiteral("Every name of the last search was answered."));
        return;
    }
    m_runKind = RunKind::Names;
    m_shownInRun = 0;
    m_session.request().queryType = m_state.QueryType;
    m_session.searchUnanswered();
}

void WhoController::mResumeSearch_Click()
{
    if (refuseWhileRunning())
        return;
    if (m_session.resumable().isEmpty()) {
        emit notice(QStringLiteral("There is no unfinished search to resume."));
        return;
    }
    m_runKind = RunKind::Combinations;
    m_shownInRun = 0;
    if (const Result<void> resumed = m_session.resume(m_session.resumable()); !resumed)
        emit notice(QStringLiteral("Cannot resume the last search: ") + resumed.error().text);
}

// Puts back the lists and options of a run from its journal, before it goes on.
void WhoController::restoreOptions(const RunInputs &inputs)
{
    m_state.Prefix.setEntries(inputs.prefixes);
    m_state.Suffix.setEntries(inputs.suffixes);
    m_state.ComSuffix = inputs.comSuffix;
    m_state.ClearEachSearch = inputs.clearEachSearch;
    m_state.QueryType = inputs.queryType == PlainWhois ? PlainWhois : DomainSearch;
    m_state.Nag.setText(inputs.removalText);
    m_session.request().queryType = m_state.QueryType;
    m_session.request().sendUnregistrable = true;
    m_scope.restoreTlds(inputs.tlds);
    emit optionsRestored();
}

void WhoController::mWriteReport_Click()
{
    if (!m_report.hasResults()) {
        emit notice(QStringLiteral("There are no results to write yet."));
        return;
    }
    // A running search keeps its caption once the report is written.
    const QString caption = m_state.caption.text();
    m_report.SaveResults(reportStamp(m_services.clock.now()), !searchRunning());
    if (searchRunning())
        m_state.caption.setText(caption);
}

void WhoController::closing()
{
    m_session.abort();
}

void WhoController::act(const Alert &alert)
{
    switch (alert.action) {
    case Alert::Action::ResumeSearch:
        mResumeSearch_Click();
        break;
    case Alert::Action::OpenFolder:
        m_opener.openFolder(alert.target);
        break;
    case Alert::Action::None:
        break;
    }
}

void WhoController::mClearResponse_Click()
{
    m_state.tResponse.setText(QString());
}

} // namespace zandrel
