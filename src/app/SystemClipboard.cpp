#include "SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace zandrel {

void SystemClipboard::setText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace zandrel
