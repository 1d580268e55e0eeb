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

// The search text folded, with its KMP failure table: step() gives how much of the pattern is
// matched after one more folded unit, from `k` matched before it.
class FoldedPattern
{
public:
    explicit FoldedPattern(const QString &stext)
        : m_pattern(foldCase(stext))
        , m_fail(size_t(m_pattern.size()), 0)
    {
        qsizetype k = 0;
        for (qsizetype i = 1; i < m_pattern.size(); ++i) {
            k = step(k, m_pattern.at(i).unicode());
            m_fail[size_t(i)] = k;
        }
    }

    qsizetype size() const { return m_pattern.size(); }

    qsizetype step(qsizetype k, char16_t folded) const
    {
        const char16_t *units = QStringView(m_pattern).utf16();
        while (k > 0 && units[k] != folded)
            k = m_fail[size_t(k - 1)];
        return units[k] == folded ? k + 1 : k;
    }

private:
    QString m_pattern;
    std::vector<qsizetype> m_fail; // m_fail[k]: the longest proper border of pattern[0..k]
};

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

    const FoldedPattern pattern(stext);
    const qsizetype m = pattern.size();
    const char16_t *rep = QStringView(rtext).utf16();

    // Leftmost-first repeated replacement done in one pass: the output never holds a match, so the
    // only new match can end at its tail. Each output character keeps the matcher state after it,
    // so removing a match restores the state in front of it, and a removal that joins the text on
    // either side into a new match is caught. A replacement is put in with the state reset and is
    // never searched again: that is what makes the call end for every input.
    std::u16string out;
    std::vector<qsizetype> state;
    out.reserve(size_t(vtext.size()));
    state.reserve(size_t(vtext.size()));

    const char16_t *in = QStringView(vtext).utf16();
    for (qsizetype next = 0; next < vtext.size(); ++next) {
        const char16_t c = in[next];
        const qsizetype k = pattern.step(state.empty() ? 0 : state.back(), foldUnit(c));
        if (k < m) {
            out.push_back(c);
            state.push_back(k);
            continue;
        }
        out.resize(out.size() - size_t(m - 1));
        state.resize(out.size());
        out.append(rep, size_t(rtext.size()));
        state.resize(out.size(), 0);
    }
    return QString::fromUtf16(out.data(), qsizetype(out.size()));
}

TailEdit removeFromTail(QStringView text, qsizetype cleanLength, const QString &stext)
{
    const qsizetype n = text.size();
    cleanLength = std::clamp<qsizetype>(cleanLength, 0, n);
    if (stext.isEmpty() || cleanLength == n)
        return {n, {}};

    const FoldedPattern pattern(stext);
    const qsizetype m = pattern.size();
    const char16_t *in = text.utf16();

    // The same stack as replaceit's, holding text[start, ...) with the removals made. The matcher
    // state after a character depends on at most m - 1 characters before it, so the stack keeps
    // that many loaded from the clean text, and loads more (doubling) when a cascade eats into it.
    std::u16string out;
    std::vector<qsizetype> state;
    qsizetype start = cleanLength;
    const auto loadBefore = [&] {
        while (start > 0 && qsizetype(out.size()) < m - 1) {
            const qsizetype from = std::max<qsizetype>(0, start - std::max(m, cleanLength - start));
            out.insert(0, in + from, size_t(start - from));
            start = from;
            state.resize(out.size());
            qsizetype k = 0;
            for (size_t i = 0; i < out.size(); ++i)
                state[i] = k = std::min(pattern.step(k, foldUnit(out[i])), m - 1);
        }
    };
    loadBefore();
    for (qsizetype next = cleanLength; next < n; ++next) {
        const char16_t c = in[next];
        const qsizetype k = pattern.step(state.empty() ? 0 : state.back(), foldUnit(c));
        if (k < m) {
            out.push_back(c);
            state.push_back(k);
            continue;
        }
        out.resize(out.size() - size_t(m - 1));
        state.resize(out.size());
        loadBefore();
    }

    // What the stack still shares with the text stays in place.
    qsizetype same = 0;
    while (same < qsizetype(out.size()) && start + same < n && out[size_t(same)] == in[start + same])
        ++same;
    return {start + same, QString::fromUtf16(out.data() + same, qsizetype(out.size()) - same)};
}

} // namespace zandrel
