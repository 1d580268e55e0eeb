#include "CombinationDriver.h"

#include "TermLookup.h"
#include "app/WhoState.h"
#include "platform/Clock.h"
#include "platform/EventYield.h"
#include "report/Report.h"

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

CombinationDriver::CombinationDriver(WhoState &state, TermLookup &lookup, EventYield &yield, Clock &clock,
                                     const QString &product)
    : m_state(state)
    , m_lookup(lookup)
    , m_yield(yield)
    , m_clock(clock)
    , m_product(product)
{ }

qint64 CombinationDriver::total() const
{
    return qint64(m_state.Prefix.count()) * m_state.Suffix.count();
}

bool CombinationDriver::run(qint64 startIndex)
{
    WhoState &state = m_state;
    if (state.Prefix.count() == 0)
        state.Prefix.append(state.Prefix.editText());
    if (state.Suffix.count() == 0)
        state.Suffix.append(state.Suffix.editText());
    m_count = 0;
    if (m_starter)
        m_starter(total());

    // The outer bound is fixed here, the inner one at each prefix; entries are read as used.
    const int lastPrefix = state.Prefix.count() - 1;
    for (int p = 0; p <= lastPrefix; ++p) {
        const int lastSuffix = state.Suffix.count() - 1;
        for (int s = 0; s <= lastSuffix; ++s) {
            if (m_count + 1 < startIndex) {
                ++m_count;
                continue;
            }
            ++m_count;
            state.caption.setText(searchingCaption(m_count, total()));
            if (state.Prefix.count() >= 1)
                state.Prefix.setEditText(state.Prefix.at(p));
            if (state.Suffix.count() >= 1)
                state.Suffix.setEditText(state.Suffix.at(s));
            state.SearchTerm.setText(state.Prefix.editText() + state.Suffix.editText());
            if (!searchOne(false))
                return false;
        }
    }
    finish(total());
    if (state.Summary && m_reporter)
        m_reporter(reportStamp(m_clock.now()));
    return true;
}

void CombinationDriver::runNames(const QStringList &names)
{
    m_count = 0;
    for (const QString &name : names) {
        ++m_count;
        m_state.caption.setText(searchingCaption(m_count, names.size()));
        m_state.SearchTerm.setText(name);
        if (!searchOne(true))
            return;
    }
    finish(names.size());
}

void CombinationDriver::finish(qint64 total)
{
    m_state.tResponse.removeAll(trimSpaces(m_state.Nag.text()));
    m_state.caption.setText(searchedCaption(m_product, total));
}

// One lookup of the term in the search box; false when the run ends here (stopped or closing).
bool CombinationDriver::searchOne(bool asIs)
{
    WhoState &state = m_state;
    m_yield.yieldOnce();
    if (m_yield.closing())
        return false;

    state.tResponse.append(combinationBanner(state.SearchTerm.text()));
    m_lookup.lookUpTerm(asIs);
    state.LookupPending = true;
    if (!waitForResponse())
        return false;
    if (m_recorder && !m_abandoned) {
        LookupRecord record = m_lookup.lastRecord();
        record.index = m_count;
        record.checkedAt = m_clock.nowUtc();
        m_recorder(record);
    }

    state.DelayPending = !m_fixedPauseMs;
    state.tResponse.removeAll(state.Nag.text());
    if (m_fixedPauseMs)
        m_yield.waitUntil([] { return false; }, *m_fixedPauseMs);
    else
        m_yield.waitUntil([&state] { return !state.DelayPending; });
    if (m_yield.closing())
        return false;

    if (state.StopRequested) {
        state.StopRequested = false;
        return false;
    }
    if (state.ClearEachSearch)
        state.tResponse.setText(QString());
    return true;
}

// Waits until the lookup's response is harvested. Stop ends the wait for a response that does
// not come: after a short grace the lookup is given up and harvested as it stands.
bool CombinationDriver::waitForResponse()
{
    WhoState &state = m_state;
    m_yield.waitUntil([&state] { return !state.LookupPending || state.StopRequested; });
    if (state.LookupPending && !m_yield.closing())
        m_yield.waitUntil([&state] { return !state.LookupPending; }, m_lookup.stopGraceMs());
    if (m_yield.closing())
        return false;
    m_abandoned = state.LookupPending;
    if (m_abandoned)
        m_lookup.abandon(
            QStringLiteral("Lookup abandoned after Stop: %1 was not answered.").arg(state.SearchTerm.text()));
    state.LookupPending = false;
    return true;
}

} // namespace zandrel
