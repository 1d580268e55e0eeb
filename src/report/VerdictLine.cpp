#include "VerdictLine.h"

#include <QUrl>

namespace zandrel {

QString serverShown(const QString &server)
{
    if (server.contains(QLatin1String("://")))
        return QUrl(server).host();
    static const QString WhoisPort = QStringLiteral(":43");
    return server.endsWith(WhoisPort) ? server.chopped(WhoisPort.size()) : server;
}

QString verdictLine(const LookupRecord &record)
{
    if (!record.judged)
        return {};
    const Verdict &verdict = record.verdict;
    QString line = record.name + QStringLiteral(": ");
    const auto inBrackets = [](const QString &text) {
        return text.isEmpty() ? QString() : QStringLiteral(" (") + text + u')';
    };
    switch (verdict.kind) {
    case VerdictKind::Free:
        return line + QStringLiteral("free") + inBrackets(serverShown(record.server));
    case VerdictKind::Taken:
        return line + QStringLiteral("taken") + inBrackets(serverShown(record.server));
    case VerdictKind::NotRegistrable:
        return line + QStringLiteral("not registrable") + inBrackets(verdict.why);
    case VerdictKind::Unknown:
        break;
    }
    line += QStringLiteral("unknown");
    if (verdict.reason != UnknownReason::None)
        line += QStringLiteral(", ") + reasonWords(verdict.reason);
    return line;
}

} // namespace zandrel
