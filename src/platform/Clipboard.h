#pragma once

#include <QString>

namespace zandrel {

// Plain-text system clipboard; the window supplies the real one, tests record.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString &text) = 0;
};

} // namespace zandrel
