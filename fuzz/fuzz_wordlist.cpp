// The word-list reader over any file: no more fields than separators allow, and no field holds
// more than the file did.
#include "FuzzCheck.h"
#include "search/WordList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList fields = zandrel::parseWordList(bytes);
    FUZZ_CHECK(fields.size() <= bytes.count(',') + bytes.count('\n') + bytes.count('\r') + 1);
    qsizetype characters = 0;
    for (const QString &field : fields)
        characters += field.size();
    FUZZ_CHECK(characters <= bytes.size());
    return 0;
}
