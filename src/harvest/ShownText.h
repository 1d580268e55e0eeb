#pragma once

#include <QString>

#include <vector>

namespace zandrel {

// What the response box shows of the response text: every line break (CR LF, a lone LF or a lone
// CR) as one line feed, and no more than MaxEmptyLines empty lines in a row, so that an answer of
// a million bare line feeds shows as a few lines instead of a million; a line longer than the line
// length goes on in the next line, so that one line of a megabyte costs the box no more to lay
// out than many short ones. Follows the text as it grows and as its end is rewritten, reading only
// what changed.
class ShownText
{
public:
    static constexpr int MaxEmptyLines = 2;
    static constexpr qsizetype LineLength = 1000;

    explicit ShownText(qsizetype lineLength = LineLength)
        : m_lineLength(lineLength)
    { }

    // What to do to the shown text: keep its first `keep` characters, then add `added`.
    struct Change
    {
        qsizetype keep = 0;
        QString added;
        friend bool operator==(const Change &, const Change &) = default;
    };

    // The text was replaced as a whole: the whole shown text.
    QString reset(const QString &text);
    // `piece` was added at the end: what to add to the shown text.
    QString append(const QString &piece);
    // The text from `keep` on was replaced; `text` is the text as it is now.
    Change replaceTail(const QString &text, qsizetype keep);

    // The whole shown form of `text`, in one step.
    static QString shown(QStringView text, qsizetype lineLength = LineLength);

private:
    struct State
    {
        int breaks = 0; // line breaks at the end of what is shown
        bool afterCr = false; // the text ends in a CR whose break is shown: a LF next adds none
        qsizetype column = 0; // characters shown since the last line feed
    };
    struct Mark
    {
        qsizetype text = 0; // a position in the text
        qsizetype shown = 0; // the same place in the shown text
        State state;
    };

    static QString convert(QStringView piece, State &state, qsizetype lineLength);
    void moveEnd(const Mark &end);

    // Places in the text whose shown position is known, at least MarkSpacing apart, in order; the
    // last one is the end of the text.
    std::vector<Mark> m_marks {Mark {}};
    qsizetype m_lineLength;
};

// Hands the shown text to the box a slice at a time, so that a long answer never holds the window
// for long: tracks what the box holds and what still waits.
class ShownFeed
{
public:
    explicit ShownFeed(qsizetype sliceSize = 32 * 1024)
        : m_sliceSize(sliceSize)
    { }

    // The box was emptied; `shown` waits.
    void reset(const QString &shown);
    void append(const QString &added);
    // The shown text changed from `change.keep` on: returns where the box is to be cut (its size
    // when what it holds stays).
    qsizetype replaceTail(const ShownText::Change &change);
    // The next slice for the end of the box: whole lines, no more than the slice size unless one
    // line is longer; empty when nothing waits.
    QString take();
    bool waiting() const { return m_from < m_waiting.size(); }
    // What waits.
    QStringView rest() const { return QStringView(m_waiting).sliced(m_from); }

private:
    qsizetype m_sliceSize;
    qsizetype m_inBox = 0; // characters the box holds
    QString m_waiting; // from m_from on, what the box does not hold yet
    qsizetype m_from = 0;
};

} // namespace zandrel
