#pragma once

#include <QString>

#include <functional>
#include <span>

namespace zandrel {

class UniqueList;

// The scans that run over the whole response text when a lookup ends. They work on the text as
// shown in the response box, with carriage return and line feed pairs as line breaks.

// Adds `curaddress` to `available` unless it is empty, starts with "www.whois", holds "@", or is
// listed already.
void AddAvailableToList(const QString &curaddress, UniqueList &available);

// No host name is longer than this; a longer candidate is dropped before it is built.
inline constexpr qsizetype MaxEntryLength = 253;

// Offers every domain the server reports unregistered ("no match for domain \"NAME\"", and the
// registry's present form "No match for \"NAME\"") to AddAvailableToList, in text order. A name
// longer than MaxEntryLength is dropped. With `admit`, each name found is offered as `admit` maps
// it, and not at all when that is empty.
void createavailablelist(const QString &response, UniqueList &available,
                         const std::function<QString(const QString &)> &admit = {});

// Adds `curaddress` to `links` unless a filter drops it (a character no host name holds among
// them) or its key (double quotes removed) is listed already.
void AddLinkToList(const QString &curaddress, UniqueList &links);

// Offers "www." plus every host name ending in .com, .org, .net, .edu or .gov to AddLinkToList
// ("www." once only), one pass per suffix in that order. A host runs back from its suffix to a
// blank, a colon or a line start and holds only letters, digits, hyphens and dots; a suffix
// followed by one of those ends no host. The caller clears the pending-lookup flag afterwards. An
// entry longer than MaxEntryLength is dropped. Time and memory stay linear in the text's size.
void createweblist(const QString &response, UniqueList &links);

// The building blocks of both scans, for scanning part of a text (see ResponseTail).
namespace scan {
// The available-name markers and the link suffixes, folded, in the order the scans use them.
std::span<const QLatin1String> availableMarkers();
std::span<const QLatin1String> linkSuffixes();
// The phrases after which the first .com candidate is not a link.
std::span<const QLatin1String> noMatchPhrases();
// The name after a marker ending at `start` of `folded`: up to its closing quote, which must
// come within MaxEntryLength characters. Returns the position of the quote, or -1.
qsizetype availableNameEnd(QStringView folded, qsizetype start);
// The host of the candidate whose suffix starts at `dot`: the position of the nearest character
// before it that no host name holds, or -1 when there is none or the entry would be longer than
// MaxEntryLength. The result for `previousDot` (if the scan reaches it) is reused, so a pass
// stays linear.
qsizetype linkStop(QStringView text, qsizetype dot, qsizetype suffixLength, qsizetype previousDot,
                   qsizetype previousStop);
// Whether the suffix at `dot`, with linkStop()'s `stop`, ends a host worth offering: the host
// starts after a stop and the suffix is not followed by more of a host name.
bool isLinkCandidate(QStringView text, qsizetype dot, qsizetype suffixLength, qsizetype stop);
// The entry for a host found in the text: "www." and the host, or the host alone when it
// begins with "www." already.
QString linkEntry(QStringView host);
} // namespace scan

} // namespace zandrel
