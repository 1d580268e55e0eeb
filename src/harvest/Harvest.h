#pragma once

#include <QString>

#include <functional>

namespace zandrel {

class UniqueList;

// The scans that run over the whole response text when a lookup ends. They work on the text as
// shown in the response box, with carriage return and line feed pairs as line breaks.

// Adds `curaddress` to `available` unless it is empty, starts with "www.whois", holds "@", or is
// listed already.
void AddAvailableToList(const QString &curaddress, UniqueList &available);

// Offers every domain the server reports unregistered ("no match for domain \"NAME\"", and the
// registry's present form "No match for \"NAME\"") to AddAvailableToList, in text order. With
// `admit`, each name found is offered as `admit` maps it, and not at all when that is empty.
void createavailablelist(const QString &response, UniqueList &available,
                         const std::function<QString(const QString &)> &admit = {});

// Adds `curaddress` to `links` unless a filter drops it or its key (double quotes removed) is
// listed already.
void AddLinkToList(const QString &curaddress, UniqueList &links);

// Offers "www." plus every host name ending in .com, .org, .net, .edu or .gov to AddLinkToList,
// one pass per suffix in that order. The caller clears the pending-lookup flag afterwards.
void createweblist(const QString &response, UniqueList &links);

} // namespace zandrel
