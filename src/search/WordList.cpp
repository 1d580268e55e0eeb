#include "WordList.h"

#include <QFile>
#include <QStringDecoder>

namespace zandrel {

namespace {

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

QString decodeWordList(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16).decode(bytes);
    // Editors on Windows like to start UTF-8 files with a byte-order mark.
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    // Not UTF-8 as a whole: lists were written in the Windows 8-bit code page.
    QStringDecoder ansi("windows-1252");
    if (ansi.isValid())
        return ansi.decode(data);
    return QString::fromLatin1(data);
}

QStringList parseWordList(const QByteArray &bytes)
{
    const QString text = decodeWordList(bytes);
    const qsizetype n = text.size();

    QStringList fields;
    qsizetype i = 0;
    while (i < n) {
        QString field;
        if (i < n && text.at(i) == u'"') {
            ++i;
            // A quote left open ends with its line, so one stray quote spoils one field only.
            while (i < n && !isLineEnd(text.at(i))) {
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
        // A word is sent as it stands, so blanks around it or an empty field would reach the server.
        field = field.trimmed();
        if (!field.isEmpty())
            fields.append(field);

        if (i < n) {
            if (text.at(i) == u',') {
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

Result<void> loadWordList(const QString &path, QStringList &entries, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error(file.errorString());
    // A pipe has no size to check beforehand: its read stops one byte past the limit.
    const bool tooLarge = maxBytes >= 0 && file.size() > maxBytes;
    const QByteArray bytes = maxBytes < 0 ? file.readAll()
        : tooLarge                        ? QByteArray()
                                          : file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Error(file.errorString());
    if (tooLarge || (maxBytes >= 0 && bytes.size() > maxBytes))
        return Error(QStringLiteral("larger than %1 MB").arg(maxBytes >> 20), WordListTooLarge);
    entries.append(parseWordList(bytes));
    return {};
}

} // namespace zandrel
