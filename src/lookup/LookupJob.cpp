#include "LookupJob.h"

namespace zandrel {

LookupJob::LookupJob(const Clock &clock, QObject *parent)
    : Job(parent)
    , m_clock(clock)
    , m_connectWait(clock, [this] { connectWaitRanOut(); })
    , m_idle(clock, [this] { idleRanOut(); })
    , m_total(clock, [this] { totalRanOut(); })
{ }

void LookupJob::end()
{
    if (!m_active)
        return;
    m_active = false;
    m_connectWait.stop();
    m_idle.stop();
    m_total.stop();
    emitResult();
}

} // namespace zandrel
