#include "Job.h"

namespace zandrel {

Job::Job(QObject *parent)
    : QObject(parent)
{ }

Job::~Job() = default;

void Job::start()
{
    if (m_started)
        return;
    m_started = true;
    m_starting = true;
    doStart();
    m_starting = false;
    if (m_resultDue)
        QMetaObject::invokeMethod(this, &Job::finish, Qt::QueuedConnection);
}

void Job::kill()
{
    if (m_finished)
        return;
    m_finished = true;
    m_resultDue = false;
    if (m_error == NoError)
        setError(KilledError, tr("killed"));
    doKill();
    if (m_autoDelete)
        deleteLater();
}

void Job::setError(int code, const QString &text)
{
    m_error = code;
    m_errorText = text;
}

void Job::emitResult()
{
    if (m_finished || m_resultDue)
        return;
    m_resultDue = true;
    if (!m_starting)
        finish();
}

void Job::finish()
{
    if (m_finished || !m_resultDue)
        return;
    m_finished = true;
    emit result(this);
    if (m_autoDelete)
        deleteLater();
}

} // namespace zandrel
