#include "LookupJob.h"

namespace zandrel {

LookupJob::LookupJob(QObject *parent)
    : QObject(parent)
{
    m_connectWait.setSingleShot(true);
    m_idle.setSingleShot(true);
    m_total.setSingleShot(true);
}

void LookupJob::beginStart()
{
    m_idle.stop();
    m_total.stop();
    m_active = true;
    m_starting = true;
    ++m_serial;
}

void LookupJob::end()
{
    if (!m_active)
        return;
    if (m_starting) {
        const quint64 serial = m_serial;
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (serial == m_serial)
                    end();
            },
            Qt::QueuedConnection);
        return;
    }
    m_active = false;
    m_connectWait.stop();
    m_idle.stop();
    m_total.stop();
    emit lookupEnded();
}

} // namespace zandrel
