#include "ListScan.h"

#include "harvest/Harvest.h"
#include "harvest/UniqueList.h"
#include "verdict/Registrable.h"

namespace zandrel {

ListScan::ListScan(UniqueList &available, UniqueList &links)
    : m_available(available)
    , m_links(links)
{ }

void ListScan::noteFree(const LookupRecord &record)
{
    if (record.judged && record.verdict.kind == VerdictKind::Free)
        m_freeNames.insert(asciiName(record.name).value_or(record.name).toLower(), record.name.toLower());
}

void ListScan::scan(LookupRecord &record, const QString &answer)
{
    // What the lookup found is recorded whole, whether or not the lists held it already.
    UniqueList available(UniqueList::Key::Exact);
    UniqueList links(UniqueList::Key::WithoutQuotes);
    if (!m_keepLists)
        m_freeNames.clear();
    noteFree(record);
    if (record.judged && record.verdict.kind == VerdictKind::Free)
        AddAvailableToList(record.name.toLower(), available);
    if (m_scanning) {
        createavailablelist(answer, available,
                            [this](const QString &found) { return m_freeNames.value(found); });
        createweblist(answer, links);
    }
    record.addedAvailable = available.entries();
    record.addedLinks = links.entries();
    if (m_keepLists)
        restore(record);
}

void ListScan::restore(const LookupRecord &record)
{
    for (const QString &entry : record.addedAvailable)
        m_available.addUnique(entry);
    for (const QString &entry : record.addedLinks)
        m_links.addUnique(entry);
    noteFree(record);
}

} // namespace zandrel
