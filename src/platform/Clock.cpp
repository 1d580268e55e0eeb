#include "Clock.h"

namespace zandrel {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

QDateTime SystemClock::nowUtc() const
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace zandrel
