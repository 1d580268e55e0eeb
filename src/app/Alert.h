#pragma once

#include <QString>

namespace zandrel {

// A notice that matters until the user has read it (a search to resume, a report written
// elsewhere, DNS not believed in a TLD, a server holding queries off): the window keeps it in sight
// with the one action it offers.
struct Alert
{
    enum class Action { None, ResumeSearch, OpenFolder };
    QString text = {};
    Action action = Action::None;
    QString target = {}; // the folder OpenFolder opens
};

} // namespace zandrel
