#include "Harvest.h"

#include "harvest/UniqueList.h"
#include "whois/Replaceit.h"

#include <algorithm>
#include <array>

namespace zandrel {

namespace {

// The registry's historical wording and its present one; both are searched in the folded text.
constexpr QLatin1String kNoMatchDomain("no match for domain ");
constexpr QLatin1String kNoMatchQuoted("no match for \"");
constexpr std::array<QLatin1String, 2> kAvailableMarkers {QLatin1String("no match for domain \""),
                                                          kNoMatchQuoted};
// Pass order matters only for the order of the entries.
constexpr std::array<QLatin1String, 5> kSuffixes {QLatin1String(".com"), QLatin1String(".org"),
                                                  QLatin1String(".net"), QLatin1String(".edu"),
                                                  QLatin1String(".gov")};

bool isStop(const QString &text, qsizetype i)
{
    const QChar c = text.at(i);
    return c == u'\t' || c == u' ' || c == u':' || (c == u'\n' && text.at(i - 1) == u'\r');
}

// One suffix pass over the folded text.
void harvestSuffix(const QString &text, QLatin1String suffix, bool dropAfterNoMatch, UniqueList &links)
{
    const qsizetype lastNoMatch = dropAfterNoMatch
        ? std::max(text.lastIndexOf(kNoMatchDomain), text.lastIndexOf(kNoMatchQuoted))
        : -1;

    // The nearest stop at or before a dot is also the nearest one before any later dot unless a
    // stop lies between them, so each pass only scans back as far as the previous dot.
    qsizetype previousDot = -1;
    qsizetype previousStop = 0;
    qsizetype from = 0;
    qsizetype dot;
    while ((dot = text.indexOf(suffix, from)) >= 0) {
        qsizetype i = dot;
        while (i > previousDot && i > 0 && !isStop(text, i))
            --i;
        if (i == previousDot)
            i = previousStop;
        previousDot = dot;
        previousStop = i;

        // A scan that reaches the first character found no stop: no candidate.
        if (i > 0 && lastNoMatch < from) {
            const qsizetype end = dot + suffix.size();
            AddLinkToList(QLatin1String("www.") + text.mid(i + 1, end - i - 1), links);
        }
        from = dot + 1;
    }
}

} // namespace

void AddAvailableToList(const QString &curaddress, UniqueList &available)
{
    if (curaddress.isEmpty() || curaddress.startsWith(QLatin1String("www.whois"))
        || curaddress.contains(u'@'))
        return;
    available.addUnique(curaddress);
}

void createavailablelist(const QString &response, UniqueList &available,
                         const std::function<QString(const QString &)> &admit)
{
    const QString text = foldCase(response);
    if (text.isEmpty())
        return;

    // Both markers are walked side by side so that their names are offered in text order.
    const auto &markers = kAvailableMarkers;
    std::array<qsizetype, 2> at {text.indexOf(markers[0]), text.indexOf(markers[1])};
    for (;;) {
        size_t which;
        if (at[0] >= 0 && (at[1] < 0 || at[0] < at[1]))
            which = 0;
        else if (at[1] >= 0)
            which = 1;
        else
            return;

        const qsizetype start = at[which] + markers[which].size();
        const qsizetype close = text.indexOf(u'"', start);
        if (close >= 0) {
            const QString name = text.mid(start, close - start);
            AddAvailableToList(admit ? admit(name) : name, available);
        }
        at[which] = text.indexOf(markers[which], at[which] + 1);
    }
}

void AddLinkToList(const QString &curaddress, UniqueList &links)
{
    if (curaddress.isEmpty() || curaddress.contains(QLatin1String(".."))
        || curaddress.contains(QLatin1String("internic")))
        return;
    if (curaddress.startsWith(QLatin1String("www.whois")) || curaddress.contains(u'@')
        || curaddress.contains(u'/'))
        return;
    links.addUnique(curaddress);
}

void createweblist(const QString &response, UniqueList &links)
{
    const QString text = foldCase(response);
    if (text.isEmpty())
        return;

    // Only the .com registry's answers are checked for a no-match phrase.
    for (const QLatin1String suffix : kSuffixes)
        harvestSuffix(text, suffix, suffix == kSuffixes[0], links);
}

} // namespace zandrel
