#include "Replaceit.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zandrel {

namespace {

char16_t foldUnit(char16_t c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
    // Simple (one-to-one) case mapping; surrogates have no case and come back as they are.
    const char32_t lower = QChar::toLower(char32_t(c));
    return lower <= 0xFFFF ? char16_t(lower) : c;
}

// KMP failure function: fail[k] is the longest proper border of pattern[0..k].
std::vector<qsizetype> borders(const QString &pattern)
{
    std::vector<qsizetype> fail(size_t(pattern.size()), 0);
    qsizetype k = 0;
    for (qsizetype i = 1; i < pattern.size(); ++i) {
        while (k > 0 && pattern.at(i) != pattern.at(k))
            k = fail[size_t(k - 1)];
        if (pattern.at(i) == pattern.at(k))
            ++k;
        fail[size_t(i)] = k;
    }
    return fail;
}

} // namespace

QString foldCase(const QString &text)
{
    QString folded(text.size(), Qt::Uninitialized);
    const char16_t *in = QStringView(text).utf16();
    QChar *out = folded.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = QChar(foldUnit(in[i]));
    return folded;
}

QString replaceit(const QString &vtext, const QString &stext, const QString &rtext)
{
    if (rtext == stext || stext.isEmpty())
        return vtext;

    const QString pattern = foldCase(stext);
    const qsizetype m = pattern.size();
    const std::vector<qsizetype> fail = borders(pattern);
    const char16_t *pat = QStringView(pattern).utf16();
    const char16_t *rep = QStringView(rtext).utf16();
    // A replacement holding the search text would be found again forever; replace once instead.
    const bool recheck = !foldCase(rtext).contains(pattern);

    // Leftmost-first repeated replacement done in one pass: the output never holds a match, so the
    // only new match can end at its tail. Each output character keeps the matcher state after it,
    // so removing a match restores the state in front of it.
    std::u16string out;
    std::vector<qsizetype> state;
    out.reserve(size_t(vtext.size()));
    state.reserve(size_t(vtext.size()));
    // Replacement characters still to be read, last first; they are read before the rest of vtext.
    std::u16string pending;

    const char16_t *in = QStringView(vtext).utf16();
    qsizetype next = 0;
    for (;;) {
        char16_t c;
        if (!pending.empty()) {
            c = pending.back();
            pending.pop_back();
        } else if (next < vtext.size()) {
            c = in[next++];
        } else {
            break;
        }

        const char16_t f = foldUnit(c);
        qsizetype k = state.empty() ? 0 : state.back();
        while (k > 0 && pat[k] != f)
            k = fail[size_t(k - 1)];
        if (pat[k] == f)
            ++k;
        if (k < m) {
            out.push_back(c);
            state.push_back(k);
            continue;
        }

        out.resize(out.size() - size_t(m - 1));
        state.resize(out.size());
        if (recheck) {
            pending.append(rep, size_t(rtext.size()));
            std::reverse(pending.end() - rtext.size(), pending.end());
        } else {
            out.append(rep, size_t(rtext.size()));
            state.resize(out.size(), 0);
        }
    }
    return QString::fromUtf16(out.data(), qsizetype(out.size()));
}

} // namespace zandrel
