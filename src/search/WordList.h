#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zandrel {

// A word-list file's text: UTF-16 after its byte-order mark, UTF-8 (a leading mark skipped) when
// the whole file is valid UTF-8, else Windows-1252.
QString decodeWordList(const QByteArray &bytes);

// Reads a word-list file's bytes as comma-separated words: a word ends at a comma or a line end
// (CR LF, a lone CR or a lone LF), a word in double quotes may hold commas (a quote not closed on
// its line ends there). Blanks around a word are dropped, and so is a field left empty (a blank
// line, a lone or doubled comma, "").
QStringList parseWordList(const QByteArray &bytes);

// The error code of a word list over its limit.
inline constexpr int WordListTooLarge = 1;

// Reads the file at `path` and appends its fields to `entries`; an error when the file cannot be
// opened or read, or holds more than `maxBytes` (negative: no limit), and nothing is appended then.
Result<void> loadWordList(const QString &path, QStringList &entries, qint64 maxBytes = -1);

} // namespace zandrel
