#include "ShownText.h"

#include <algorithm>

namespace zandrel {

namespace {
// Rewriting the end reads the text again from the mark before it: marks this far apart keep that
// short without keeping one per piece of a long answer.
constexpr qsizetype MarkSpacing = 4096;
} // namespace

QString ShownText::convert(QStringView piece, State &state, qsizetype lineLength)
{
    QString out;
    out.reserve(piece.size());
    for (const QChar c : piece) {
        if (c == u'\n' && state.afterCr) {
            state.afterCr = false;
            continue;
        }
        state.afterCr = c == u'\r';
        if (c == u'\r' || c == u'\n') {
            if (state.breaks <= MaxEmptyLines)
                out += u'\n';
            ++state.breaks;
            state.column = 0;
        } else {
            // A surrogate pair stays on one line.
            if (state.column >= lineLength && !c.isLowSurrogate()) {
                out += u'\n';
                state.column = 0;
            }
            out += c;
            ++state.column;
            state.breaks = 0;
        }
    }
    return out;
}

QString ShownText::shown(QStringView text, qsizetype lineLength)
{
    State state;
    return convert(text, state, lineLength);
}

QString ShownText::reset(const QString &text)
{
    m_marks.assign(1, Mark {});
    return append(text);
}

void ShownText::moveEnd(const Mark &end)
{
    // The first mark stays at the start; the last one moves to the end, leaving the one before it
    // where it was when that is far enough back.
    if (m_marks.size() > 1 && end.text - m_marks[m_marks.size() - 2].text < MarkSpacing)
        m_marks.back() = end;
    else
        m_marks.push_back(end);
}

QString ShownText::append(const QString &piece)
{
    Mark end = m_marks.back();
    const QString added = convert(piece, end.state, m_lineLength);
    end.text += piece.size();
    end.shown += added.size();
    moveEnd(end);
    return added;
}

ShownText::Change ShownText::replaceTail(const QString &text, qsizetype keep)
{
    while (m_marks.back().text > keep)
        m_marks.pop_back();
    Mark at = m_marks.back();
    at.shown += convert(QStringView(text).sliced(at.text, keep - at.text), at.state, m_lineLength).size();
    at.text = keep;
    moveEnd(at);
    return {at.shown, append(text.sliced(keep))};
}

void ShownFeed::reset(const QString &shown)
{
    m_inBox = 0;
    m_waiting = shown;
    m_from = 0;
}

void ShownFeed::append(const QString &added)
{
    if (m_from > 0 && m_from == m_waiting.size()) {
        m_waiting.clear();
        m_from = 0;
    }
    m_waiting += added;
}

qsizetype ShownFeed::replaceTail(const ShownText::Change &change)
{
    if (change.keep >= m_inBox) {
        m_waiting.truncate(m_from + change.keep - m_inBox);
        append(change.added);
        return m_inBox;
    }
    reset(change.added);
    m_inBox = change.keep;
    return change.keep;
}

QString ShownFeed::take()
{
    // A line goes in whole: the box lays a line out again each time it grows.
    const QStringView rest = QStringView(m_waiting).sliced(m_from);
    qsizetype size = rest.size();
    if (size > m_sliceSize) {
        const qsizetype lastBreak = rest.first(m_sliceSize).lastIndexOf(u'\n');
        const qsizetype nextBreak = lastBreak >= 0 ? lastBreak : rest.indexOf(u'\n', m_sliceSize);
        if (nextBreak >= 0)
            size = nextBreak + 1;
    }
    const QString slice = m_waiting.sliced(m_from, size);
    m_from += size;
    m_inBox += size;
    if (m_from == m_waiting.size()) {
        m_waiting.clear();
        m_from = 0;
    }
    return slice;
}

} // namespace zandrel
