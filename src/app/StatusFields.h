#pragma once

class QStatusBar;

namespace zandrel {

class WhoController;

// The status bar's permanent fields: the counts always, and while a search of many names runs,
// its progress and the time left. Notices never hide them.
void addStatusFields(QStatusBar &bar, WhoController &who);

} // namespace zandrel
