#pragma once

#include "verdict/Verdict.h"

#include <QHash>
#include <QString>

namespace zandrel {

class UniqueList;

// What listens to committed results for the two lists: a name found free goes to Available, the
// answer is scanned for available names and web addresses, and the record keeps what was found so
// a resumed run's lists are the uninterrupted run's.
class ListScan
{
public:
    ListScan(UniqueList &available, UniqueList &links);

    // Off: answers are judged but not scanned.
    void setScanning(bool scan) { m_scanning = scan; }
    // Off: what a record found is kept in the record alone, not in the lists, and an answer's
    // available names are taken only when they are the record's own name.
    void setKeepLists(bool keep) { m_keepLists = keep; }
    // Fills the record's addedAvailable and addedLinks from `answer` and adds them to the lists.
    void scan(LookupRecord &record, const QString &answer);
    // Puts a journaled record's findings back in the lists.
    void restore(const LookupRecord &record);
    // Names found free, by their ACE form in lower case: what the available-name scan may list.
    QString freeEntry(const QString &found) const { return m_freeNames.value(found); }

private:
    void noteFree(const LookupRecord &record);

    UniqueList &m_available;
    UniqueList &m_links;
    QHash<QString, QString> m_freeNames;
    bool m_scanning = true;
    bool m_keepLists = true;
};

} // namespace zandrel
