#include "SearchRun.h"

#include "lookup/BackOff.h"
#include "lookup/DnsCheck.h"
#include "lookup/Job.h"
#include "lookup/NameLookup.h"
#include "platform/Clock.h"
#include "search/Progress.h"

#include <QPointer>

namespace zandrel {

struct SearchRun::Slot
{
    enum class State { Planning, Referral, Dns, Queued, Running, Done };
    QString name;
    State state = State::Planning;
    std::unique_ptr<NameLookup> job;
    std::unique_ptr<DnsCheck> dns;
    QString settledText; // the line a name DNS settled shows; its record names server "dns"
    QString key; // its server's queue; empty: it asks none
    bool shown = false; // it is, or was, the lookup shown
};

// What waits in a server's queue: a name's lookup, or a question to the IANA server about a TLD.
struct SearchRun::Ticket
{
    qint64 index = 0;
    QString referralTld;
};

struct SearchRun::Queue
{
    QString key;
    std::deque<Ticket> waiting;
    bool busy = false;
    qint64 lastEndNs = -1; // on the clock's monotonic count; -1: nothing asked there yet
    bool holdSaid = false; // the back-off's wait was told
    std::unique_ptr<Timer> timer;
    qint64 startNs = 0; // when the lookup under way started
    qint64 lookups = 0; // ended, and the time they took
    qint64 lookupNs = 0;
};

struct SearchRun::Referral
{
    QString key;
    std::unique_ptr<WhoisLookup> job;
    QList<qint64> waiting;
};

struct SearchRun::Zone
{
    enum class Trust { Asking, Trusted, Untrusted };
    Trust trust = Trust::Asking;
    std::unique_ptr<DnsCheck> check;
    QList<qint64> waiting;
};

SearchRun::SearchRun(Router &router, BackOff &backOff, const Clock &clock, const RunOptions &options,
                     QObject *parent)
    : QObject(parent)
    , m_router(router)
    , m_backOff(backOff)
    , m_clock(clock)
    , m_options(options)
    , m_commit(options.firstIndex)
    , m_planned(options.firstIndex - 1)
    , m_grace(clock, [this] { giveUpAll(); })
{ }

SearchRun::~SearchRun()
{
    // Jobs still under way end with the run, quietly.
    for (auto &[index, slot] : m_slots) {
        discard(slot->job, this);
        discard(slot->dns, this);
    }
    for (const std::shared_ptr<Referral> &referral : std::as_const(m_referrals))
        discard(referral->job, this);
    for (const std::shared_ptr<Zone> &zone : std::as_const(m_zones))
        discard(zone->check, this);
}

void SearchRun::addNames(const QStringList &names)
{
    m_names += names;
    if (m_running)
        planMore();
}

void SearchRun::endOfNames()
{
    m_namesEnded = true;
    if (m_running)
        maybeFinish();
}

void SearchRun::start()
{
    if (m_running || m_finishing)
        return;
    m_running = true;
    planMore();
    maybeFinish();
}

SearchRun::Slot *SearchRun::slotAt(qint64 index)
{
    const auto found = m_slots.find(index);
    return found == m_slots.end() ? nullptr : found->second.get();
}

// Plans names up to the lookahead past the first one not committed.
void SearchRun::planMore()
{
    while (!m_stopping && m_planned < namesGiven() && m_planned - m_commit + 1 < m_options.lookahead) {
        const qint64 index = ++m_planned;
        auto slot = std::make_unique<Slot>();
        slot->name = m_names.at(index - m_options.firstIndex - m_namesDropped);
        const QString name = slot->name;
        m_slots.emplace(index, std::move(slot));
        plan(index, name);
    }
}

void SearchRun::plan(qint64 index, const QString &name)
{
    QPointer<SearchRun> self(this);
    m_router.plan(name, m_options.queryType, m_options.sendUnregistrable, m_options.overrides,
                  [self, index](LookupPlan plan) {
                      if (self)
                          self->planned(index, std::move(plan));
                  });
}

void SearchRun::planned(qint64 index, LookupPlan plan)
{
    Slot *slot = slotAt(index);
    if (!slot || m_stopping)
        return;
    discard(slot->job, this);
    slot->job = std::make_unique<NameLookup>(std::move(plan), m_router);
    slot->job->setAutoDelete(false);
    NameLookup *job = slot->job.get();
    slot->key = job->plan().serverKey;
    if (job->plan().via == LookupPlan::Via::Referral) {
        waitForReferral(index);
        return;
    }
    listenTo(index);
    if (askDns(index))
        return;
    enqueue(index);
}

// The head's text is shown as it arrives; every lookup's end is heard.
void SearchRun::listenTo(qint64 index)
{
    NameLookup *job = slotAt(index)->job.get();
    connect(job, &NameLookup::text, this, [this, index](const QString &piece) {
        const Slot *slot = slotAt(index);
        if (slot && slot->shown && slot->state == Slot::State::Running)
            emit text(piece);
    });
    connect(job, &Job::result, this, [this, index] { lookupEnded(index); });
}

// A name under a TLD the table lacks waits for one question to the IANA server, which waits its
// turn in that server's queue like any other query.
void SearchRun::waitForReferral(qint64 index)
{
    Slot &slot = *slotAt(index);
    slot.state = Slot::State::Referral;
    const QString tld = slot.job->plan().referralTld;
    std::shared_ptr<Referral> &referral = m_referrals[tld];
    if (referral) {
        referral->waiting << index;
        return;
    }
    referral = std::make_shared<Referral>();
    referral->key = slot.key;
    referral->waiting << index;
    Queue &queue = queueFor(slot.key);
    queue.waiting.push_back({0, tld});
    pump(queue);
}

void SearchRun::referralEnded(const QString &tld)
{
    const std::shared_ptr<Referral> referral = m_referrals.take(tld);
    if (!referral)
        return;
    const WhoisLookup &job = *referral->job;
    const LookupEnd how = job.endedHow();
    m_router.referralEnded(tld, job);
    const bool failedToConnect = how == LookupEnd::ConnectionFailed;
    queueEnded(referral->key, how == LookupEnd::Answered || failedToConnect, failedToConnect, 0);
    discard(referral->job, this);
    const std::optional<LookupEnd> failed = how == LookupEnd::Answered ? std::nullopt : std::optional(how);
    QPointer<SearchRun> self(this);
    for (const qint64 index : std::as_const(referral->waiting)) {
        Slot *slot = slotAt(index);
        if (!self || m_stopping)
            return;
        if (!slot || slot->state != Slot::State::Referral)
            continue;
        m_router.planAfterReferral(slot->job->plan(), failed, m_options.overrides,
                                   [self, index](LookupPlan plan) {
                                       if (self)
                                           self->planned(index, std::move(plan));
                                   });
    }
    if (self && !m_stopping) {
        pumpAll();
        maybeFinish();
    }
}

SearchRun::Queue &SearchRun::queueFor(const QString &key)
{
    std::shared_ptr<Queue> &queue = m_queues[key];
    if (!queue) {
        queue = std::make_shared<Queue>();
        queue->key = key;
        Queue *q = queue.get();
        queue->timer = std::make_unique<Timer>(m_clock, [this, q] { pump(*q); });
    }
    return *queue;
}

void SearchRun::enqueue(qint64 index)
{
    Slot &slot = *slotAt(index);
    if (slot.key.isEmpty()) {
        launch({index, {}});
        return;
    }
    Queue &queue = queueFor(slot.key);
    slot.state = Slot::State::Queued;
    queue.waiting.push_back({index, {}});
    pump(queue);
}

// Starts the next query of `queue` when its server may be asked, or sets its deadline for then:
// the pause from the end of the last query there, or the back-off's hold when that is later.
void SearchRun::pump(Queue &queue)
{
    if (m_stopping || queue.busy || queue.waiting.empty() || queue.timer->isActive())
        return;
    if (m_inFlight >= m_options.maxServers)
        return;
    const qint64 now = m_clock.monotonicNs();
    qint64 due = queue.lastEndNs < 0 ? 0 : queue.lastEndNs + m_options.pauseMs * 1'000'000LL;
    const qint64 hold = m_backOff.dueNs(queue.key);
    if (hold > due && hold > now) {
        if (!queue.holdSaid) {
            // The wait comes first: beside the counts and the progress bar only its start shows.
            emit warning(QStringLiteral("Waiting %1 seconds: %2 limited or refused the last query.")
                             .arg(m_backOff.waitMs(queue.key) / 1000)
                             .arg(queue.key));
            queue.holdSaid = true;
        }
        due = hold;
    }
    if (due > now) {
        queue.timer->startUntil(due);
        return;
    }
    const Ticket ticket = queue.waiting.front();
    queue.waiting.pop_front();
    queue.busy = true;
    queue.startNs = now;
    ++m_inFlight;
    launch(ticket);
}

qint64 SearchRun::timeLeftMs() const
{
    QList<QueueLoad> loads;
    for (const std::shared_ptr<Queue> &queue : m_queues) {
        const qint64 names = qint64(queue->waiting.size()) + (queue->busy ? 1 : 0);
        if (names > 0)
            loads.append({names, queue->lookups > 0 ? queue->lookupNs / queue->lookups / 1'000'000 : 0});
    }
    return zandrel::timeLeftMs(loads, std::max<qint64>(namesGiven() - m_planned, 0), m_options.pauseMs);
}

void SearchRun::pumpAll()
{
    for (const std::shared_ptr<Queue> &queue : std::as_const(m_queues)) {
        if (m_inFlight >= m_options.maxServers)
            return;
        pump(*queue);
    }
}

void SearchRun::launch(const Ticket &ticket)
{
    if (!ticket.referralTld.isEmpty()) {
        const std::shared_ptr<Referral> referral = m_referrals.value(ticket.referralTld);
        referral->job = m_router.referralLookup(ticket.referralTld);
        connect(referral->job.get(), &Job::result, this,
                [this, tld = ticket.referralTld] { referralEnded(tld); });
        referral->job->start();
        return;
    }
    Slot &slot = *slotAt(ticket.index);
    slot.state = Slot::State::Running;
    if (ticket.index == m_commit)
        showHead();
    slot.job->start();
}

// The server of `key` is free again; its pause runs from now, and the back-off learns how it went.
void SearchRun::queueEnded(const QString &key, bool countsForBackOff, bool limited, qint64 retryAfterMs)
{
    const std::shared_ptr<Queue> queue = m_queues.value(key);
    if (!queue || !queue->busy)
        return;
    queue->busy = false;
    --m_inFlight;
    queue->lastEndNs = m_clock.monotonicNs();
    ++queue->lookups;
    queue->lookupNs += queue->lastEndNs - queue->startNs;
    queue->holdSaid = false;
    if (countsForBackOff)
        m_backOff.ended(key, limited, queue->lastEndNs, m_options.pauseMs, retryAfterMs);
}

void SearchRun::lookupEnded(qint64 index)
{
    Slot *slot = slotAt(index);
    if (!slot)
        return;
    NameLookup &job = *slot->job;
    if (!slot->key.isEmpty())
        queueEnded(slot->key, job.countsForBackOff(), job.limited(), job.retryAfterMs());
    if (job.fallback() && !m_stopping) {
        // The registry's RDAP service is another server: the name waits its turn there.
        auto next = std::make_unique<NameLookup>(*job.fallback(), m_router, job.shownText());
        discard(slot->job, this);
        slot->job = std::move(next);
        slot->job->setAutoDelete(false);
        slot->key = slot->job->plan().serverKey;
        listenTo(index);
        enqueue(index);
        pumpAll();
        return;
    }
    slot->state = Slot::State::Done;
    commitReady();
    if (!m_stopping) {
        planMore();
        pumpAll();
    }
    maybeFinish();
}

// The head is the first name not committed: once it runs, its text is shown as it arrives.
void SearchRun::showHead()
{
    Slot *slot = slotAt(m_commit);
    if (!slot || slot->shown || slot->state == Slot::State::Planning || slot->state == Slot::State::Dns
        || slot->state == Slot::State::Queued)
        return;
    slot->shown = true;
    emit begun(m_commit, slot->name);
    const QString &shown = slot->settledText.isEmpty() ? slot->job->shownText() : slot->settledText;
    if (!shown.isEmpty())
        emit text(shown);
}

void SearchRun::commitReady()
{
    for (;;) {
        showHead();
        const auto found = m_slots.find(m_commit);
        if (found == m_slots.end() || found->second->state != Slot::State::Done
            || found->second->job->abandoned())
            return;
        std::unique_ptr<Slot> slot = std::move(found->second);
        m_slots.erase(found);
        LookupRecord record = slot->job->record();
        if (!slot->settledText.isEmpty()) {
            record = {};
            record.name = slot->name;
            record.verdict = {VerdictKind::Taken, {}};
            record.server = QStringLiteral("dns");
        }
        record.index = m_commit;
        record.checkedAt = m_clock.nowUtc();
        ++m_commit;
        // Names are kept only until they are committed.
        if (m_commit - m_options.firstIndex - m_namesDropped > 1024) {
            const qsizetype drop = m_commit - m_options.firstIndex - m_namesDropped;
            m_names.remove(0, drop);
            m_namesDropped += drop;
        }
        // The scans find a name after a blank, a colon or a line break: the line starts after one.
        emit committed(record,
                       slot->settledText.isEmpty() ? slot->job->answer()
                                                   : QStringLiteral("\r\n") + slot->settledText);
        // The job may be on the stack of this call.
        discard(slot->job, this);
    }
}

void SearchRun::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    for (const std::shared_ptr<Queue> &queue : std::as_const(m_queues)) {
        queue->timer->stop();
        queue->waiting.clear();
    }
    // DNS answers and referrals still out are not waited for: those names were not asked of their
    // registries.
    for (auto &[index, slot] : m_slots)
        discard(slot->dns, this);
    for (const std::shared_ptr<Zone> &zone : std::as_const(m_zones))
        discard(zone->check, this);
    m_zones.clear();
    for (const std::shared_ptr<Referral> &referral : std::as_const(m_referrals)) {
        if (referral->job)
            queueEnded(referral->key, false, false, 0);
        discard(referral->job, this);
    }
    m_referrals.clear();
    m_grace.start(m_options.stopGraceMs);
    maybeFinish();
}

void SearchRun::abort()
{
    if (!m_running)
        return;
    m_quiet = true;
    stop();
    giveUpAll();
}

void SearchRun::giveUpAll()
{
    QList<NameLookup *> running;
    for (auto &[index, slot] : m_slots) {
        if (slot->state == Slot::State::Running)
            running << slot->job.get();
    }
    for (NameLookup *job : std::as_const(running))
        job->abandon(m_quiet ? QString()
                             : QStringLiteral("Lookup abandoned after Stop: %1 was not answered.")
                                   .arg(m_options.shownName ? m_options.shownName(job->plan().name)
                                                            : job->plan().name));
    maybeFinish();
}

void SearchRun::maybeFinish()
{
    if (!m_running || m_finishing)
        return;
    bool complete = m_namesEnded && m_commit > namesGiven();
    if (!complete && !m_stopping)
        return;
    if (!complete) {
        for (const auto &[index, slot] : m_slots) {
            if (slot->state == Slot::State::Running)
                return; // still within the grace
        }
    }
    m_finishing = true;
    m_grace.stop();
    const Slot *head = slotAt(m_commit);
    const bool headAbandoned = head && head->shown && head->job && head->job->abandoned();
    const QString headName = head ? head->name : QString();
    for (auto &[index, slot] : m_slots) {
        discard(slot->job, this);
        discard(slot->dns, this);
    }
    m_slots.clear();
    m_running = false;
    if (headAbandoned)
        emit abandoned(m_commit, headName);
    emit finished(complete);
}

// Asks DNS first where the run says so: for a name its registry would be asked about, whose TLD
// zone does not answer for every name. Returns whether the name waits for DNS.
bool SearchRun::askDns(qint64 index)
{
    Slot &slot = *slotAt(index);
    const LookupPlan &plan = slot.job->plan();
    if (!m_options.resolver || slot.key.isEmpty() || !plan.judged || plan.unregistrable)
        return false;
    const qsizetype dot = plan.ace.lastIndexOf(u'.');
    if (dot <= 0 || dot == plan.ace.size() - 1)
        return false;
    const QString tld = plan.ace.mid(dot + 1).toLower();
    std::shared_ptr<Zone> &zone = m_zones[tld];
    if (!zone) {
        // A name nobody holds tells whether the zone answers for every name.
        zone = std::make_shared<Zone>();
        zone->check = std::make_unique<DnsCheck>(*m_options.resolver, randomLabel() + u'.' + tld);
        zone->check->setAutoDelete(false);
        connect(zone->check.get(), &Job::result, this,
                [this, tld](Job *job) { wildcardAnswered(tld, static_cast<DnsCheck *>(job)->answer()); });
        zone->check->start();
    }
    if (zone->trust == Zone::Trust::Untrusted)
        return false;
    slot.state = Slot::State::Dns;
    if (zone->trust == Zone::Trust::Asking) {
        zone->waiting << index;
        return true;
    }
    askDnsFor(index);
    return true;
}

void SearchRun::askDnsFor(qint64 index)
{
    Slot &slot = *slotAt(index);
    slot.dns = std::make_unique<DnsCheck>(*m_options.resolver, slot.job->plan().ace);
    slot.dns->setAutoDelete(false);
    connect(slot.dns.get(), &Job::result, this,
            [this, index](Job *job) { dnsAnswered(index, static_cast<DnsCheck *>(job)->answer()); });
    slot.dns->start();
}

void SearchRun::wildcardAnswered(const QString &tld, const DnsAnswer &answer)
{
    const std::shared_ptr<Zone> zone = m_zones.value(tld);
    if (!zone || m_stopping)
        return;
    discard(zone->check, this);
    // Only a zone that says a name nobody holds is not delegated can be believed about the others.
    if (answer.outcome == DnsAnswer::Outcome::NotDelegated) {
        zone->trust = Zone::Trust::Trusted;
    } else {
        zone->trust = Zone::Trust::Untrusted;
        if (answer.outcome == DnsAnswer::Outcome::Delegated)
            emit warning(
                QStringLiteral("DNS answers for every name in .%1: its names are asked of the registry.")
                    .arg(tld));
        else
            sayDnsFailed(tld, answer);
    }
    const QList<qint64> waiting = std::exchange(zone->waiting, {});
    for (const qint64 index : waiting) {
        if (m_stopping)
            return;
        Slot *slot = slotAt(index);
        if (!slot || slot->state != Slot::State::Dns)
            continue;
        if (zone->trust == Zone::Trust::Untrusted) {
            enqueue(index);
            continue;
        }
        askDnsFor(index);
    }
}

// Once per TLD: a resolver may fail for one zone and answer for the others.
void SearchRun::sayDnsFailed(const QString &tld, const DnsAnswer &answer)
{
    if (m_dnsFailuresSaid.contains(tld))
        return;
    m_dnsFailuresSaid.insert(tld);
    emit warning(QStringLiteral("DNS did not answer for .%1 (%2): its names go to the registry.")
                     .arg(tld, answer.detail));
}

void SearchRun::dnsAnswered(qint64 index, const DnsAnswer &answer)
{
    Slot *slot = index > 0 ? slotAt(index) : nullptr;
    if (slot && answer.outcome == DnsAnswer::Outcome::Unreachable)
        sayDnsFailed(slot->job->plan().ace.section(u'.', -1).toLower(), answer);
    if (!slot || slot->state != Slot::State::Dns || m_stopping)
        return;
    discard(slot->dns, this);
    if (answer.outcome == DnsAnswer::Outcome::Delegated)
        dnsSettled(index, answer.nameServers);
    else
        enqueue(index); // DNS never makes a name free: its registry says
}

void SearchRun::dnsSettled(qint64 index, const QStringList &nameServers)
{
    Slot &slot = *slotAt(index);
    slot.state = Slot::State::Done;
    slot.key.clear();
    slot.settledText = delegatedLine(slot.job->plan().name, nameServers) + QStringLiteral("\r\n");
    commitReady();
    planMore();
    maybeFinish();
}

} // namespace zandrel
