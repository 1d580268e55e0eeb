#include "ReportSaver.h"

#include "LinkOpener.h"
#include "WhoState.h"
#include "platform/Launcher.h"
#include "search/SearchSession.h"

namespace zandrel {

ReportSaver::ReportSaver(const Services &services, WhoState &state, SearchSession &session, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_state(state)
    , m_session(session)
{ }

bool ReportSaver::hasResults() const
{
    return m_state.Available.count() > 0 || m_state.LinkList.count() > 0 || !m_session.results().isEmpty();
}

void ReportSaver::SaveResults(const QString &baseName, bool show)
{
    const Result<ReportFiles> result = m_session.writeReport(
        baseName, m_state.Prefix.entries(), m_state.Suffix.entries(), m_services.app.folder,
        AppInfo::dataFolder(), [this](const QString &text) { m_state.caption.setText(text); });
    if (!result) {
        emit alert({.text = QStringLiteral("The report was not written: ") + result.error().text});
        return;
    }
    if (result->usedFallback)
        emit alert({.text = QStringLiteral("The program's folder cannot be written; the report is in ")
                        + result->folder,
                    .action = Alert::Action::OpenFolder,
                    .target = result->folder});
    if (show && !m_services.launcher.open(result->htmlPath))
        emit notice(notOpened(result->htmlPath));
}

} // namespace zandrel
