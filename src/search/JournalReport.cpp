#include "JournalReport.h"

#include <QHash>

#include <memory>

namespace zandrel {

QSet<QString> collidingNames(const RunInputs &inputs)
{
    QStringList prefixes;
    for (const QString &prefix : inputs.prefixes)
        prefixes << prefix.toLower();
    QHash<QString, int> suffixCount;
    for (const QString &suffix : inputs.suffixes)
        ++suffixCount[suffix.toLower()];

    QSet<QString> pairings;
    // A suffix listed twice makes each of its pairings twice.
    for (auto it = suffixCount.cbegin(); it != suffixCount.cend(); ++it) {
        if (it.value() > 1) {
            for (const QString &prefix : std::as_const(prefixes))
                pairings.insert(prefix + it.key());
        }
    }
    // A prefix that another starts with ("a" and "ab", or one word twice) makes the other's pairing
    // with each suffix that starts with the rest: "a" + "bc" is "ab" + "c".
    for (qsizetype i = 0; i < prefixes.size(); ++i) {
        const QString &shorter = prefixes.at(i);
        for (qsizetype j = 0; j < prefixes.size(); ++j) {
            const QString &longer = prefixes.at(j);
            if (i == j || !longer.startsWith(shorter))
                continue;
            const QStringView rest = QStringView(longer).mid(shorter.size());
            for (auto it = suffixCount.cbegin(); it != suffixCount.cend(); ++it) {
                const QString &suffix = it.key();
                if (suffix.startsWith(rest) && suffixCount.contains(suffix.mid(rest.size())))
                    pairings.insert(shorter + suffix);
            }
        }
    }
    if (!inputs.comSuffix)
        return pairings;
    QSet<QString> names;
    for (const QString &pairing : std::as_const(pairings)) {
        for (const QString &tld : inputs.tlds)
            names.insert(pairing + u'.' + tld.toLower());
    }
    return names;
}

namespace {

struct JournalRows
{
    QString path;
    QSet<QString> colliding;
    QHash<QString, LookupRecord> latest; // of each colliding name, once read
    bool latestRead = false;

    bool collides(const LookupRecord &record) const
    {
        return !colliding.isEmpty() && colliding.contains(record.name.toLower());
    }

    Result<void> read(const std::function<void(LookupRecord &&)> &onRecord) const
    {
        const Result<JournalContents> read = readJournal(path, [&onRecord](LookupRecord &&record) {
            record.addedAvailable.clear(); // the report does not tell them
            onRecord(std::move(record));
        });
        if (!read)
            return Error(journalProblem(path, read.error().text));
        return {};
    }

    Result<void> readLatest()
    {
        if (latestRead || colliding.isEmpty())
            return {};
        latestRead = true;
        return read([this](LookupRecord &&record) {
            if (collides(record))
                latest.insert(record.name.toLower(), std::move(record));
        });
    }
};

} // namespace

ReportSource journalReportSource(const QString &path, const RunInputs &inputs)
{
    const auto rows = std::make_shared<JournalRows>();
    rows->path = path;
    rows->colliding = collidingNames(inputs);
    ReportSource source;
    source.prefixes = inputs.prefixes;
    source.suffixes = inputs.suffixes;
    source.forEachRow = [rows](const ReportSource::RowVisitor &visit) -> Result<void> {
        if (Result<void> latest = rows->readLatest(); !latest)
            return latest;
        QSet<QString> told;
        return rows->read([&](LookupRecord &&record) {
            if (!rows->collides(record)) {
                visit(record);
                return;
            }
            const QString key = record.name.toLower();
            if (!told.contains(key)) {
                told.insert(key);
                visit(rows->latest.value(key));
            }
        });
    };
    // Different names' answers seldom list one address; to find every such repeat, every address
    // of the run would have to be held. So an address repeats within one answer and across the
    // answers of a colliding name are dropped, and only those.
    source.forEachLink = [rows](const ReportSource::LinkVisitor &visit) -> Result<void> {
        if (Result<void> latest = rows->readLatest(); !latest)
            return latest;
        QSet<QString> shared; // the addresses the colliding names' answers listed so far
        return rows->read([&](LookupRecord &&record) {
            const bool collides = rows->collides(record);
            const LookupRecord *latest = collides ? &rows->latest[record.name.toLower()] : &record;
            QSet<QString> own;
            for (const QString &link : std::as_const(record.addedLinks)) {
                QString key = link;
                key.remove(u'"');
                if (own.contains(key) || shared.contains(key))
                    continue;
                own.insert(key);
                if (collides)
                    shared.insert(key);
                // The date the name's last answer gave, as the window's report tells it.
                const bool dated = latest->addedLinks.contains(link);
                visit(link, dated ? latest->details.expires : QDate());
            }
        });
    };
    return source;
}

} // namespace zandrel
