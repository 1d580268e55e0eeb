#include "RunPlan.h"

#include "lookup/Router.h"
#include "search/Pace.h"
#include "search/Progress.h"
#include "search/SearchSession.h"
#include "verdict/QueryLine.h"
#include "verdict/Registrable.h"

#include <QLocale>

#include <algorithm>

namespace zandrel {

namespace {

// The queue a name waits in, as the router would choose it, without asking anyone.
QString queueOf(const QString &name, Router &router, const ServerOverrides &overrides)
{
    const QString ace = asciiName(name).value_or(name).toLower();
    const Route route = routeName(ace, ServerTable::builtIn(), overrides);
    switch (route.kind) {
    case Route::Kind::Server:
        return hostAndPort(route.server);
    case Route::Kind::AskIana:
        return hostAndPort(parseServerAddress(router.settings().ianaServer)
                               .value_or(ServerAddress {QStringLiteral("whois.iana.org"), 43}));
    case Route::Kind::Rdap: {
        const QString base = route.rdapBase.isEmpty() ? router.rdapBaseFor(ace) : route.rdapBase;
        return base.isEmpty() ? QString() : rdapServerKey(base);
    }
    case Route::Kind::NoServer:
        break;
    }
    return {};
}

// The time from the first query to the last of `count`, each answered cleanly at once.
qint64 reckon(OperatorPace pace, qint64 count, bool learned)
{
    qint64 now = 0;
    qint64 first = -1;
    for (qint64 i = 0; i < count; ++i) {
        now = pace.dueNs(now, learned);
        if (first < 0)
            first = now;
        pace.started(now);
        pace.ended(false);
    }
    return first < 0 ? 0 : (now - first) / 1'000'000;
}

} // namespace

QList<std::pair<QString, qint64>> combinationGroups(const RunInputs &inputs)
{
    QList<std::pair<QString, qint64>> groups;
    const qint64 tlds = inputs.comSuffix ? inputs.tlds.size() : 1;
    const qint64 pairings = qint64(inputs.prefixes.size()) * inputs.suffixes.size();
    for (qint64 position = 0; pairings > 0 && position < tlds; ++position)
        groups.append({combinationName(inputs, position), pairings});
    return groups;
}

QList<OperatorPlan> planRun(const QList<std::pair<QString, qint64>> &groups, Router &router, Paces &paces,
                            bool autoPace, int pauseMs, const ServerOverrides &overrides)
{
    QList<OperatorPlan> plans;
    QHash<QString, qsizetype> byOperator;
    QHash<QString, QString> keyOf; // an operator's first server, for its pace
    for (const auto &[name, count] : groups) {
        const QString key = queueOf(name, router, overrides);
        const QString op = key.isEmpty() ? QStringLiteral("(no server known)") : paces.operatorOf(key);
        if (!byOperator.contains(op)) {
            byOperator.insert(op, plans.size());
            plans.append({op, 0, {}, 0});
            keyOf.insert(op, key);
        }
        plans[byOperator.value(op)].names += count;
    }
    for (OperatorPlan &plan : plans) {
        const QString key = keyOf.value(plan.name);
        if (key.isEmpty())
            continue;
        const OperatorPace &pace = paces.paceOf(key);
        QStringList budgets;
        for (const Budget &budget : pace.budgets())
            budgets << budgetText(budget);
        if (!autoPace) {
            plan.pace = QStringLiteral("a pause of %1 s").arg(pauseMs / 1000.0);
            plan.ms = qint64(pauseMs) * std::max<qint64>(plan.names - 1, 0);
            continue;
        }
        plan.pace = pace.adaptive() ? QStringLiteral("learned, now %1/s, at most %2/s")
                                          .arg(pace.rate(), 0, 'g', 3)
                                          .arg(OperatorPace::CapRate)
                                    : QStringLiteral("published");
        if (!budgets.isEmpty())
            plan.pace += u' ' + budgets.join(u' ');
        plan.ms = reckon(pace, plan.names, true);
    }
    return plans;
}

QString planDurationText(qint64 ms)
{
    const qint64 s = (ms + 999) / 1000;
    if (s < 60)
        return QStringLiteral("about %1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("about %1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("about %1 h %2 min").arg(s / 3600).arg(s % 3600 / 60);
}

namespace {
QString namesText(qint64 names)
{
    return names == 1 ? QStringLiteral("1 name") : QStringLiteral("%1 names").arg(names);
}
} // namespace

QString planText(const QList<OperatorPlan> &plans)
{
    QString text;
    qint64 names = 0;
    qint64 longest = 0;
    for (const OperatorPlan &plan : plans) {
        text += QStringLiteral("%1\t%2\t%3\t%4\n")
                    .arg(plan.name, namesText(plan.names))
                    .arg(plan.pace.isEmpty() ? QStringLiteral("not asked") : plan.pace,
                         planDurationText(plan.ms));
        names += plan.names;
        longest = std::max(longest, plan.ms);
    }
    const QString side = plans.size() == 1 ? QStringLiteral("1 operator")
                                           : QStringLiteral("%1 operators side by side").arg(plans.size());
    return text
        + QStringLiteral("total\t%1\t%2\t%3\n").arg(namesText(names), side, planDurationText(longest));
}

QString largeSearchQuestion(const QList<OperatorPlan> &plans)
{
    qint64 names = 0;
    qint64 longest = 0;
    for (const OperatorPlan &plan : plans) {
        names += plan.names;
        longest = std::max(longest, plan.ms);
    }
    if (names <= LargeSearch)
        return {};
    QLocale grouped = QLocale::c();
    grouped.setNumberOptions(QLocale::DefaultNumberOptions);
    return QStringLiteral(
               "This search looks up %1 names, each registry operator at its own pace: %2. Start it?")
        .arg(grouped.toString(names), durationText(double(longest) / 1000.0));
}

} // namespace zandrel
