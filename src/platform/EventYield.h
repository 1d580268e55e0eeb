#pragma once

#include <functional>

namespace zandrel {

// Hands the thread back to the event queue from inside a running procedure. Waits block in the
// event loop between events, so a wait costs no CPU while nothing happens.
class EventYield
{
public:
    virtual ~EventYield() = default;

    // Handles the events already pending, then returns.
    virtual void yieldOnce();

    // Handles events until `done` holds, `timeoutMs` has passed (negative: no limit) or the
    // program is closing. Returns whether `done` holds.
    virtual bool waitUntil(const std::function<bool()> &done, int timeoutMs = -1);

    // Once set, every wait gives up at once, so nested procedures unwind and the program can end.
    void requestClose() { m_closing = true; }
    bool closing() const { return m_closing; }

private:
    bool m_closing = false;
};

} // namespace zandrel
