#include "Clock.h"

namespace zandrel {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace zandrel
