#include "CombinationDriver.h"

#include "app/WhoController.h"
#include "platform/Clock.h"
#include "platform/EventYield.h"
#include "report/Report.h"

#include <QLocale>

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

CombinationDriver::CombinationDriver(WhoController &who)
    : m_who(who)
{ }

qint64 CombinationDriver::total() const
{
    WhoState &state = m_who.state();
    return qint64(state.Prefix.count()) * state.Suffix.count();
}

void CombinationDriver::run()
{
    WhoState &state = m_who.state();
    m_who.setSearchRunning(true);
    struct Running
    {
        WhoController &who;
        ~Running() { who.setSearchRunning(false); }
    } running {m_who};

    if (state.Prefix.count() == 0)
        state.Prefix.append(state.Prefix.editText());
    if (state.Suffix.count() == 0)
        state.Suffix.append(state.Suffix.editText());
    m_count = 0;

    // The outer bound is fixed here, the inner one at each prefix; entries are read as used.
    const int lastPrefix = state.Prefix.count() - 1;
    for (int p = 0; p <= lastPrefix; ++p) {
        const int lastSuffix = state.Suffix.count() - 1;
        for (int s = 0; s <= lastSuffix; ++s) {
            if (!searchOne(p, s))
                return;
        }
    }

    state.tResponse.removeAll(trimSpaces(state.Nag.text()));
    state.caption.setText(searchedCaption(m_who.services().app.title, total()));
    if (state.Summary) {
        const QString stamp = reportStamp(m_who.services().clock.now(), QLocale::system());
        m_who.SaveResults(stamp);
    }
}

// One combination; false when the run ends here (stopped or closing).
bool CombinationDriver::searchOne(int prefixIndex, int suffixIndex)
{
    WhoState &state = m_who.state();
    EventYield &yield = m_who.services().yield;

    ++m_count;
    state.caption.setText(searchingCaption(m_count, total()));
    if (state.Prefix.count() >= 1)
        state.Prefix.setEditText(state.Prefix.at(prefixIndex));
    if (state.Suffix.count() >= 1)
        state.Suffix.setEditText(state.Suffix.at(suffixIndex));
    state.SearchTerm.setText(state.Prefix.editText() + state.Suffix.editText());
    yield.yieldOnce();
    if (yield.closing())
        return false;

    state.tResponse.append(combinationBanner(state.SearchTerm.text()));
    m_who.SearchCurrent();
    state.LookupPending = true;
    if (!waitForResponse())
        return false;

    state.DelayPending = true;
    state.tResponse.removeAll(state.Nag.text());
    yield.waitUntil([&state] { return !state.DelayPending; });
    if (yield.closing())
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
    WhoState &state = m_who.state();
    EventYield &yield = m_who.services().yield;
    yield.waitUntil([&state] { return !state.LookupPending || state.StopRequested; });
    if (state.LookupPending && !yield.closing())
        yield.waitUntil([&state] { return !state.LookupPending; }, m_who.lookup().limits().stopGraceMs);
    if (yield.closing())
        return false;
    if (state.LookupPending)
        m_who.lookup().abandon();
    state.LookupPending = false;
    return true;
}

} // namespace zandrel
