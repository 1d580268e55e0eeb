#pragma once

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Launcher.h"

#include <QList>
#include <QPair>

namespace zandrel::test {

// Stand-ins that record what the program asked of the desktop.
class RecordingLauncher : public Launcher
{
public:
    bool open(const QString &target) override
    {
        opened << target;
        return succeed;
    }
    bool start(const QString &program, const QStringList &arguments) override
    {
        started << QPair<QString, QStringList>(program, arguments);
        return succeed;
    }
    QStringList opened;
    QList<QPair<QString, QStringList>> started;
    bool succeed = true;
};

class RecordingClipboard : public Clipboard
{
public:
    void setText(const QString &text) override { texts << text; }
    QStringList texts;
};

// A date and time that stand still unless moved, on a clock that otherwise follows real time:
// advance() skips a wait.
class FixedClock : public ManualClock
{
public:
    explicit FixedClock(const QDateTime &when)
        : ManualClock(when)
    {
        followRealTime();
    }
};

} // namespace zandrel::test
