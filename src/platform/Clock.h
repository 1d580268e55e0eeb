#pragma once

#include <QDateTime>

namespace zandrel {

// The present date and time; tests hold it still.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // The same moment in UTC, for stamps and for measuring waits.
    virtual QDateTime nowUtc() const { return now().toUTC(); }
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
    // Without the local time zone, which costs a look at the zone file on every call.
    QDateTime nowUtc() const override;
};

} // namespace zandrel
