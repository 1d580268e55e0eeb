#pragma once

#include <QString>

namespace zandrel {

// Lower-case folding that keeps every character in its place (one character for one character),
// so a position found in the folded copy is right in the original text.
QString foldCase(const QString &text);

// Case-insensitive replace-all: removes every occurrence of `stext` (ignoring case) from `vtext`,
// putting `rtext` in its place, until none is left, including occurrences that a removal forms by
// joining the text on either side. Text a replacement put in is never searched again, so the call
// ends for every input, in time and memory linear in its size. Returns `vtext` unchanged when
// `rtext` equals `stext`.
QString replaceit(const QString &vtext, const QString &stext, const QString &rtext);

// The change that cleaning made to a text: it keeps its first `keep` characters and `tail`
// follows them.
struct TailEdit
{
    qsizetype keep = 0;
    QString tail;
};

// Removes every occurrence of `stext` (case ignored) as replaceit(text, stext, QString()) does,
// for a text whose first `cleanLength` characters hold none: only the rest, and as much before
// it as a cascade of removals reaches, is read. The edit keeps as much of the text as it can.
TailEdit removeFromTail(QStringView text, qsizetype cleanLength, const QString &stext);

} // namespace zandrel
