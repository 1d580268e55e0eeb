#include "Report.h"

#include "Csv.h"
#include "ReportFile.h"
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

constexpr QStringView AnchorStart = u"<a target=\"_blank\" href='";
constexpr QStringView AnchorMiddle = u"'>";

void appendHeading(ReportFile &out, QStringView title)
{
    out << u"<p align='center'><b>";
    out << title;
    out << u"</b></p>";
}

void appendTableStart(ReportFile &out, QStringView title, QStringView colour)
{
    appendHeading(out, title);
    out << u"<p align='center'><table bordercolor='";
    out << colour;
    out << u"' bgcolor='";
    out << colour;
    out << u"'>";
    out << CrLf;
}

void appendTableEnd(ReportFile &out)
{
    out << u"</table>";
    out << CrLf;
}

void appendTermTable(ReportFile &out, QStringView title, const QStringList &terms)
{
    appendTableStart(out, title, u"66FF33");
    out << u"<tr>";
    out << CrLf;
    for (const SearchEngine &engine : SearchEngines) {
        out << u"<td>";
        out << engine.label;
        out << CrLf;
        out << u"</td>";
    }
    out << u"</tr>";
    out << CrLf;
    for (const QString &term : terms) {
        // Percent-encoding leaves no character that HTML would read as markup.
        const QString query = encodeQueryTerm(term);
        const QString link = escapeHtml(term);
        out << u"<tr>";
        out << CrLf;
        for (const SearchEngine &engine : SearchEngines) {
            out << u"<td>";
            out << AnchorStart;
            out << engine.addressBeforeTerm;
            out << query;
            out << engine.textAfterTerm;
            out << AnchorMiddle;
            out << link;
            out << CrLf;
            out << u"</td>";
        }
        out << u"</tr>";
        out << CrLf;
    }
    appendTableEnd(out);
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
    const QList<LookupRecord> rows = latestVerdicts(input.records);
    const QHash<QString, QDate> expiry = expiryByLink(rows);
    ReportSource source;
    source.forEachRow = [&rows](const ReportSource::RowVisitor &visit) -> Result<void> {
        for (const LookupRecord &row : rows)
            visit(row);
        return {};
    };
    source.forEachLink = [&input, &expiry](const ReportSource::LinkVisitor &visit) -> Result<void> {
        for (const QString &link : input.links)
            visit(link, expiry.value(link));
        return {};
    };
    source.prefixes = input.prefixes;
    source.suffixes = input.suffixes;
    return SaveResults(baseName, source, folder, fallbackFolder);
}

Result<ReportFiles> ReportWriter::SaveResults(const QString &baseName, const ReportSource &source,
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
    const auto isFree = [](const LookupRecord &row) {
        return row.judged && row.verdict.kind == VerdictKind::Free;
    };
    // Names nobody can register were still answered: only the unknown ones are listed as not answered.
    const auto notAnswered = [](const LookupRecord &row) {
        return row.judged && row.verdict.kind == VerdictKind::Unknown;
    };

    // A first walk for what the files need before their rows: the small sections, whether any name
    // went unanswered, and how many existing domains there are.
    SectionGatherer gatherer;
    bool anyNotAnswered = false;
    Result<void> walked = source.forEachRow([&](const LookupRecord &row) {
        gatherer.add(row);
        anyNotAnswered = anyNotAnswered || notAnswered(row);
    });
    int existingRows = 0;
    if (walked)
        walked = source.forEachLink([&existingRows](const QString &, const QDate &) { ++existingRows; });
    if (!walked)
        return walked.error();
    const QList<ReportSection> sections = gatherer.sections();

    // The last walk's outcome. One that failed is not the folder's fault: it ends the report
    // without trying another folder.
    Result<void> walk;
    const auto writeText = [&](const QString &path) -> Result<void> {
        // The text file lists what the page does: the free names, then the existing domains.
        ReportFile file(path, m_write);
        walk = source.forEachRow([&file, &isFree](const LookupRecord &row) {
            if (isFree(row))
                file << row.name << CrLf;
        });
        if (walk)
            walk = source.forEachLink([&file](const QString &link, const QDate &) { file << link << CrLf; });
        if (!walk)
            return walk;
        file << sectionsText(sections);
        return file.commit();
    };
    const auto writeCsv = [&](const QString &path) -> Result<void> {
        ReportFile file(path, m_write);
        file << csvHeader();
        walk = source.forEachRow([&file](const LookupRecord &row) { file << csvRow(row); });
        if (!walk)
            return walk;
        return file.commit();
    };
    // The lists go first, the two of them or neither.
    const auto writeLists = [&](const QString &dir) {
        result.textPath = pathIn(dir, textExtension);
        result.csvPath = pathIn(dir, csvExtension);
        Result<void> outcome = writeText(result.textPath);
        if (outcome) {
            outcome = writeCsv(result.csvPath);
            if (!outcome)
                QFile::remove(result.textPath);
        }
        return outcome;
    };
    result.folder = folder;
    base = freeBaseName(folder, baseName);
    Result<void> written = writeLists(folder);
    const auto switchToFallback = [&]() {
        if (fallbackFolder.isEmpty() || !walk) // none: the first error stands
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

    bool captioned = false; // the progress is told once, though the page may be written twice
    const auto writeHtml = [&](const QString &path) -> Result<void> {
        ReportFile html(path, m_write);
        html << u"<html><head><title>Zandrel Domain Search Results</title></head><body>" << CrLf;
        appendTermTable(html, u"Prefix Search Terms", source.prefixes);
        appendTermTable(html, u"Suffix Search Terms", source.suffixes);

        appendTableStart(html, u"Available Domains", u"#FFFF00");
        walk = source.forEachRow([&](const LookupRecord &row) {
            if (!isFree(row))
                return;
            // Every entry carries its own TLD.
            html << u"<tr><td>" << CrLf << AnchorStart << RegistrarHomePage << AnchorMiddle << u"http://www."
                 << escapeHtml(row.name) << CrLf
                 << (row.details.premium ? u"</td><td>premium</td></tr>" : u"</td></tr>") << CrLf;
        });
        if (!walk)
            return walk;
        appendTableEnd(html);
        for (const ReportSection &section : sections) {
            appendTableStart(html, section.title, section.colour);
            for (const QStringList &cells : section.rows) {
                html << u"<tr>";
                for (const QString &cell : cells)
                    html << u"<td>" << escapeHtml(cell) << u"</td>";
                html << u"</tr>" << CrLf;
            }
            appendTableEnd(html);
        }

        if (anyNotAnswered) {
            appendTableStart(html, u"Not Answered", u"#FF9966");
            walk = source.forEachRow([&](const LookupRecord &row) {
                if (notAnswered(row)) {
                    html << u"<tr><td>" << escapeHtml(row.name) << u"</td><td>"
                         << escapeHtml(reasonWords(row.verdict.reason)) << u"</td></tr>" << CrLf;
                }
            });
            if (!walk)
                return walk;
            appendTableEnd(html);
        }

        appendTableStart(html, u"Existing Domains", u"00FFFF");
        int i = 0;
        walk = source.forEachLink([&](const QString &link, const QDate &expires) {
            const QString host = escapeHtml(link);
            html << u"<tr><td>" << CrLf << AnchorStart << u"http://" << host << AnchorMiddle << u"http://"
                 << host << CrLf;
            if (expires.isValid())
                html << u"</td><td>expires " << expires.toString(Qt::ISODate);
            html << u"</td></tr>" << CrLf;
            if (m_setCaption && !captioned) {
                m_setCaption(QStringLiteral("Building HTML for existing domain %1 of %2")
                                 .arg(i)
                                 .arg(existingRows - 1));
            }
            ++i;
        });
        if (!walk)
            return walk;
        captioned = true;
        appendTableEnd(html);
        appendHeading(html, u"Search Details");
        html << u"</body></html>" << CrLf;
        return html.commit();
    };

    result.htmlPath = pathIn(result.folder, htmlExtension);
    written = writeHtml(result.htmlPath);
    if (!written && !result.usedFallback && walk) {
        // The files belong together, so the lists move with the report.
        const QStringList firstLists {result.textPath, result.csvPath};
        switchToFallback();
        if (written) {
            for (const QString &path : firstLists)
                QFile::remove(path);
            result.htmlPath = pathIn(result.folder, htmlExtension);
            written = writeHtml(result.htmlPath);
        }
    }
    if (!written)
        return written.error();
    return result;
}

} // namespace zandrel
