#pragma once

#include "verdict/ServerTable.h"
#include "verdict/Verdict.h"

#include "platform/Clock.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace zandrel {

class BackOff;
class Clock;
class DnsResolver;
struct DnsAnswer;
class NameLookup;
class Paces;
class Router;
struct LookupPlan;

// How a run asks its names.
struct RunOptions
{
    // The least time from the end of one lookup at a server to the start of the next there.
    int pauseMs = 3000;
    int queryType = 0;
    // Whether a name nobody can register is still sent (the window shows its answer).
    bool sendUnregistrable = true;
    // How many servers are asked at the same time, one lookup each.
    int maxServers = 32;
    // How far past the first name not yet committed names are planned and asked.
    int lookahead = 4096;
    // How long a stopped run still waits for answers already on their way.
    int stopGraceMs = 5000;
    // The number of the first name (a resumed run goes on from there).
    qint64 firstIndex = 1;
    // How a name is called in the line that tells it was given up after Stop; empty: as it is.
    std::function<QString(const QString &)> shownName;
    // The servers names are sent to, as the run was started with (a resume keeps its run's).
    ServerOverrides overrides;
    // Set: DNS is asked for a name's NS records before the name is queued for its registry; a
    // delegated name is taken without the registry. The run shares the resolver's ownership.
    std::shared_ptr<DnsResolver> resolver;
    // Set: every server is paced by its operator's budgets, and a limit holds all the operator's
    // servers. The session shares it from run to run, so what a run learned holds for the next.
    std::shared_ptr<Paces> paces;
    // With paces: where no rate is published, the pace is learned (pauseMs stays the least pause).
    bool autoPace = false;
    // How many times a name is asked in all while its server shows a limit (then it ends
    // rate-limited); each try after the first goes first in its server's queue, after the hold.
    int maxTries = 1;
    // With paces: a name whose operator's count over a window is reached is not waited for; it
    // ends unknown, "quota", with the time the window allows again.
    bool noWait = false;
};

// Asks an ordered list of names through one queue per server: at most one lookup in flight at a
// server, lookups to different servers at the same time, and at least the pause from the end of
// one lookup to the start of the next at the same server (longer while the server is held off).
// Every query goes through the queue of the server it goes to: the IANA server's referrals and a
// registry's RDAP service asked when its WHOIS server cannot be reached included. Every wait is a
// deadline on the clock.
// Results are committed in the list's order, whatever order they finish in, so whoever listens
// sees what a one-at-a-time run would give. The head of the list (the next to commit) shows its
// text as it arrives; the others show theirs whole when their turn comes.
class SearchRun : public QObject
{
    Q_OBJECT
public:
    SearchRun(Router &router, BackOff &backOff, const Clock &clock, const RunOptions &options,
              QObject *parent = nullptr);
    ~SearchRun() override;

    // Names to ask, after those given before. The run is complete once endOfNames() was called and
    // every name is committed.
    void addNames(const QStringList &names);
    void endOfNames();
    void start();
    // No lookup starts any more; lookups under way get the grace to end, then are given up.
    // Results already in are committed in order up to the first that is not; the run ends.
    void stop();
    // Ends the run now: every lookup under way is given up.
    void abort();

    bool running() const { return m_running; }
    // The index the next committed name will get.
    qint64 nextIndex() const { return m_commit; }
    qint64 namesGiven() const { return m_options.firstIndex + m_namesDropped + m_names.size() - 1; }
    // The time the names not yet done still need, reckoned from each server's queue and pace.
    qint64 timeLeftMs() const;

signals:
    // The lookup at `index` is now the one shown: its text follows.
    void begun(qint64 index, const QString &name);
    // Text of the lookup shown.
    void text(const QString &piece);
    // A name's lookup is done, in list order. `answer` is what its server sent.
    void committed(const LookupRecord &record, const QString &answer);
    // The lookup shown was given up after Stop; it is not committed.
    void abandoned(qint64 index, const QString &name);
    void notice(const QString &text);
    // A notice that holds for the rest of the run: DNS not believed in a TLD or not answering, a
    // server holding queries off.
    void warning(const QString &text);
    // The run ended: complete, or stopped (then the names from nextIndex() on are not done).
    void finished(bool complete);

private:
    struct Slot;
    struct Ticket;
    struct Queue;
    struct Referral;
    Slot *slotAt(qint64 index);
    void planMore();
    void plan(qint64 index, const QString &name);
    void planned(qint64 index, LookupPlan plan);
    void listenTo(qint64 index);
    void waitForReferral(qint64 index);
    void referralEnded(const QString &tld);
    void enqueue(qint64 index);
    bool askDns(qint64 index);
    void askDnsFor(qint64 index);
    void sayDnsFailed(const QString &tld, const DnsAnswer &answer);
    void dnsAnswered(qint64 index, const DnsAnswer &answer);
    void wildcardAnswered(const QString &tld, const DnsAnswer &answer);
    void dnsSettled(qint64 index, const QStringList &nameServers);
    void pump(Queue &queue);
    void pumpAll();
    Queue &queueFor(const QString &key);
    void launch(const Ticket &ticket);
    void queueEnded(const QString &key, bool countsForBackOff, bool limited, qint64 retryAfterMs);
    bool limitShown(const QString &key, const NameLookup &job);
    void askAgain(qint64 index);
    void overQuota(Queue &queue, qint64 dueNs);
    QString holdKey(const QString &key) const;
    void lookupEnded(qint64 index);
    void showHead();
    void commitReady();
    void maybeFinish();
    void giveUpAll();

    Router &m_router;
    BackOff &m_backOff;
    const Clock &m_clock;
    RunOptions m_options;
    QStringList m_names; // from firstIndex on; entries are dropped once committed
    qint64 m_namesDropped = 0;
    bool m_namesEnded = false;
    std::map<qint64, std::unique_ptr<Slot>> m_slots; // planned, not yet committed
    QHash<QString, std::shared_ptr<Queue>> m_queues;
    qint64 m_commit = 1; // the next index to commit
    qint64 m_planned = 0; // the last index handed to the router
    int m_inFlight = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_finishing = false;
    bool m_quiet = false; // ended by abort(): nothing more is shown
    Timer m_grace;
    // Referrals under way, by TLD: one question to the IANA server for every name under it.
    QHash<QString, std::shared_ptr<Referral>> m_referrals;
    // Per TLD: whether DNS can settle its names in this run (a zone that answers for a name nobody
    // holds cannot), and the names waiting until that is known.
    struct Zone;
    QHash<QString, std::shared_ptr<Zone>> m_zones;
    QSet<QString> m_dnsFailuresSaid; // the TLDs DNS failed for, each said once
};

} // namespace zandrel
