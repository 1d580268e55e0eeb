#include "CliHelp.h"

#include <QFile>
#include <QMap>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace zandrel {

namespace {

constexpr qsizetype HelpWidth = 96;
constexpr qsizetype OptionColumn = 24; // where an option's text starts
constexpr qsizetype UsagePurposeColumn = 50; // where a usage form's purpose starts, when it fits

// Greedy word wrap: the first line starts after firstIndent characters already written, later ones
// after `indent` blanks.
QString wrapped(const QString &text, qsizetype firstIndent, qsizetype indent)
{
    QString out;
    qsizetype column = firstIndent;
    bool lineEmpty = true;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!lineEmpty && column + 1 + word.size() > HelpWidth) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += u' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out;
}

// The lines of each section, comments left out, blank lines kept.
QMap<QString, QStringList> sections(const QString &source)
{
    QMap<QString, QStringList> result;
    QString current;
    for (QString line : source.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']') && !line.contains(u' ')) {
            current = line.mid(1, line.size() - 2);
            continue;
        }
        if (!current.isEmpty())
            result[current].append(line);
    }
    return result;
}

QString usage(const QStringList &lines)
{
    QString out;
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        QString form
            = (out.isEmpty() ? u"Usage: zandrel "_s : u"       zandrel "_s) + line.section(u'\t', 0, 0);
        const QString purpose = line.section(u'\t', 1).trimmed();
        if (!purpose.isEmpty())
            form += QString(std::max<qsizetype>(3, UsagePurposeColumn - form.size()), u' ') + purpose;
        out += form + u'\n';
    }
    return out;
}

QString description(const QStringList &lines)
{
    QStringList paragraphs;
    QString paragraph;
    for (const QString &line : lines + QStringList {QString()}) {
        if (line.trimmed().isEmpty()) {
            if (!paragraph.isEmpty())
                paragraphs.append(wrapped(paragraph, 0, 0) + u'\n');
            paragraph.clear();
        } else {
            paragraph += u' ' + line.trimmed();
        }
    }
    return paragraphs.join(u'\n');
}

QString options(const QStringList &lines)
{
    QString out;
    QString spelling;
    QString text;
    const auto flushEntry = [&] {
        if (spelling.isEmpty())
            return;
        QString entry = u"  "_s + spelling;
        if (entry.size() + 2 > OptionColumn)
            entry += u'\n' + QString(OptionColumn, u' ');
        else
            entry += QString(OptionColumn - entry.size(), u' ');
        out += entry + wrapped(text, OptionColumn, OptionColumn) + u'\n';
        spelling.clear();
        text.clear();
    };
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        if (line.front().isSpace()) {
            text += u' ' + line.trimmed();
        } else {
            flushEntry();
            spelling = line.trimmed();
        }
    }
    flushEntry();
    return out;
}

QString exitStatuses(const QStringList &lines)
{
    QString out;
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QString status = line.section(u'\t', 0, 0).trimmed();
        out += u"  "_s + status + QString(std::max<qsizetype>(2, 4 - status.size()), u' ')
            + wrapped(line.section(u'\t', 1).trimmed(), 6, 6) + u'\n';
    }
    return out.isEmpty() ? out : u"Exit status:\n"_s + out;
}

} // namespace

QString cliHelpSource()
{
    QFile file(u":/zandrel/cli/help.txt"_s);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString renderCliHelp(const QString &source)
{
    const QMap<QString, QStringList> parts = sections(source);
    QStringList blocks;
    for (const QString &block : {usage(parts.value(u"usage"_s)), description(parts.value(u"description"_s)),
                                 options(parts.value(u"options"_s)), exitStatuses(parts.value(u"exit"_s))}) {
        if (!block.isEmpty())
            blocks.append(block);
    }
    return blocks.join(u'\n');
}

} // namespace zandrel
