#pragma once

#include "Alert.h"
#include "Services.h"

#include <QObject>

namespace zandrel {

class SearchSession;
class WhoState;

// Writes the report of the two lists and the last search's results beside the program (else in
// the user's data folder), and opens it in the browser.
class ReportSaver : public QObject
{
    Q_OBJECT
public:
    ReportSaver(const Services &services, WhoState &state, SearchSession &session, QObject *parent = nullptr);

    // Whether a report would list anything: an entry of the lists or a name looked up.
    bool hasResults() const;
    // Writes the report files named `baseName`; the browser opens the page when `show`.
    void SaveResults(const QString &baseName, bool show = true);

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);
    // The report went elsewhere or nowhere: the user must know where to look.
    void alert(const Alert &alert);

private:
    Services m_services;
    WhoState &m_state;
    SearchSession &m_session;
};

} // namespace zandrel
