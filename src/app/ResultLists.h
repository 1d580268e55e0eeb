#pragma once

#include <QObject>

namespace zandrel {

class SearchSession;
class WhoState;

// What the searches left, as the user rebuilds and clears it: the available domains made again
// from the response text, the existing domains cleared, and Clear All.
class ResultLists : public QObject
{
    Q_OBJECT
public:
    ResultLists(WhoState &state, SearchSession &session, QObject *parent = nullptr);

    // Results > Create Available List: the whole response read again; only names found free.
    void mAvailable_Click();
    void mClearLinkList_Click();
    // Both lists, both word lists, the response box, and the last search's counts and results;
    // refused while a search runs, whose report would lose its first names and its word lists.
    void mClearall_Click();

signals:
    void notice(const QString &text);

private:
    WhoState &m_state;
    SearchSession &m_session;
};

} // namespace zandrel
