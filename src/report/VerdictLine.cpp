#include "VerdictLine.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace zandrel {

QString serverShown(const QString &server)
{
    if (server.contains(QLatin1String("://")))
        return QUrl(server).host();
    static const QString WhoisPort = QStringLiteral(":43");
    return server.endsWith(WhoisPort) ? server.chopped(WhoisPort.size()) : server;
}

QString stageText(const VerdictDetails &details)
{
    const auto date = [](const QDate &day) {
        return day.toString(Qt::ISODate);
    };
    QString text;
    switch (details.stage) {
    case Stage::Redemption:
        text = QStringLiteral(", in redemption");
        break;
    case Stage::PendingDelete:
        text = QStringLiteral(", pending delete");
        break;
    case Stage::Expired:
        text = QStringLiteral(", expired");
        break;
    case Stage::Registered:
    case Stage::None:
        break;
    }
    if (details.dropping() && details.drops.isValid())
        return text + QStringLiteral(", may drop about ") + date(details.drops);
    if (details.expires.isValid())
        text += (details.stage == Stage::Expired ? u" "_s : u", expires "_s) + date(details.expires);
    return text;
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
        return line + QStringLiteral("free") + (record.details.premium ? u", premium"_s : QString())
            + inBrackets(serverShown(record.server));
    case VerdictKind::Taken:
        return line + QStringLiteral("taken") + stageText(record.details)
            + inBrackets(serverShown(record.server));
    case VerdictKind::Reserved:
        return line + QStringLiteral("reserved") + inBrackets(verdict.why);
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
