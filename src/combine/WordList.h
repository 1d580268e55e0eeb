#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zandrel {

// Reads a word-list file's bytes as comma-separated fields: a field ends at a comma or a line
// end (CR LF, a lone CR or a lone LF), a field in double quotes may hold commas, a blank line is
// one empty field. UTF-8; a leading byte-order mark is skipped.
QStringList parseWordList(const QByteArray &bytes);

// Reads the file at `path` and appends its fields to `entries`. Returns false when the file
// cannot be opened or read; nothing is appended then.
bool loadWordList(const QString &path, QStringList &entries);

} // namespace zandrel
