#pragma once

#include <QFile>
#include <QStringList>
#include <QTest>

namespace zandrel::test {

inline QString asText(const char *utf8)
{
    return QString::fromUtf8(utf8);
}
inline QString asText(const QString &text)
{
    return text;
}

// Adds a data row whose every column is text: plain literals keep each row on one line.
template<typename... Texts>
void textRow(const char *tag, const Texts &...texts)
{
    (QTest::newRow(tag) << ... << asText(texts));
}

// "a|b|c" as a list; empty parts are dropped.
inline QStringList words(const char *joined)
{
    return QString::fromUtf8(joined).split(u'|', Qt::SkipEmptyParts);
}

// A file's bytes; "<unreadable>" when it cannot be read, so a missing file never passes for an
// empty one.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Writes `bytes` as the whole file at `path`.
inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace zandrel::test
