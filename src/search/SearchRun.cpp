#include "SearchRun.h"
#include "SearchRunParts.h"

#include "lookup/BackOff.h"
#include "lookup/DnsCheck.h"
#include "lookup/Job.h"
#include "lookup/NameLookup.h"
#include "platform/Clock.h"
#include "search/Pace.h"
#include "search/Progress.h"

#include <QMap>
#include <QPointer>

namespace zandrel {

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
    const QString held = holdKey(queue.key);
    const qint64 hold = m_backOff.dueNs(held);
    if (hold > due && hold > now) {
        if (!queue.holdSaid) {
            // The wait comes first: beside the counts and the progress bar only its start shows.
            emit warning(QStringLiteral("Waiting %1 seconds: %2 limited or refused the last query.")
                             .arg(m_backOff.waitMs(held) / 1000)
                             .arg(queue.key));
            queue.holdSaid = true;
        }
        due = hold;
    }
    OperatorPace *pace = m_options.paces ? &m_options.paces->paceOf(queue.key) : nullptr;
    if (pace) {
        const qint64 window = pace->windowDueNs(now);
        if (window > now && m_options.noWait)
            return overQuota(queue, window);
        if (window > now && !queue.holdSaid) {
            emit warning(QStringLiteral("Waiting until %1: %2 allows no more queries before then.")
                             .arg(m_clock.now()
                                      .addMSecs((window - now) / 1'000'000)
                                      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                  m_options.paces->operatorOf(queue.key)));
            queue.holdSaid = true;
        }
        due = std::max(due, pace->dueNs(now, m_options.autoPace));
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
    if (pace)
        pace->started(now);
    launch(ticket);
}

qint64 SearchRun::timeLeftMs() const
{
    // The servers of one operator share its pace: their names are counted together.
    QMap<QString, QueueLoad> byOperator;
    for (const std::shared_ptr<Queue> &queue : m_queues) {
        const qint64 names = qint64(queue->waiting.size()) + (queue->busy ? 1 : 0);
        if (names == 0)
            continue;
        const bool paced = m_options.paces && m_options.autoPace;
        QueueLoad &load = byOperator[paced ? m_options.paces->operatorOf(queue->key) : queue->key];
        load.names += names;
        if (queue->lookups > 0)
            load.lookupMs = std::max(load.lookupMs, queue->lookupNs / queue->lookups / 1'000'000);
        if (paced)
            load.spacingMs = qint64(1000.0 / m_options.paces->paceOf(queue->key).rate());
    }
    const QList<QueueLoad> loads = byOperator.values();
    return zandrel::timeLeftMs(loads, std::max<qint64>(namesGiven() - m_planned, 0), m_options.pauseMs);
}

// A limit shown by one server holds every server of its operator.
QString SearchRun::holdKey(const QString &key) const
{
    return m_options.paces ? m_options.paces->operatorOf(key) : key;
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
    ++slot.tries;
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
    if (m_options.paces)
        m_options.paces->paceOf(key).answered(queue->startNs, queue->lastEndNs);
    queue->holdSaid = false;
    if (countsForBackOff)
        m_backOff.ended(holdKey(key), limited, queue->lastEndNs, m_options.pauseMs, retryAfterMs);
}

void SearchRun::lookupEnded(qint64 index)
{
    Slot *slot = slotAt(index);
    if (!slot)
        return;
    NameLookup &job = *slot->job;
    const bool limit = !slot->key.isEmpty() && limitShown(slot->key, job);
    if (!slot->key.isEmpty())
        queueEnded(slot->key, job.countsForBackOff() || limit, job.limited() || limit, job.retryAfterMs());
    if (limit && !job.fallback() && !job.abandoned() && !m_stopping && slot->tries < m_options.maxTries) {
        askAgain(index);
        return;
    }
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

// Whether how `job` ended shows its server's limit: the row's rate-limit phrase, HTTP 429 or 503, a
// connection refused or reset by a server that answered before, an answer cut short. The
// operator's pace learns from it.
bool SearchRun::limitShown(const QString &key, const NameLookup &job)
{
    if (!m_options.paces || job.abandoned())
        return false;
    const bool limit
        = job.rateLimited() || job.cutShort() || (job.refused() && m_options.paces->answeredBefore(key));
    if (!limit && !job.refused() && job.countsForBackOff())
        m_options.paces->answered(key);
    if (limit || job.countsForBackOff())
        m_options.paces->paceOf(key).ended(limit);
    return limit;
}

// --no-wait: the names waiting for a window that is full end now, unasked.
void SearchRun::overQuota(Queue &queue, qint64 dueNs)
{
    const QDateTime until = m_clock.nowUtc().addMSecs((dueNs - m_clock.monotonicNs()) / 1'000'000);
    const std::deque<Ticket> waiting = std::exchange(queue.waiting, {});
    for (const Ticket &ticket : waiting) {
        Slot *slot = ticket.referralTld.isEmpty() ? slotAt(ticket.index) : nullptr;
        if (!slot) {
            queue.waiting.push_back(ticket); // a referral has no window of its own to wait for
            continue;
        }
        slot->state = Slot::State::Done;
        slot->quotaUntil = until;
        slot->settledText = QStringLiteral("%1: not asked; %2 allows no more queries before %3 (UTC).\r\n")
                                .arg(slot->name, m_options.paces->operatorOf(queue.key),
                                     until.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    }
    commitReady();
    // Not from here: pump() may be deep in planning names.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_running || m_stopping)
                return;
            planMore();
            maybeFinish();
        },
        Qt::QueuedConnection);
}

// A name its server throttled waits for the hold, then goes first in the queue.
void SearchRun::askAgain(qint64 index)
{
    Slot &slot = *slotAt(index);
    const QString note = QStringLiteral("%1 was asked again after the server's limit.\r\n").arg(slot.name);
    auto next = std::make_unique<NameLookup>(slot.job->plan(), m_router, slot.job->shownText() + note);
    discard(slot.job, this);
    slot.job = std::move(next);
    slot.job->setAutoDelete(false);
    listenTo(index);
    slot.state = Slot::State::Queued;
    if (slot.shown)
        emit text(note);
    queueFor(slot.key).waiting.push_front({index, {}});
    pumpAll();
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
        if (slot->quotaUntil.isValid()) {
            record.name = slot->name;
            record.judged = slot->job->plan().judged;
            record.server = slot->job->plan().recordServer;
            record.verdict = Verdict::unknown(UnknownReason::Quota);
            record.detail = QStringLiteral("allowed again at ") + slot->quotaUntil.toString(Qt::ISODate);
        } else if (!slot->settledText.isEmpty()) {
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

} // namespace zandrel
