// The report writer over any names: the escaped names add no markup, so the report has exactly
// the tags and quotes of the same report made with plain names, and no control character or
// bidirectional override reaches it.
#include "FuzzCheck.h"
#include "report/Report.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

namespace {

QByteArray reportOf(const QStringList &names, const QString &folder)
{
    zandrel::ReportInput input;
    for (const QString &name : names) {
        zandrel::LookupRecord &record = input.records.emplace_back();
        record.name = name;
        record.verdict.kind = zandrel::VerdictKind::Free;
    }
    input.links = names;
    input.prefixes = names;
    zandrel::ReportWriter writer({});
    const zandrel::Result<zandrel::ReportFiles> result
        = writer.SaveResults(QStringLiteral("r"), input, folder, {});
    FUZZ_CHECK(result.ok());
    QFile file(result->htmlPath);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();
    file.close();
    QFile::remove(result->htmlPath);
    QFile::remove(result->textPath);
    QFile::remove(result->csvPath);
    return html;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    QStringList names = fuzzText(data, size).split(u'|');
    // One report row per name, as the report folds them (to lower case).
    QStringList distinct;
    QSet<QString> keys;
    for (const QString &name : std::as_const(names)) {
        if (!keys.contains(name.toLower())) {
            keys.insert(name.toLower());
            distinct << name;
        }
    }
    names = distinct;
    if (names.size() > 8)
        names.resize(8);
    QStringList plain;
    for (qsizetype i = 0; i < names.size(); ++i)
        plain << QStringLiteral("n%1").arg(i);

    const QByteArray html = reportOf(names, folder.path());
    const QByteArray expected = reportOf(plain, folder.path());
    for (const char c : {'<', '>', '\'', '"'})
        FUZZ_CHECK(html.count(c) == expected.count(c));
    const QString text = QString::fromUtf8(html);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        FUZZ_CHECK(u >= 0x20 || u == u'\r' || u == u'\n');
        FUZZ_CHECK(!(u >= 0x202A && u <= 0x202E) && !(u >= 0x2066 && u <= 0x2069));
    }
    return 0;
}
