#include "Verdict.h"

#include <array>

namespace zandrel {

namespace {
const std::array<QString, 4> Names {QStringLiteral("free"), QStringLiteral("taken"),
                                    QStringLiteral("unknown"), QStringLiteral("not-registrable")};
}

QString verdictName(VerdictKind kind)
{
    return Names.at(size_t(kind));
}

std::optional<VerdictKind> verdictFromName(const QString &name)
{
    for (size_t i = 0; i < Names.size(); ++i) {
        if (Names[i] == name)
            return VerdictKind(i);
    }
    return std::nullopt;
}

} // namespace zandrel
