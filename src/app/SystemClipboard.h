#pragma once

#include "platform/Clipboard.h"

namespace zandrel {

// The desktop's clipboard, plain text.
class SystemClipboard : public Clipboard
{
public:
    void setText(const QString &text) override;
};

} // namespace zandrel
