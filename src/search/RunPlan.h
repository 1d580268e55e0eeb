#pragma once

#include "search/Journal.h"
#include "verdict/ServerTable.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace zandrel {

class Paces;
class Router;

// What a run will ask of one operator, and how long that takes at its pace.
struct OperatorPlan
{
    QString name;
    qint64 names = 0;
    QString pace; // "5/s 1000/24h (published)", "learned, from 1/s up to 4/s", "a pause of 3 s"
    qint64 ms = 0; // from the first query to the last, at least
};

// Reckons a run without asking anything: each name routed as the run would route it (a TLD IANA
// would be asked about counts as the IANA server's), each operator at its budgets and its pace as
// learned so far, or at the fixed pause. Operators go side by side, so the run takes as long as
// the slowest. In the order operators are first met.
// The names come in groups routed alike: a name of each group and how many names it stands for.
QList<OperatorPlan> planRun(const QList<std::pair<QString, qint64>> &groups, Router &router, Paces &paces,
                            bool autoPace, int pauseMs, const ServerOverrides &overrides);
// A combination search's names as groups for planRun(): they are routed by their TLD, so one name
// of each TLD stands for all its pairings, and millions of names are planned without making them.
QList<std::pair<QString, qint64>> combinationGroups(const RunInputs &inputs);
// One line per operator, then the total: name, names, pace, time, separated by tabs.
QString planText(const QList<OperatorPlan> &plans);
// "about 2 h 5 min", "about 40 s".
QString planDurationText(qint64 ms);
// The question a search of more than LargeSearch names asks first, with the time the plan reckons.
QString largeSearchQuestion(const QList<OperatorPlan> &plans);

} // namespace zandrel
