#pragma once

#include <QList>

#include <functional>

class QAction;
class QKeyEvent;
class QListView;
class QWidget;

namespace zandrel {

class Clipboard;

// The widget Tab (next) or Shift+Tab moves to from `from` along `order`: the next one that is
// enabled, shown, takes Tab focus and, for a radio button, is the checked one. `from` itself when
// no other qualifies; nullptr when `from` is not in the order.
QWidget *nextInTabOrder(const QList<QWidget *> &order, QWidget *from, bool next);

// Whether the key is the shortcut of one of the enabled actions.
bool isMenuShortcut(const QList<QAction *> &actions, const QKeyEvent &key);

// Enter opens the list's current entry, Ctrl+C copies it; whether the key was taken.
bool listKey(const QListView &view, const QKeyEvent &key, const std::function<void(int)> &open,
             Clipboard &clipboard);

} // namespace zandrel
