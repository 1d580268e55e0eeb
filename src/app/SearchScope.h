#pragma once

#include "Services.h"
#include "search/Journal.h"

#include <QObject>

namespace zandrel {

class SearchSession;
class WhoState;

// What a combination search covers: the TLDs "Always Suffix" appends, whether DNS is asked first
// and whether the pace is learned, all kept in the settings, and the pairings the boxes make.
class SearchScope : public QObject
{
    Q_OBJECT
public:
    SearchScope(const Services &services, WhoState &state, SearchSession &session, QObject *parent = nullptr);

    // Start-up: the TLDs, DNS first and its resolver from the settings.
    void load();
    // The TLDs "Always Suffix" appends, remembered at once. Returns false, changing nothing, when
    // `text` is not a list of TLDs.
    bool setTlds(const QString &text);
    const QStringList &tlds() const;
    // A resumed run's TLDs hold for it; the setting stays as it is.
    void restoreTlds(const QStringList &tlds);
    // Whether runs ask DNS first; remembered at once.
    void mAskDnsFirst_Click(bool on);
    bool dnsFirst() const;
    // Whether each operator is asked at its own pace (the Delay box the least pause); remembered.
    void mAutomaticPace_Click(bool on);
    bool automaticPace() const;
    // The combination search of the boxes as they stand; a list left empty pairs its box's text.
    RunInputs combinationInputs() const;
    // How many names that search asks: prefixes × suffixes × the TLDs it appends.
    qint64 namesToAsk() const;
    // The question asked before a search of more than LargeSearch names, with the time it takes at
    // `pauseMs`, or at each operator's pace with Automatic Pace; empty for a smaller one.
    QString largeSearchQuestion(int pauseMs) const;

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);
    // The TLDs "Always Suffix" appends changed (set, or restored from a run's journal).
    void tldsChanged();

private:
    Services m_services;
    WhoState &m_state;
    SearchSession &m_session;
};

// "&Always Suffix '.com'", or the TLDs "Always Suffix" appends when they are more than .com.
QString alwaysSuffixCaption(const QStringList &tlds, qsizetype named = 4);

} // namespace zandrel
