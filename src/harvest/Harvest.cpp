#include "Harvest.h"

#include "harvest/UniqueList.h"
#include "text/Replaceit.h"

#include <algorithm>
#include <array>

namespace zandrel {

namespace {

// The registry's historical wording and its present one; both are searched in the folded text.
constexpr std::array<QLatin1String, 2> kNoMatchPhrases {QLatin1String("no match for domain "),
                                                        QLatin1String("no match for \"")};
constexpr std::array<QLatin1String, 2> kAvailableMarkers {QLatin1String("no match for domain \""),
                                                          QLatin1String("no match for \"")};
// Pass order matters only for the order of the entries.
constexpr std::array<QLatin1String, 5> kSuffixes {QLatin1String(".com"), QLatin1String(".org"),
                                                  QLatin1String(".net"), QLatin1String(".edu"),
                                                  QLatin1String(".gov")};
constexpr QLatin1String kWww("www.");

bool isStop(QStringView text, qsizetype i)
{
    const QChar c = text.at(i);
    return c == u'\t' || c == u' ' || c == u':' || (c == u'\n' && text.at(i - 1) == u'\r');
}

// What a host name is made of: letters (a name in Unicode form too), digits, hyphens and dots.
bool inHostName(QChar c)
{
    if (c.unicode() < 0x80)
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
            || c == u'.';
    return c.isLetter() || c.isDigit();
}

// One suffix pass over the folded text.
void harvestSuffix(QStringView text, QLatin1String suffix, bool dropAfterNoMatch, UniqueList &links)
{
    qsizetype lastNoMatch = -1;
    if (dropAfterNoMatch) {
        for (const QLatin1String phrase : kNoMatchPhrases)
            lastNoMatch = std::max(lastNoMatch, text.lastIndexOf(phrase));
    }

    qsizetype previousDot = -1;
    qsizetype previousStop = -1;
    qsizetype from = 0;
    qsizetype dot;
    while ((dot = text.indexOf(suffix, from)) >= 0) {
        const qsizetype stop = scan::linkStop(text, dot, suffix.size(), previousDot, previousStop);
        previousDot = dot;
        previousStop = stop;
        if (scan::isLinkCandidate(text, dot, suffix.size(), stop) && lastNoMatch < from) {
            const qsizetype end = dot + suffix.size();
            AddLinkToList(scan::linkEntry(text.sliced(stop + 1, end - stop - 1)), links);
        }
        from = dot + 1;
    }
}

} // namespace

namespace scan {

std::span<const QLatin1String> availableMarkers()
{
    return kAvailableMarkers;
}

std::span<const QLatin1String> linkSuffixes()
{
    return kSuffixes;
}

std::span<const QLatin1String> noMatchPhrases()
{
    return kNoMatchPhrases;
}

qsizetype availableNameEnd(QStringView folded, qsizetype start)
{
    const qsizetype close
        = folded.sliced(start).first(std::min(folded.size() - start, MaxEntryLength + 1)).indexOf(u'"');
    return close < 0 ? -1 : start + close;
}

qsizetype linkStop(QStringView text, qsizetype dot, qsizetype suffixLength, qsizetype previousDot,
                   qsizetype previousStop)
{
    // The host runs back from the suffix to the first character no host name holds, which must
    // be a stop within reach: a stop before `lowest` would make the entry too long, and one at the
    // very first character does not count.
    const qsizetype lowest = std::max<qsizetype>(1, dot + suffixLength + kWww.size() - 1 - MaxEntryLength);
    qsizetype i = dot;
    while (i > previousDot && i >= lowest && inHostName(text.at(i)))
        --i;
    qsizetype boundary;
    if (i > previousDot)
        boundary = i >= lowest ? i : -1;
    else // nothing but host characters back to the previous dot: its boundary is this one's
        boundary = previousStop >= lowest ? previousStop : -1;
    return boundary;
}

bool isLinkCandidate(QStringView text, qsizetype dot, qsizetype suffixLength, qsizetype stop)
{
    const qsizetype end = dot + suffixLength;
    // A suffix followed by more of a host name is not its end.
    if (end < text.size() && inHostName(text.at(end)))
        return false;
    return stop >= 0 && isStop(text, stop);
}

QString linkEntry(QStringView host)
{
    if (host.startsWith(kWww))
        return host.toString();
    QString entry;
    entry.reserve(kWww.size() + host.size());
    entry += kWww;
    entry += host;
    return entry;
}

} // namespace scan

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
        const qsizetype close = scan::availableNameEnd(text, start);
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
    if (curaddress.startsWith(QLatin1String("www.whois"))
        || !std::all_of(curaddress.begin(), curaddress.end(), inHostName))
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
