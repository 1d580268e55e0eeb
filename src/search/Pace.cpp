#include "Pace.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

constexpr qint64 NsPerMs = 1'000'000;
constexpr double FloorRate = 0.05; // one query in 20 s at the slowest
constexpr double RiseFirst = 1.25; // per clean answer, until the first limit
constexpr double RiseAfter = 1.03; // per clean answer, back up to the ceiling
constexpr double Cut = 0.7; // at a sign of a limit
constexpr double BelowLimit = 0.9; // the ceiling below the rate a limit was seen at
constexpr int ProbeAfter = 200; // clean answers at the ceiling before it is raised a little

} // namespace

OperatorPace::OperatorPace(QList<Budget> budgets)
    : m_budgets(std::move(budgets))
{
    for (const Budget &budget : std::as_const(m_budgets)) {
        if (budget.isRate())
            m_intervalNs = std::max(m_intervalNs,
                                    budget.periodMs * NsPerMs / budget.count
                                        + (budget.periodMs * NsPerMs % budget.count ? 1 : 0));
        else
            m_keep = std::max(m_keep, budget.count);
    }
}

bool OperatorPace::adaptive() const
{
    return m_intervalNs == 0;
}

qint64 OperatorPace::dueNs(qint64 nowNs, bool learned) const
{
    qint64 due = std::max(nowNs, windowDueNs(nowNs));
    if (m_lastStartNs < 0)
        return due;
    qint64 interval = m_intervalNs;
    if (interval == 0 && learned)
        interval = qint64(std::llround(1e9 / m_rate));
    return std::max(due, m_lastStartNs + interval);
}

qint64 OperatorPace::windowDueNs(qint64 nowNs) const
{
    qint64 due = 0;
    const qint64 held = qint64(m_starts.size());
    for (const Budget &budget : m_budgets) {
        // The query may go once the budget's count-th latest start has left the window.
        if (!budget.isRate() && held >= budget.count) {
            const qint64 freed = m_starts[held - budget.count] + budget.periodMs * NsPerMs;
            if (freed > nowNs)
                due = std::max(due, freed);
        }
    }
    return due;
}

void OperatorPace::started(qint64 nowNs)
{
    m_lastStartNs = nowNs;
    if (m_keep == 0)
        return;
    m_starts.push_back(nowNs);
    while (qint64(m_starts.size()) > m_keep)
        m_starts.pop_front();
}

void OperatorPace::answered(qint64 startNs, qint64 endNs)
{
    const auto at = std::find(m_starts.begin(), m_starts.end(), startNs);
    if (at == m_starts.end())
        return;
    m_starts.erase(at);
    m_starts.insert(std::upper_bound(m_starts.begin(), m_starts.end(), endNs), endNs);
}

void OperatorPace::ended(bool limitSign)
{
    if (limitSign) {
        m_ceiling = std::max(FloorRate, std::min(m_ceiling, m_rate * BelowLimit));
        m_rate = std::max(FloorRate, m_rate * Cut);
        m_rising = false;
        m_cleanRun = 0;
        return;
    }
    m_rate = std::min(m_ceiling, m_rate * (m_rising ? RiseFirst : RiseAfter));
    if (m_rate >= m_ceiling && ++m_cleanRun >= ProbeAfter) {
        m_ceiling = std::min(CapRate, m_ceiling * 1.05);
        m_cleanRun = 0;
    }
}

double OperatorPace::rate() const
{
    return m_intervalNs > 0 ? 1e9 / double(m_intervalNs) : m_rate;
}

void OperatorPace::setStarts(std::deque<qint64> starts)
{
    m_starts = std::move(starts);
    while (qint64(m_starts.size()) > m_keep)
        m_starts.pop_front();
}

Paces::Paces(const OperatorTable &table)
    : m_table(table)
{ }

Result<void> Paces::addLines(const QString &text, const QString &origin)
{
    const Result<void> added = m_table.addLines(text, origin);
    m_paces.clear(); // budgets may have changed
    return added;
}

QString Paces::operatorOf(const QString &key) const
{
    const Operator *op = m_table.operatorFor(key);
    return op ? op->name : key;
}

OperatorPace &Paces::paceOf(const QString &key)
{
    const QString name = operatorOf(key);
    std::shared_ptr<OperatorPace> &pace = m_paces[name];
    if (!pace) {
        const Operator *op = m_table.operatorFor(key);
        pace = std::make_shared<OperatorPace>(op ? op->budgets : QList<Budget> {});
    }
    return *pace;
}

OperatorPace *Paces::paceNamed(const QString &name)
{
    for (const Operator &op : m_table.operators()) {
        if (op.name == name && !op.servers.isEmpty())
            return &paceOf(operatorServerKey(op.servers.constFirst()));
    }
    return nullptr;
}

QStringList Paces::windowed() const
{
    QStringList names;
    for (auto it = m_paces.cbegin(); it != m_paces.cend(); ++it) {
        if (!(*it)->starts().empty())
            names << it.key();
    }
    return names;
}

} // namespace zandrel
