#include "SearchRun.h"
#include "SearchRunParts.h"

#include "lookup/DnsCheck.h"
#include "lookup/NameLookup.h"

namespace zandrel {

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
