#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QStringList>

namespace zandrel {

// A list of strings in insertion order with an index of their duplicate keys beside it, so that
// "is it listed already?" costs the same for a list of 100,000 entries as for an empty one.
class UniqueList : public QAbstractListModel
{
    Q_OBJECT
public:
    enum class Key {
        Exact, // entries compare exactly, case-sensitively
        WithoutQuotes // entries compare with their double quotes removed
    };

    explicit UniqueList(Key key = Key::Exact, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    int count() const { return int(m_entries.size()); }
    // The entry at `row`, or an empty text past either end.
    QString at(int row) const;
    const QStringList &entries() const { return m_entries; }

    bool contains(const QString &entry) const;
    // Adds `entry` at the end unless an entry with the same key is listed; returns whether it did.
    bool addUnique(const QString &entry);
    void clear();

private:
    QString keyOf(const QString &entry) const;

    Key m_key;
    QStringList m_entries;
    QSet<QString> m_keys;
};

} // namespace zandrel
