#pragma once

#include "WhoState.h"
#include "combine/Journal.h"
#include "combine/Progress.h"
#include "combine/RunLog.h"
#include "combine/TermLookup.h"
#include "platform/AppInfo.h"
#include "platform/TcpClient.h"
#include "verdict/ServerTable.h"
#include "whois/BackOff.h"
#include "whois/RdapBootstrap.h"
#include "whois/RdapLookup.h"
#include "whois/WhoisLookup.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>

namespace zandrel {

class Clipboard;
class CombinationDriver;
class Clock;
class EventYield;
class Launcher;
class ReferralCache;
class SettingsStore;

// What the procedures need of the desktop; tests put stand-ins in.
struct Services
{
    SettingsStore &settings;
    Launcher &launcher;
    Clipboard &clipboard;
    Clock &clock;
    EventYield &yield;
    AppInfo app;
    // The --server option: every lookup goes there. When empty, the [Servers] section, the
    // "WhoisServer" setting, then the registry's own server for the name's TLD.
    QString serverOverride;
    // Where servers learnt from IANA are kept between runs; empty: the user's cache folder.
    QString cacheFolder;
    // The --protocol option.
    Protocol protocol = Protocol::Auto;
    // Where the journals of combination searches are kept; empty: the user's data folder.
    QString journalFolder;
};

// The window's procedures, named as the program's users and maintainers know them. The window
// forwards its control events here; nothing in here needs a widget.
class WhoController : public QObject, public TermLookup
{
    Q_OBJECT
public:
    explicit WhoController(const Services &services, QObject *parent = nullptr);
    ~WhoController() override;

    WhoState &state() { return m_state; }
    const Services &services() const { return m_services; }
    WhoisLookup &lookup() { return m_lookup; }
    RdapLookup &rdapLookup() { return m_rdap; }
    QTimer &delayTimer() { return m_delayTimer; }
    bool delayInvalid() const { return m_delayInvalid; }
    bool searchRunning() const { return m_searchRunning; }

    // Start-up: settings, word lists and editor command, in that order; then the last run's journal.
    void Form_Load();

    // Single lookup and the pause timer.
    void bLookUp_Click();
    bool SearchCurrent();
    void SearchType_Click(int index);
    void cbStopRunning_Click();
    void DelayTimer_Timer();

    // The lookup seam of the combination search.
    void lookUpTerm(bool asIs) override;
    void abandon(const QString &why) override;
    int stopGraceMs() const override { return m_lookup.limits().stopGraceMs; }
    LookupRecord lastRecord() const override { return m_record; }

    // Looks the names up as they are, one after another with the pause, as a new run; writes no
    // report.
    void searchNames(const QStringList &names);
    // A fixed wait between lookups instead of the pause timer (runs without the window).
    void setFixedPauseMs(std::optional<int> ms) { m_fixedPauseMs = ms; }
    // Whether a name nobody can register is still sent (the window shows its answer).
    void setSendUnregistrable(bool send) { m_sendUnregistrable = send; }
    // Off: answers are judged but not scanned for available names and links (a run that prints
    // verdicts only, so the lists would be thrown away).
    void setScanLists(bool scan) { m_scanLists = scan; }
    // Whether the last report asked for was written.
    bool lastReportWritten() const { return m_lastReportWritten; }

    // The verdicts of the last combination search (and of its names asked again).
    const RunTally &tally() const { return m_tally; }
    QString countsText() const { return m_tally.countsText(); }

    // Harvesting at the end of every lookup.
    void createavailablelist();
    void createweblist();

    // Word lists.
    void OpenPrefix();
    void Opensuffix();
    void EditPrefix();
    void EditSuffix();

    // The combination search and its report.
    void SearchCombinations_Click();
    void SaveResults(const QString &baseName);
    // Continues the last run, stopped or cut off, from its journal.
    void mResumeSearch_Click();
    // Looks at the last run's journal and keeps it for Resume when that run was cut off.
    struct LastRun
    {
        bool resumable = false;
        QString error; // why its journal cannot be read; empty when it can, or when there is none
        qint64 done = 0; // combinations in the journal
        qint64 total = 0;
    };
    LastRun findLastRun();
    // The report of the lists as they are now; the browser opens it unless a search runs.
    void mWriteReport_Click();
    bool canResume() const { return !m_searchRunning && !m_resumable.isEmpty(); }
    bool hasResults() const;
    const RunLog &runLog() const { return m_runLog; }

    // Browsing results.
    void LinkList_Click(int row);
    void Available_Click(int row);

    // Menus and label presses.
    void mDirectory_Click();
    void mClearall_Click();
    void mExit_Click();
    void mRefresh_Click();
    void mClearResponse_Click();
    void mAvailable_Click();
    void mSearchUnanswered_Click();
    void mClearLinkList_Click();
    void mGoKeltrow_Click();
    void Label1_MouseDown(Qt::MouseButton button);
    void Label2_MouseDown(Qt::MouseButton button);

    // Where the report goes when the program's folder cannot be written.
    QString reportFallbackFolder() const;

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);
    void exitRequested();
    void delayValidityChanged(bool invalid);
    // "free N · taken N · not answered N" for the status bar.
    void countsChanged(const QString &text);
    // Every finished lookup of a run whose name got a verdict, in order.
    void recorded(const LookupRecord &record);
    // A combination search started or ended; whether the last run can be resumed changed.
    void runStateChanged();
    // Combinations done of all, and the time left, during a search.
    void progressChanged(qint64 done, qint64 total, const QString &timeLeft);
    // The check boxes and the form were set from a resumed run's journal.
    void optionsRestored();

private:
    void SearchTerm_Change();
    void PrefixPath_Change();
    void SuffixPath_Change();
    void Nag_Change();
    void Prefix_Change();
    void Delay_Change();
    void IPPort1_Ended();
    void loadList(WordCombo &combo, const QString &path);
    void editList(const QString &path);
    void openTarget(const QString &target);
    bool searchTerm(bool asIs);
    Route routeFor(const QString &routedName);
    std::optional<LookupEnd> askIana(const QString &tld);
    bool holdOffFor(const QString &server);
    void decide();
    void record(const LookupRecord &record);
    void runDriver(const std::function<bool(CombinationDriver &)> &body, bool journaled);
    void lookUpNames(const QStringList &names);
    void startJournal(qint64 total);
    void restoreRun(const JournalContents &run);
    void findUnfinishedRun();
    void saveReport(const QString &baseName, bool show);

    // The lookup in progress (or the last one).
    struct Asked
    {
        QString name; // as typed, ".com" appended when asked
        QString ace; // as sent
        bool judged = false; // a domain name: it gets a verdict
        std::optional<QString> unregistrable;
        RegistryRules rules;
        Authority authority; // whether the server asked speaks for the name's registry
        QString server; // "host:port"; empty when none was asked
        bool noServer = false;
        LookupEnd unasked = LookupEnd::NoAnswer; // why, when no server was asked
        bool rdap = false; // asked over RDAP; `server` is the base URL
        qsizetype availableBefore = 0;
        qsizetype linksBefore = 0;
    };
    bool searchRdap(Asked asked, const Route &route);
    bool endUnasked(Asked asked, const QString &lines = {});

    Services m_services;
    WhoState m_state;
    TcpClient m_IPPort1;
    WhoisLookup m_lookup;
    // Asks the IANA server which server serves a TLD; its answers never reach the response box.
    TcpClient m_ianaClient;
    WhoisLookup m_iana;
    std::unique_ptr<ReferralCache> m_referrals;
    QNetworkAccessManager m_network;
    RdapLookup m_rdap;
    RdapBootstrapCache m_bootstrap;
    QTimer m_delayTimer;
    ServerOverrides m_overrides;
    QSet<QString> m_malformedReported;
    Asked m_asked;
    LookupRecord m_record;
    RunTally m_tally;
    BackOff m_backOff;
    QHash<QString, QString> m_freeNames; // ACE name in lower case -> the entry it made
    std::optional<int> m_fixedPauseMs;
    bool m_sendUnregistrable = true;
    bool m_scanLists = true;
    bool m_lastReportWritten = false;
    JournalFolder m_journals;
    RunLog m_runLog;
    RunPace m_pace;
    QString m_resumable; // the journal of the last run while it can be resumed
    bool m_delayInvalid = false;
    bool m_searchRunning = false;
};

// Settings addresses.
namespace keys {
inline const QString Keltrow = QStringLiteral("Keltrow");
inline const QString Application = QStringLiteral("Application");
inline const QString Settings = QStringLiteral("Settings");
inline const QString Location = QStringLiteral("Zandrel");
inline const QString KelEdit = QStringLiteral("KelEdit");
inline const QString PrefixPath = QStringLiteral("PrefixPath");
inline const QString SuffixPath = QStringLiteral("SuffixPath");
inline const QString Nag = QStringLiteral("Nag");
inline const QString SearchTerm = QStringLiteral("SearchTerm");
inline const QString WhoisServer = QStringLiteral("WhoisServer");
inline const QString Servers = QStringLiteral("Servers");
inline const QString Iana = QStringLiteral("iana");
inline const QString RdapBootstrap = QStringLiteral("rdap-bootstrap");
} // namespace keys

// The maker's home page, opened by "Go To Keltrow".
inline const QString KeltrowHomePage = QStringLiteral("http://www.keltrow.com/");

// The editor started on a word list when "KelEdit" is not set.
QString defaultEditorCommand();

} // namespace zandrel
