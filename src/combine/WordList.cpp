#include "WordList.h"

#include <QFile>

namespace zandrel {

namespace {

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

QStringList parseWordList(const QByteArray &bytes)
{
    QByteArrayView data(bytes);
    // Editors on Windows like to start UTF-8 files with a byte-order mark.
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    const QString text = QString::fromUtf8(data);
    const qsizetype n = text.size();

    QStringList fields;
    qsizetype i = 0;
    // After a comma another field follows, even when the text ends there.
    bool fieldDue = false;
    while (i < n || fieldDue) {
        fieldDue = false;
        QString field;
        if (i < n && text.at(i) == u'"') {
            ++i;
            while (i < n) {
                const QChar c = text.at(i);
                if (c == u'"') {
                    if (i + 1 < n && text.at(i + 1) == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += c;
                ++i;
            }
        }
        // Unquoted text, or whatever stray text follows a closing quote, runs to the next delimiter.
        const qsizetype start = i;
        while (i < n && text.at(i) != u',' && !isLineEnd(text.at(i)))
            ++i;
        field += QStringView(text).sliced(start, i - start);
        fields.append(field);

        if (i < n) {
            if (text.at(i) == u',') {
                fieldDue = true;
                ++i;
            } else {
                if (text.at(i) == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                    ++i;
                ++i;
            }
        }
    }
    return fields;
}

bool loadWordList(const QString &path, QStringList &entries)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    entries.append(parseWordList(bytes));
    return true;
}

} // namespace zandrel
