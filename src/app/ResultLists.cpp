#include "ResultLists.h"

#include "WhoState.h"
#include "harvest/Harvest.h"
#include "search/SearchSession.h"

namespace zandrel {

ResultLists::ResultLists(WhoState &state, SearchSession &session, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_session(session)
{ }

void ResultLists::mAvailable_Click()
{
    // Asked for by hand, so the whole text is read again; still only names found free are listed.
    zandrel::createavailablelist(m_state.tResponse.text(), m_state.Available,
                                 [this](const QString &found) { return m_session.freeEntry(found); });
}

void ResultLists::mClearLinkList_Click()
{
    m_state.LinkList.clear();
}

void ResultLists::mClearall_Click()
{
    if (m_session.running()) {
        emit notice(QStringLiteral("Clear All waits until the search has ended: Stop it first."));
        return;
    }
    m_session.clearResults();
    m_state.Available.clear();
    m_state.Prefix.clear();
    m_state.Suffix.clear();
    m_state.LinkList.clear();
    m_state.tResponse.setText(QString());
}

} // namespace zandrel
