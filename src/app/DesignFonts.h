#pragma once

#include <QFont>

namespace zandrel {

// The faces the window's controls were designed in, or the nearest installed: the captions and
// the boxes beside them are sized for these.
QFont controlFont();
QFont listFont();

} // namespace zandrel
