#include "WindowInput.h"

#include "platform/Clipboard.h"

#include <QAction>
#include <QKeyEvent>
#include <QListView>
#include <QRadioButton>

namespace zandrel {

QWidget *nextInTabOrder(const QList<QWidget *> &order, QWidget *from, bool next)
{
    const qsizetype at = order.indexOf(from);
    if (at < 0)
        return nullptr;
    const qsizetype count = order.size();
    for (qsizetype step = 1; step < count; ++step) {
        QWidget *candidate = order.at((at + (next ? step : count - step)) % count);
        const auto *radio = qobject_cast<QRadioButton *>(candidate);
        if (!candidate->isEnabled() || !candidate->isVisible() || !(candidate->focusPolicy() & Qt::TabFocus)
            || (radio && !radio->isChecked()))
            continue;
        return candidate;
    }
    return from;
}

bool isMenuShortcut(const QList<QAction *> &actions, const QKeyEvent &key)
{
    const QKeySequence pressed(key.keyCombination());
    for (const QAction *action : actions) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed)
            return true;
    }
    return false;
}

bool listKey(const QListView &view, const QKeyEvent &key, const std::function<void(int)> &open,
             Clipboard &clipboard)
{
    // The entry with the focus frame, selected or not.
    const QModelIndex current = view.currentIndex();
    const bool hasCurrent = current.isValid();
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        if (hasCurrent)
            open(current.row());
        return true;
    }
    if (key.matches(QKeySequence::Copy)) {
        if (hasCurrent)
            clipboard.setText(current.data().toString());
        return true;
    }
    return false;
}

} // namespace zandrel
