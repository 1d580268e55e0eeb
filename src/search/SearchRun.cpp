#include "SearchRun.h"

#include "lookup/BackOff.h"
#include "lookup/DnsCheck.h"
#include "lookup/NameLookup.h"
#include "platform/Clock.h"

#include <QPointer>

namespace zandrel {

struct SearchRun::Slot
{
    enum class State { Planning, Dns, Queued, Running, Done };
    QString name;
    State state = State::Planning;
    std::unique_ptr<NameLookup> job;
    std::unique_ptr<DnsCheck> dns;
    QString settledText; // the line a name DNS settled shows; its record names server "dns"
    QString key; // its server's queue; empty: it asks none
    bool shown = false; // it is, or was, the lookup shown
};

struct SearchRun::Queue
{
    QString key;
    std::deque<qint64> waiting;
    bool busy = false;
    qint64 lastEndNs = -1; // on the run's monotonic clock; -1: nothing asked there yet
    bool holdSaid = false; // the back-off's wait was told
    QTimer timer;
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
{
    m_grace.setSingleShot(true);
    connect(&m_grace, &QTimer::timeout, this, &SearchRun::giveUpAll);
    m_monotonic.start();
}

SearchRun::~SearchRun()
{
    // Jobs still under way end with the run, quietly.
    for (auto &[index, slot] : m_slots) {
        if (slot->job)
            disconnect(slot->job.get(), nullptr, this, nullptr);
    }
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
        QPointer<SearchRun> self(this);
        m_router.plan(name, m_options.queryType, m_options.sendUnregistrable, [self, index](LookupPlan plan) {
            if (!self)
                return;
            Slot *slot = self->slotAt(index);
            if (!slot || self->m_stopping)
                return;
            slot->job = std::make_unique<NameLookup>(std::move(plan), self->m_router);
            self->planned(index);
        });
    }
}

void SearchRun::planned(qint64 index)
{
    Slot &slot = *slotAt(index);
    NameLookup *job = slot.job.get();
    connect(job, &NameLookup::text, this, [this, index](const QString &piece) {
        const Slot *slot = slotAt(index);
        if (slot && slot->shown && slot->state == Slot::State::Running)
            emit text(piece);
    });
    connect(job, &NameLookup::finished, this, [this, index] { lookupEnded(index); });
    slot.key = job->plan().serverKey;
    if (askDns(index))
        return;
    enqueue(index);
}

void SearchRun::enqueue(qint64 index)
{
    Slot &slot = *slotAt(index);
    if (slot.key.isEmpty()) {
        launch(index);
        return;
    }
    std::shared_ptr<Queue> &queue = m_queues[slot.key];
    if (!queue) {
        queue = std::make_shared<Queue>();
        queue->key = slot.key;
        queue->timer.setSingleShot(true);
        queue->timer.setTimerType(Qt::PreciseTimer);
        Queue *q = queue.get();
        connect(&queue->timer, &QTimer::timeout, this, [this, q] { pump(*q); });
    }
    slot.state = Slot::State::Queued;
    queue->waiting.push_back(index);
    pump(*queue);
}

// Starts the next lookup of `queue` when its server may be asked, or sets its timer for then.
void SearchRun::pump(Queue &queue)
{
    if (m_stopping || queue.busy || queue.waiting.empty() || queue.timer.isActive())
        return;
    if (m_inFlight >= m_options.maxServers)
        return;
    // Reckoned in nanoseconds and rounded up, so that no pause is ever a fraction short.
    const qint64 leftNs = queue.lastEndNs < 0
        ? 0
        : queue.lastEndNs + m_options.pauseMs * 1'000'000LL - m_monotonic.nsecsElapsed();
    qint64 wait = leftNs > 0 ? (leftNs + 999'999) / 1'000'000 : 0;
    // A server that limited or refused is held off by the clock, looked at again every quarter second,
    // so a wait of minutes follows the clock the back-off was reckoned by.
    const QDateTime due = m_backOff.dueAt(queue.key);
    const qint64 hold = due.isValid() ? m_clock.nowUtc().msecsTo(due) : 0;
    if (hold > 0 && hold > wait) {
        if (!queue.holdSaid) {
            // The wait comes first: beside the counts and the progress bar only its start shows.
            emit notice(QStringLiteral("Waiting %1 seconds: %2 limited or refused the last query.")
                            .arg(m_backOff.waitMs(queue.key) / 1000)
                            .arg(queue.key));
            queue.holdSaid = true;
        }
        if (m_clock.nowUtc() < due) // the notice may have moved a test's clock
            wait = std::min<qint64>(m_clock.nowUtc().msecsTo(due), 250);
    }
    if (wait > 0) {
        queue.timer.start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
        return;
    }
    const qint64 index = queue.waiting.front();
    queue.waiting.pop_front();
    queue.busy = true;
    ++m_inFlight;
    launch(index);
}

void SearchRun::pumpAll()
{
    for (const std::shared_ptr<Queue> &queue : std::as_const(m_queues)) {
        if (m_inFlight >= m_options.maxServers)
            return;
        pump(*queue);
    }
}

void SearchRun::launch(qint64 index)
{
    Slot &slot = *slotAt(index);
    slot.state = Slot::State::Running;
    if (index == m_commit)
        showHead();
    slot.job->start();
}

void SearchRun::lookupEnded(qint64 index)
{
    Slot *slot = slotAt(index);
    if (!slot)
        return;
    slot->state = Slot::State::Done;
    NameLookup &job = *slot->job;
    if (!slot->key.isEmpty()) {
        Queue &queue = *m_queues.value(slot->key);
        queue.busy = false;
        --m_inFlight;
        queue.lastEndNs = m_monotonic.nsecsElapsed();
        queue.holdSaid = false;
        if (job.countsForBackOff())
            m_backOff.ended(slot->key, job.limited(), m_clock.nowUtc(), m_options.pauseMs,
                            job.retryAfterMs());
    }
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
        slot->job.release()->deleteLater();
    }
}

void SearchRun::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    for (const std::shared_ptr<Queue> &queue : std::as_const(m_queues)) {
        queue->timer.stop();
        queue->waiting.clear();
    }
    // DNS answers still out are not waited for: those names were not asked of their registries.
    for (auto &[index, slot] : m_slots)
        slot->dns.reset();
    m_zones.clear();
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
        if (slot->job) {
            disconnect(slot->job.get(), nullptr, this, nullptr);
            slot->job.release()->deleteLater();
        }
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
    if (!m_options.dns || slot.key.isEmpty() || !plan.judged || plan.unregistrable)
        return false;
    const qsizetype dot = plan.ace.lastIndexOf(u'.');
    if (dot <= 0 || dot == plan.ace.size() - 1)
        return false;
    const QString tld = plan.ace.mid(dot + 1).toLower();
    std::shared_ptr<Zone> &zone = m_zones[tld];
    if (!zone) {
        // A name nobody holds tells whether the zone answers for every name.
        zone = std::make_shared<Zone>();
        zone->check = std::make_unique<DnsCheck>(*m_options.dns);
        connect(zone->check.get(), &DnsCheck::finished, this,
                [this, tld](const DnsAnswer &answer) { wildcardAnswered(tld, answer); });
        zone->check->start(randomLabel() + u'.' + tld);
    }
    if (zone->trust == Zone::Trust::Untrusted)
        return false;
    slot.state = Slot::State::Dns;
    if (zone->trust == Zone::Trust::Asking) {
        zone->waiting << index;
        return true;
    }
    slot.dns = std::make_unique<DnsCheck>(*m_options.dns);
    connect(slot.dns.get(), &DnsCheck::finished, this,
            [this, index](const DnsAnswer &answer) { dnsAnswered(index, answer); });
    slot.dns->start(plan.ace);
    return true;
}

void SearchRun::wildcardAnswered(const QString &tld, const DnsAnswer &answer)
{
    const std::shared_ptr<Zone> zone = m_zones.value(tld);
    if (!zone || m_stopping)
        return;
    zone->check.release()->deleteLater();
    // Only a zone that says a name nobody holds is not delegated can be believed about the others.
    if (answer.outcome == DnsAnswer::Outcome::NotDelegated) {
        zone->trust = Zone::Trust::Trusted;
    } else {
        zone->trust = Zone::Trust::Untrusted;
        if (answer.outcome == DnsAnswer::Outcome::Delegated)
            emit notice(
                QStringLiteral("DNS answers for every name in .%1: its names are asked of the registry.")
                    .arg(tld));
        else
            dnsAnswered(0, answer); // says once that DNS does not answer
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
        slot->dns = std::make_unique<DnsCheck>(*m_options.dns);
        connect(slot->dns.get(), &DnsCheck::finished, this,
                [this, index](const DnsAnswer &answer) { dnsAnswered(index, answer); });
        slot->dns->start(slot->job->plan().ace);
    }
}

void SearchRun::dnsAnswered(qint64 index, const DnsAnswer &answer)
{
    // Index 0: a zone's own check failed.
    if ((answer.outcome == DnsAnswer::Outcome::Unreachable || index == 0) && !m_dnsFailureSaid) {
        m_dnsFailureSaid = true;
        emit notice(
            QStringLiteral("DNS did not answer (%1): names go to their registries.").arg(answer.detail));
    }
    Slot *slot = index > 0 ? slotAt(index) : nullptr;
    if (!slot || slot->state != Slot::State::Dns || m_stopping)
        return;
    slot->dns.release()->deleteLater();
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
