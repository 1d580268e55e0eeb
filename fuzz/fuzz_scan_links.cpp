// The link scan over any response: every entry is short and starts with "www.", their number is
// linear in the text, and scanning only the new part of a growing text (cleaned in between)
// gives the same list as scanning it whole.
#include "FuzzCheck.h"
#include "harvest/Harvest.h"
#include "harvest/ResponseTail.h"
#include "harvest/UniqueList.h"
#include "text/Replaceit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    zandrel::UniqueList whole(zandrel::UniqueList::Key::WithoutQuotes);
    zandrel::createweblist(text, whole);
    FUZZ_CHECK(whole.count() <= text.size() / 4 + 1);
    for (const QString &entry : whole.entries())
        FUZZ_CHECK(entry.size() <= zandrel::MaxEntryLength && entry.startsWith(QLatin1String("www.")));

    // First part, scanned and cleaned of a removal text taken from the input, then the rest.
    const qsizetype cut = size ? data[0] * text.size() / 256 : 0;
    const QString removal = text.mid(1, size > 1 ? data[1] % 8 : 0);
    zandrel::ResponseTail tail;
    zandrel::UniqueList parts(zandrel::UniqueList::Key::WithoutQuotes);
    QString kept = text.left(cut);
    tail.scanLinks(kept, parts);
    const zandrel::TailEdit edit = tail.clean(kept, removal);
    kept = kept.left(edit.keep) + edit.tail + text.sliced(cut);
    tail.scanLinks(kept, parts);

    zandrel::UniqueList reference(zandrel::UniqueList::Key::WithoutQuotes);
    zandrel::createweblist(text.left(cut), reference);
    const QString cleaned = zandrel::replaceit(text.left(cut), removal, QString()) + text.sliced(cut);
    FUZZ_CHECK(cleaned == kept);
    zandrel::createweblist(cleaned, reference);
    FUZZ_CHECK(parts.entries() == reference.entries());
    return 0;
}
