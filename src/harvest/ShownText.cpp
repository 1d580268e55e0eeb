#include "ShownText.h"

namespace zandrel {

namespace {
// Rewriting the end reads the text again from the mark before it: marks this far apart keep that
// short without keeping one per piece of a long answer.
constexpr qsizetype MarkSpacing = 4096;
} // namespace

QString ShownText::convert(QStringView piece, State &state)
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
        } else {
            out += c;
            state.breaks = 0;
        }
    }
    return out;
}

QString ShownText::shown(QStringView text)
{
    State state;
    return convert(text, state);
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
    const QString added = convert(piece, end.state);
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
    at.shown += convert(QStringView(text).sliced(at.text, keep - at.text), at.state).size();
    at.text = keep;
    moveEnd(at);
    return {at.shown, append(text.sliced(keep))};
}

} // namespace zandrel
