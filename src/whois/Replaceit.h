#pragma once

#include <QString>

namespace zandrel {

// Lower-case folding that keeps every character in its place (one character for one character),
// so a position found in the folded copy is right in the original text.
QString foldCase(const QString &text);

// Case-insensitive replace-all: removes every occurrence of `stext` (ignoring case) from `vtext`,
// putting `rtext` in its place, until none is left, including occurrences that a replacement forms
// by joining the text on either side. Returns `vtext` unchanged when `rtext` equals `stext`.
QString replaceit(const QString &vtext, const QString &stext, const QString &rtext);

} // namespace zandrel
