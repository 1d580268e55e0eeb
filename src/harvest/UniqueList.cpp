#include "UniqueList.h"

namespace zandrel {

UniqueList::UniqueList(Key key, QObject *parent)
    : QAbstractListModel(parent)
    , m_key(key)
{ }

int UniqueList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant UniqueList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    // The tool tip shows an entry cut short by the list's width whole.
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return m_entries.at(index.row());
    return {};
}

QString UniqueList::at(int row) const
{
    return row >= 0 && row < count() ? m_entries.at(row) : QString();
}

QString UniqueList::keyOf(const QString &entry) const
{
    if (m_key == Key::Exact || !entry.contains(u'"'))
        return entry;
    QString key = entry;
    key.remove(u'"');
    return key;
}

bool UniqueList::contains(const QString &entry) const
{
    return m_keys.contains(keyOf(entry));
}

bool UniqueList::addUnique(const QString &entry)
{
    const QString key = keyOf(entry);
    if (m_keys.contains(key))
        return false;
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    m_entries.append(entry);
    m_keys.insert(key);
    endInsertRows();
    return true;
}

void UniqueList::clear()
{
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    m_entries.clear();
    m_keys.clear();
    endResetModel();
}

} // namespace zandrel
