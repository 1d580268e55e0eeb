// The available-name scan over any response: every name is short, and scanning only the new
// part of a growing text gives the same list as scanning it whole.
#include "FuzzCheck.h"
#include "harvest/Harvest.h"
#include "harvest/ResponseTail.h"
#include "harvest/UniqueList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    zandrel::UniqueList whole;
    zandrel::createavailablelist(text, whole);
    FUZZ_CHECK(whole.count() <= text.size() / 14 + 1);
    for (const QString &entry : whole.entries())
        FUZZ_CHECK(!entry.isEmpty() && entry.size() <= zandrel::MaxEntryLength && !entry.contains(u'"'));

    zandrel::ResponseTail tail;
    zandrel::UniqueList parts;
    const qsizetype cut = size ? data[0] * text.size() / 256 : 0;
    tail.scanAvailable(text.left(cut), parts);
    tail.scanAvailable(text, parts);
    zandrel::UniqueList first;
    zandrel::createavailablelist(text.left(cut), first);
    zandrel::createavailablelist(text, first);
    FUZZ_CHECK(parts.entries() == first.entries());
    return 0;
}
