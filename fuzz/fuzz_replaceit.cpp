// replaceit returns for every input, its result bounded by the input's size; with an empty
// replacement no occurrence is left, case ignored; cleaning only a tail gives the same text.
#include "FuzzCheck.h"
#include "text/Replaceit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // Two length bytes, then the search text, the replacement and the text.
    const QString rest = fuzzText(data + 2, size - 2);
    const QString stext = rest.left(data[0] % 16);
    const QString rtext = rest.mid(stext.size(), data[1] % 16);
    const QString vtext = rest.sliced(stext.size() + rtext.size());

    const QString result = zandrel::replaceit(vtext, stext, rtext);
    if (!stext.isEmpty())
        FUZZ_CHECK(result.size() <= vtext.size() + (vtext.size() / stext.size()) * rtext.size());

    const QString removed = zandrel::replaceit(vtext, stext, QString());
    FUZZ_CHECK(removed.size() <= vtext.size());
    if (!stext.isEmpty())
        FUZZ_CHECK(!zandrel::foldCase(removed).contains(zandrel::foldCase(stext)));

    const QString text = removed + rtext + vtext;
    const zandrel::TailEdit edit = zandrel::removeFromTail(text, removed.size(), stext);
    FUZZ_CHECK(edit.keep <= text.size()
               && text.left(edit.keep) + edit.tail == zandrel::replaceit(text, stext, QString()));
    return 0;
}
