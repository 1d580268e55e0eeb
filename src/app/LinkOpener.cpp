#include "LinkOpener.h"

#include "WhoState.h"
#include "platform/Clipboard.h"
#include "platform/Launcher.h"
#include "report/Report.h"

namespace zandrel {

QString notOpened(const QString &target)
{
    const QString missing = missingProgram(openerProgram());
    // The missing program first: a long path is cut at the status bar's edge.
    return missing.isEmpty() ? QStringLiteral("Could not open ") + target
                             : missing + QStringLiteral(": could not open ") + target;
}

LinkOpener::LinkOpener(const Services &services, WhoState &state, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_state(state)
{ }

void LinkOpener::openTarget(const QString &target)
{
    if (!m_services.launcher.open(target))
        emit notice(notOpened(target));
}

void LinkOpener::LinkList_Click(int row)
{
    if (row < 0 || row >= m_state.LinkList.count())
        return;
    const QString address = QStringLiteral("http://") + m_state.LinkList.at(row);
    openTarget(address);
    m_services.clipboard.setText(address);
}

void LinkOpener::Available_Click(int row)
{
    Q_UNUSED(row);
    openTarget(QString::fromUtf16(RegistrarHomePage));
}

void LinkOpener::mDirectory_Click()
{
    openTarget(m_services.app.folder);
}

void LinkOpener::mGoKeltrow_Click()
{
    openTarget(KeltrowHomePage);
}

} // namespace zandrel
