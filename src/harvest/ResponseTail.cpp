#include "ResponseTail.h"

#include "harvest/Harvest.h"
#include "harvest/UniqueList.h"

#include <algorithm>

namespace zandrel {

namespace {

// Every start of `needle` in `folded`.
std::vector<qsizetype> findAll(QStringView folded, QLatin1String needle)
{
    std::vector<qsizetype> found;
    for (qsizetype at = folded.indexOf(needle); at >= 0; at = folded.indexOf(needle, at + 1))
        found.push_back(at);
    return found;
}

qsizetype longest(std::span<const QLatin1String> texts)
{
    qsizetype size = 0;
    for (const QLatin1String text : texts)
        size = std::max(size, text.size());
    return size;
}

// The link candidate whose suffix starts at `dot` of the whole (unfolded) text, or nothing.
void offerLinkAt(const QString &text, qsizetype dot, qsizetype suffixLength, UniqueList &links)
{
    const qsizetype stop = scan::linkStop(text, dot, suffixLength, -1, -1);
    if (scan::isLinkCandidate(text, dot, suffixLength, stop))
        AddLinkToList(scan::linkEntry(foldCase(text.mid(stop + 1, dot + suffixLength - stop - 1))), links);
}

} // namespace

void ResponseTail::reset()
{
    *this = ResponseTail();
}

void ResponseTail::changedFrom(qsizetype position)
{
    m_availableFrom = std::min(m_availableFrom, position);
    m_linksFrom = std::min(m_linksFrom, position);
    m_cleanFrom = std::min(m_cleanFrom, position);
}

void ResponseTail::scanAvailable(const QString &text, UniqueList &available,
                                 const std::function<QString(const QString &)> &admit)
{
    const std::span<const QLatin1String> markers = scan::availableMarkers();
    const qsizetype newFrom = std::min(m_availableFrom, text.size());
    m_availableFrom = text.size();
    // A name ending after newFrom starts no further back than its marker and the longest name.
    const qsizetype base = std::max<qsizetype>(0, newFrom - longest(markers) - MaxEntryLength - 1);
    const QString folded = foldCase(text.sliced(base));

    std::vector<std::pair<qsizetype, qsizetype>> names; // marker start, name start
    for (const QLatin1String marker : markers) {
        for (const qsizetype at : findAll(folded, marker))
            names.emplace_back(at, at + marker.size());
    }
    std::sort(names.begin(), names.end());
    for (const auto &[at, start] : names) {
        const qsizetype close = scan::availableNameEnd(folded, start);
        if (close >= 0 && base + close >= newFrom) {
            const QString name = folded.mid(start, close - start);
            AddAvailableToList(admit ? admit(name) : name, available);
        }
    }
}

void ResponseTail::scanLinks(const QString &text, UniqueList &links)
{
    const std::span<const QLatin1String> suffixes = scan::linkSuffixes();
    const std::span<const QLatin1String> phrases = scan::noMatchPhrases();
    const qsizetype comLength = suffixes[0].size();
    const qsizetype phraseLength = longest(phrases);
    const qsizetype newFrom = std::min(m_linksFrom, text.size());
    m_linksFrom = text.size();

    // Forget what was found in the part that changed.
    const auto keepBefore = [](std::vector<qsizetype> &found, qsizetype limit) {
        found.erase(std::lower_bound(found.begin(), found.end(), limit), found.end());
    };
    // A suffix ending right at newFrom counts as changed: what follows it may be new.
    keepBefore(m_comDots, newFrom - comLength);
    keepBefore(m_withheld, newFrom - comLength);
    keepBefore(m_noMatch, newFrom - phraseLength + 1);

    // A candidate ending after newFrom starts no further back than the longest entry.
    const qsizetype base = std::max<qsizetype>(0, newFrom - MaxEntryLength - phraseLength);
    const QString folded = foldCase(text.sliced(base));

    std::vector<qsizetype> found;
    for (const QLatin1String phrase : phrases) {
        for (const qsizetype at : findAll(folded, phrase)) {
            if (base + at + phraseLength > newFrom)
                found.push_back(base + at);
        }
    }
    std::sort(found.begin(), found.end());
    m_noMatch.insert(m_noMatch.end(), found.begin(), found.end());
    const qsizetype lastNoMatch = m_noMatch.empty() ? -1 : m_noMatch.back();

    // A .com candidate counts when a .com lies between the last no-match phrase and it. A
    // phrase removed since the last scan lets candidates withheld for it count now.
    if (lastNoMatch < m_lastNoMatch) {
        qsizetype firstCounting = -1;
        if (lastNoMatch >= 0) {
            const auto after = std::upper_bound(m_comDots.begin(), m_comDots.end(), lastNoMatch);
            firstCounting = after == m_comDots.end() ? text.size() : *after;
        }
        const auto from = std::upper_bound(m_withheld.begin(), m_withheld.end(), firstCounting);
        for (auto dot = from; dot != m_withheld.end(); ++dot)
            offerLinkAt(text, *dot, comLength, links);
        m_withheld.erase(from, m_withheld.end());
    }
    m_lastNoMatch = lastNoMatch;

    for (const QLatin1String suffix : suffixes) {
        const bool isCom = suffix == suffixes[0];
        qsizetype previousDot = -1;
        qsizetype previousStop = -1;
        for (const qsizetype at : findAll(folded, suffix)) {
            const qsizetype stop = scan::linkStop(folded, at, suffix.size(), previousDot, previousStop);
            previousDot = at;
            previousStop = stop;
            const qsizetype dot = base + at;
            if (dot + suffix.size() < newFrom)
                continue;
            bool counts = true;
            if (isCom) {
                counts = lastNoMatch <= (m_comDots.empty() ? -1 : m_comDots.back());
                m_comDots.push_back(dot);
            }
            if (!scan::isLinkCandidate(folded, at, suffix.size(), stop))
                continue;
            if (counts)
                AddLinkToList(
                    scan::linkEntry(QStringView(folded).sliced(stop + 1, at + suffix.size() - stop - 1)),
                    links);
            else
                m_withheld.push_back(dot);
        }
    }
}

TailEdit ResponseTail::clean(const QString &text, const QString &stext)
{
    if (stext != m_cleaned) {
        m_cleaned = stext;
        m_cleanFrom = 0;
    }
    TailEdit edit = removeFromTail(text, m_cleanFrom, stext);
    changedFrom(edit.keep);
    m_cleanFrom = edit.keep + edit.tail.size();
    return edit;
}

} // namespace zandrel
