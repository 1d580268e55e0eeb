#pragma once

#include <QDateTime>

namespace zandrel {

// The present date and time; tests hold it still.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
};

} // namespace zandrel
