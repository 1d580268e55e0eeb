#pragma once

#include "Alert.h"
#include "FormSettings.h"
#include "LinkOpener.h"
#include "ReportSaver.h"
#include "ResultLists.h"
#include "SearchScope.h"
#include "Services.h"
#include "WhoState.h"
#include "WordLists.h"
#include "search/SearchSession.h"

#include <QObject>

namespace zandrel {

// "Searching 3 of 12"
QString searchingCaption(qint64 count, qint64 total);
// "Zandrel - 12 Domains Searched"
QString searchedCaption(const QString &product, qint64 total);
// The line put in the response box before each combination's lookup.
QString combinationBanner(const QString &term);

// The window's search procedures, named as the program's users and maintainers know them: the
// single lookup, the combination search, its resumption and its unanswered names asked again.
// Searches run in the session, which asks many servers side by side; this binds what it commits to
// the window's state. The form's other concerns are parts of their own, reached from here, whose
// notices this passes on. Nothing in here needs a widget.
class WhoController : public QObject
{
    Q_OBJECT
public:
    explicit WhoController(const Services &services, QObject *parent = nullptr);

    WhoState &state() { return m_state; }
    const Services &services() const { return m_services; }
    SearchSession &session() { return m_session; }
    FormSettings &formSettings() { return m_formSettings; }
    WordLists &wordLists() { return m_wordLists; }
    SearchScope &scope() { return m_scope; }
    ReportSaver &report() { return m_report; }
    LinkOpener &opener() { return m_opener; }
    ResultLists &lists() { return m_lists; }

    // Start-up: settings, word lists and editor command, the TLDs, in that order; then the last
    // run's journal.
    void Form_Load();

    // Single lookup.
    void bLookUp_Click();
    void SearchType_Click(int index);
    void cbStopRunning_Click();
    bool searchRunning() const { return m_session.running(); }
    // A single lookup, not a search of many names, is under way.
    bool singleLookupRunning() const { return searchRunning() && m_runKind == RunKind::Single; }

    // The combination search.
    void SearchCombinations_Click();
    // Continues the last run, stopped or cut off, from its journal.
    void mResumeSearch_Click();
    void mSearchUnanswered_Click();
    bool canResume() const { return !searchRunning() && !m_session.resumable().isEmpty(); }
    const RunLog &runLog() const { return m_session.runLog(); }
    // "free N · taken N · not answered N": the verdicts of the last combination search (and of
    // its names asked again).
    QString countsText() const { return m_session.tally().countsText(); }
    // The report of the lists as they are now; the browser opens it unless a search runs.
    void mWriteReport_Click();
    // Results > Clear: empties the response box the searches write in.
    void mClearResponse_Click();

    // The window is closing: a search under way ends now.
    void closing();
    // Takes the action a notice in the message bar offers.
    void act(const Alert &alert);

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);
    // A notice that matters until the user has read it, for the message bar.
    void alert(const Alert &alert);
    // "free N · taken N · not answered N" for the status bar.
    void countsChanged(const QString &text);
    // A search started or ended; whether the last run can be resumed changed.
    void runStateChanged();
    // Combinations done of all, and the time left, during a search.
    void progressChanged(qint64 done, qint64 total, const QString &timeLeft);
    // The check boxes and the form were set from a resumed run's journal.
    void optionsRestored();
    // A search or a single lookup ended.
    void searchEnded();

private:
    void SearchCurrent();
    void findUnfinishedRun();
    void onBegun(qint64 index, qint64 total, const QString &term);
    void onCommitted(const LookupRecord &record);
    void onFinished(bool complete);
    void restoreOptions(const RunInputs &inputs);
    bool refuseWhileRunning();

    Services m_services;
    WhoState m_state;
    SearchSession m_session;
    FormSettings m_formSettings;
    WordLists m_wordLists;
    SearchScope m_scope;
    ReportSaver m_report;
    LinkOpener m_opener;
    ResultLists m_lists;
    int m_shownInRun = 0;
    enum class RunKind { Single, Combinations, Names } m_runKind = RunKind::Single;
};

} // namespace zandrel
