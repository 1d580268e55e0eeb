#include "Report.h"

#include "Csv.h"
#include "Sections.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <array>
#include <utility>

namespace zandrel {

namespace {

constexpr QStringView CrLf = u"\r\n";

struct SearchEngine
{
    QStringView label;
    QStringView addressBeforeTerm; // "http://", host, path and query
    QStringView textAfterTerm;
};

constexpr std::array<SearchEngine, 8> SearchEngines {{
    {u"AltaVista", u"http://www.altavista.com/cgi-bin/query?pg=q&sc=on&hl=on&q=", u"&kl=XX&stype=stext="},
    {u"Lycos", u"http://www.lycos.com/srch/?lpv=1&loc=searchhp&query=", u""},
    {u"Excite", u"http://search.excite.com/search.gw?search=", u""},
    {u"Hotbot", u"http://www.hotbot.com/?MT=", u"&SM=MC&DV=0&LG=any&DC=10&DE=2"},
    {u"Infoseek", u"http://infoseek.go.com/Titles?col=WW&qt=", u"&svx=home_searchbox&sv=IS&lk=ip-noframes"},
    {u"AOLNetfind", u"http://search.aol.com/dirsearch.adp?query=", u""},
    {u"WebCrawler", u"http://www.webcrawler.com/cgi-bin/WebQuery?searchText=", u""},
    {u"CNET", u"http://search.cnet.com/search?cat=103&timeout=3&partner=techsearch&q=",
     u"&tag=st.cn.1.srch.sr"},
}};

// Rough sizes of one table row, so the buffer is reserved once instead of regrown.
constexpr qsizetype TermRowSize = 1200;
constexpr qsizetype DomainRowSize = 120;

constexpr QStringView AnchorStart = u"<a target=\"_blank\" href='";
constexpr QStringView AnchorMiddle = u"'>";

void appendHeading(QString &out, QStringView title)
{
    out += u"<p align='center'><b>";
    out += title;
    out += u"</b></p>";
}

void appendTableStart(QString &out, QStringView title, QStringView colour)
{
    appendHeading(out, title);
    out += u"<p align='center'><table bordercolor='";
    out += colour;
    out += u"' bgcolor='";
    out += colour;
    out += u"'>";
    out += CrLf;
}

void appendTableEnd(QString &out)
{
    out += u"</table>";
    out += CrLf;
}

void appendTermTable(QString &out, QStringView title, const QStringList &terms)
{
    appendTableStart(out, title, u"66FF33");
    out += u"<tr>";
    out += CrLf;
    for (const SearchEngine &engine : SearchEngines) {
        out += u"<td>";
        out += engine.label;
        out += CrLf;
        out += u"</td>";
    }
    out += u"</tr>";
    out += CrLf;
    for (const QString &term : terms) {
        // Percent-encoding leaves no character that HTML would read as markup.
        const QString query = encodeQueryTerm(term);
        const QString link = escapeHtml(term);
        out += u"<tr>";
        out += CrLf;
        for (const SearchEngine &engine : SearchEngines) {
            out += u"<td>";
            out += AnchorStart;
            out += engine.addressBeforeTerm;
            out += query;
            out += engine.textAfterTerm;
            out += AnchorMiddle;
            out += link;
            out += CrLf;
            out += u"</td>";
        }
        out += u"</tr>";
        out += CrLf;
    }
    appendTableEnd(out);
}

// QSaveFile buffers, and its commit does not fail on a flush that fails (a full disk): the flush
// is checked before committing, so a failed write never replaces a file.
Result<void> writeWhole(const QString &path, const QString &text, const ReportWriter::WriteBytes &write)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = text.toUtf8();
        const qint64 written = write ? write(file, bytes) : file.write(bytes);
        if (written == bytes.size() && file.flush() && file.error() == QFileDevice::NoError && file.commit())
            return {};
    }
    const QString reason = file.errorString();
    file.cancelWriting();
    return Error(QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

} // namespace

QList<LookupRecord> latestVerdicts(const QList<LookupRecord> &records)
{
    QList<LookupRecord> rows;
    QHash<QString, qsizetype> rowOf;
    for (const LookupRecord &record : records) {
        const QString key = record.name.toLower();
        const auto found = rowOf.constFind(key);
        if (found == rowOf.constEnd()) {
            rowOf.insert(key, rows.size());
            rows.append(record);
        } else {
            rows[*found] = record;
        }
    }
    return rows;
}

QString reportStamp(const QDateTime &when)
{
    // One form on every locale: ASCII digits, a four-digit year, seconds so that two reports in the
    // same minute get different names, and nothing a file system could refuse.
    return QLocale::c().toString(when, QStringLiteral("MM-dd-yyyy_hh_mm_ss_AP"));
}

QString composeLinkText(const QStringList &links)
{
    qsizetype size = 0;
    for (const QString &link : links)
        size += link.size() + CrLf.size();
    QString text;
    text.reserve(size);
    for (const QString &link : links) {
        text += link;
        text += CrLf;
    }
    return text;
}

QString freeBaseName(const QString &folder, const QString &baseName)
{
    const auto taken = [&folder](const QString &base) {
        return std::any_of(ReportExtensions.begin(), ReportExtensions.end(),
                           [&](QLatin1StringView extension) {
                               const QFileInfo file(folder + u'/' + base + extension);
                               return file.exists() || file.isSymLink();
                           });
    };
    QString base = baseName;
    for (int n = 2; taken(base); ++n)
        base = baseName + u'-' + QString::number(n);
    return base;
}

QString escapeHtml(const QString &text)
{
    // Qt escapes & < > and the double quote; attribute values here are in apostrophes as well.
    QString escaped = text.toHtmlEscaped().replace(u'\'', QStringLiteral("&#39;"));
    // Control characters and bidirectional overrides and isolates could make one name show as
    // another: they are shown as replacement characters instead.
    for (QChar &c : escaped) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            c = QChar::ReplacementCharacter;
    }
    return escaped;
}

QString encodeQueryTerm(const QString &term)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(term));
}

ReportWriter::ReportWriter(std::function<void(const QString &)> setCaption)
    : m_setCaption(std::move(setCaption))
{ }

Result<ReportFiles> ReportWriter::SaveResults(const QString &baseName, const ReportInput &input,
                                              const QString &folder, const QString &fallbackFolder)
{
    ReportFiles result;
    // Every file of the report goes under one base name that none of them has in the folder yet.
    QString base;
    const auto pathIn = [&base](const QString &dir, QLatin1StringView extension) {
        return dir + u'/' + base + extension;
    };
    const QLatin1StringView textExtension = ReportExtensions[0];
    const QLatin1StringView htmlExtension = ReportExtensions[1];
    const QLatin1StringView csvExtension = ReportExtensions[2];

    const QList<LookupRecord> rows = latestVerdicts(input.records);
    const QList<ReportSection> sections = beyondSections(rows);
    // The text file lists what the page does: the free names, then the existing domains.
    QStringList listed;
    for (const LookupRecord &row : rows) {
        if (row.judged && row.verdict.kind == VerdictKind::Free)
            listed << row.name;
    }
    const QString linkText = composeLinkText(listed + input.links) + sectionsText(sections);
    const QString csvText = composeCsv(rows);
    // The lists go first, the two of them or neither.
    const auto writeLists = [&](const QString &dir) {
        result.textPath = pathIn(dir, textExtension);
        result.csvPath = pathIn(dir, csvExtension);
        Result<void> outcome = writeWhole(result.textPath, linkText, m_write);
        if (outcome) {
            outcome = writeWhole(result.csvPath, csvText, m_write);
            if (!outcome)
                QFile::remove(result.textPath);
        }
        return outcome;
    };
    result.folder = folder;
    base = freeBaseName(folder, baseName);
    Result<void> written = writeLists(folder);
    const auto switchToFallback = [&]() {
        if (fallbackFolder.isEmpty()) // none: the first error stands
            return;
        const QString firstError = written.error().text;
        result.usedFallback = true;
        result.folder = fallbackFolder;
        if (!QDir().mkpath(fallbackFolder)) {
            written
                = Error(QStringLiteral("Could not create %1").arg(QDir::toNativeSeparators(fallbackFolder)));
        } else {
            base = freeBaseName(fallbackFolder, baseName);
            written = writeLists(fallbackFolder);
        }
        if (!written)
            written = Error(firstError + QStringLiteral("; ") + written.error().text);
    };
    if (!written)
        switchToFallback();
    if (!written)
        return written.error();

    const int termCount = int(input.prefixes.size() + input.suffixes.size());
    const int domainCount = int(rows.size() + input.links.size());
    QString html;
    html.reserve(4096 + termCount * TermRowSize + domainCount * DomainRowSize);
    html += u"<html><head><title>Zandrel Domain Search Results</title></head><body>";
    html += CrLf;
    appendTermTable(html, u"Prefix Search Terms", input.prefixes);
    appendTermTable(html, u"Suffix Search Terms", input.suffixes);

    appendTableStart(html, u"Available Domains", u"#FFFF00");
    const auto isFree = [](const LookupRecord &row) {
        return row.judged && row.verdict.kind == VerdictKind::Free;
    };
    // Names nobody can register were still answered: only the unknown ones are listed here.
    const auto notAnswered = [](const LookupRecord &row) {
        return row.judged && row.verdict.kind == VerdictKind::Unknown;
    };
    for (const LookupRecord &row : rows) {
        if (!isFree(row))
            continue;
        const QString &domain = row.name;
        html += u"<tr><td>";
        html += CrLf;
        html += AnchorStart;
        html += RegistrarHomePage;
        html += AnchorMiddle;
        html += u"http://www.";
        // Every entry carries its own TLD.
        html += escapeHtml(domain);
        html += CrLf;
        html += row.details.premium ? u"</td><td>premium</td></tr>" : u"</td></tr>";
        html += CrLf;
    }
    appendTableEnd(html);
    for (const ReportSection &section : sections) {
        appendTableStart(html, section.title, section.colour);
        for (const QStringList &cells : section.rows) {
            html += u"<tr>";
            for (const QString &cell : cells) {
                html += u"<td>";
                html += escapeHtml(cell);
                html += u"</td>";
            }
            html += u"</tr>";
            html += CrLf;
        }
        appendTableEnd(html);
    }

    if (std::any_of(rows.begin(), rows.end(), notAnswered)) {
        appendTableStart(html, u"Not Answered", u"#FF9966");
        for (const LookupRecord &row : rows) {
            if (!notAnswered(row))
                continue;
            html += u"<tr><td>";
            html += escapeHtml(row.name);
            html += u"</td><td>";
            html += escapeHtml(reasonWords(row.verdict.reason));
            html += u"</td></tr>";
            html += CrLf;
        }
        appendTableEnd(html);
    }

    appendTableStart(html, u"Existing Domains", u"00FFFF");
    const int existingRows = int(input.links.size());
    const QHash<QString, QDate> expiry = expiryByLink(rows);
    for (int i = 0; i < existingRows; ++i) {
        const QString host = escapeHtml(input.links.at(i));
        html += u"<tr><td>";
        html += CrLf;
        html += AnchorStart;
        html += u"http://";
        html += host;
        html += AnchorMiddle;
        html += u"http://";
        html += host;
        html += CrLf;
        if (const QDate expires = expiry.value(input.links.at(i)); expires.isValid()) {
            html += u"</td><td>expires ";
            html += expires.toString(Qt::ISODate);
        }
        html += u"</td></tr>";
        html += CrLf;
        if (m_setCaption)
            m_setCaption(
                QStringLiteral("Building HTML for existing domain %1 of %2").arg(i).arg(existingRows - 1));
    }
    appendTableEnd(html);
    appendHeading(html, u"Search Details");
    html += u"</body></html>";
    html += CrLf;

    result.htmlPath = pathIn(result.folder, htmlExtension);
    written = writeWhole(result.htmlPath, html, m_write);
    if (!written && !result.usedFallback) {
        // The files belong together, so the lists move with the report.
        const QStringList firstLists {result.textPath, result.csvPath};
        switchToFallback();
        if (written) {
            for (const QString &path : firstLists)
                QFile::remove(path);
            result.htmlPath = pathIn(result.folder, htmlExtension);
            written = writeWhole(result.htmlPath, html, m_write);
        }
    }
    if (!written)
        return written.error();
    return result;
}

} // namespace zandrel
