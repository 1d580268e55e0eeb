#pragma once

#include "FormSettings.h"
#include "LinkOpener.h"
#include "ReportSaver.h"
#include "ResultLists.h"
#include "SearchScope.h"
#include "Services.h"
#include "WhoState.h"
#include "WordLists.h"
#include "platform/AppInfo.h"
#include "search/Preferences.h"
#include "search/SearchSession.h"
#include "verdict/ServerTable.h"

#include <QObject>
#include <QSet>

#include <optional>

namespace zandrel {

// "Searching 3 of 12"
QString searchingCaption(qint64 count, qint64 total);
// "Zandrel - 12 Domains Searched"
QString searchedCaption(const QString &product, qint64 total);
// The line put in the response box before each combination's lookup.
QString combinationBanner(const QString &term);

// The window's procedures, named as the program's users and maintainers know them. The window
// forwards its control events here; nothing in here needs a widget. Searches run in the session,
// which asks many servers side by side; this binds what it commits to the window's state.
class WhoController : public QObject
{
    Q_OBJECT
public:
    explicit WhoController(const Services &services, QObject *parent = nullptr);
    ~WhoController() override;

    WhoState &state() { return m_state; }
    const Services &services() const { return m_services; }
    SearchSession &session() { return m_session; }
    FormSettings &formSettings() { return m_formSettings; }
    WordLists &wordLists() { return m_wordLists; }
    SearchScope &scope() { return m_scope; }
    ReportSaver &report() { return m_report; }
    LinkOpener &opener() { return m_opener; }
    ResultLists &lists() { return m_lists; }
    bool searchRunning() const { return m_session.running(); }

    // Start-up: settings, word lists and editor command, in that order; then the last run's journal.
    void Form_Load();

    // Single lookup.
    void bLookUp_Click();
    void SearchCurrent();
    void SearchType_Click(int index);
    void cbStopRunning_Click();

    // The last lookup committed, of a search or a single lookup.
    const LookupRecord &lastRecord() const { return m_lastRecord; }

    // The verdicts of the last combination search (and of its names asked again).
    const RunTally &tally() const { return m_session.tally(); }
    QString countsText() const { return m_session.tally().countsText(); }

    // The combination search and its report.
    void SearchCombinations_Click();
    // Continues the last run, stopped or cut off, from its journal.
    void mResumeSearch_Click();
    // The report of the lists as they are now; the browser opens it unless a search runs.
    void mWriteReport_Click();
    bool canResume() const { return !searchRunning() && !m_session.resumable().isEmpty(); }
    const RunLog &runLog() const { return m_session.runLog(); }

    // Menus and label presses.
    void mExit_Click();
    void mClearResponse_Click();
    void mSearchUnanswered_Click();

    // The window is closing: a search under way ends now.
    void closing();

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);
    void exitRequested();
    // "free N · taken N · not answered N" for the status bar.
    void countsChanged(const QString &text);
    // Every finished lookup of a run whose name got a verdict, in order.
    void recorded(const LookupRecord &record);
    // A search started or ended; whether the last run can be resumed changed.
    void runStateChanged();
    // Combinations done of all, and the time left, during a search.
    void progressChanged(qint64 done, qint64 total, const QString &timeLeft);
    // The check boxes and the form were set from a resumed run's journal.
    void optionsRestored();
    // A search or a single lookup ended.
    void searchEnded();

private:
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
    LookupRecord m_lastRecord;
    enum class RunKind { Single, Combinations, Names } m_runKind = RunKind::Single;
};

} // namespace zandrel
