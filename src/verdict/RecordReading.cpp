#include "RecordReading.h"

#include <QRegularExpression>
#include <QUrl>

namespace zandrel {

namespace {

// Records stand at an answer's head; a hostile answer of a million short lines is not read past
// this many.
constexpr int MaxLines = 5000;

// A field at a line's start: an optional "[", the key, an optional "]", then the separator (a
// colon, a tab, a dotted leader) and the value.
QRegularExpression fieldExpression(const QString &keys)
{
    return QRegularExpression(QStringLiteral("^(\\[[ \\t]*)?(?:") + keys
                                  + QStringLiteral(")[ \\t]*(\\]?)([ \\t.:]*)(.*)$"),
                              QRegularExpression::CaseInsensitiveOption);
}

// Whether the text between key and value separates a field ("Domain Name:", "Domain\t",
// "[Domain Name] ", "domain.....:"), not words of a sentence ("Domain Status").
bool separates(const QRegularExpressionMatch &match)
{
    const QStringView separator = match.capturedView(3);
    return !match.capturedView(2).isEmpty() || separator.contains(u':') || separator.contains(u'\t')
        || separator.contains(u"..");
}

// The lines of an answer, line ends and leading blanks dropped, with whether each was indented.
template<class Visit>
void forEachLine(const QString &answer, Visit visit)
{
    int count = 0;
    for (QStringView line : QStringView(answer).tokenize(u'\n')) {
        if (++count > MaxLines)
            return;
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QStringView trimmed = line.trimmed();
        const bool indented = !line.isEmpty() && (line.front() == u' ' || line.front() == u'\t');
        if (!visit(trimmed, indented))
            return;
    }
}

// Each field of the answer whose key `expression` matches, with its value: on the key's line, or
// for a key alone on its line, the indented line after it.
template<class Visit>
void forEachField(const QString &answer, const QRegularExpression &expression, Visit visit)
{
    bool pending = false; // a key stood alone: its value is on the next line
    forEachLine(answer, [&](QStringView line, bool indented) {
        if (pending) {
            pending = false;
            if (indented && !line.isEmpty() && !visit(line))
                return false;
        }
        const QRegularExpressionMatch match = expression.match(line);
        if (!match.hasMatch())
            return true;
        const QStringView value = match.capturedView(4).trimmed();
        if (value.isEmpty()) {
            pending = true; // ".it": "Nameservers", then the servers indented
            return true;
        }
        return !separates(match) || visit(value);
    });
}

QString unicodeForm(const QString &aceName)
{
    return aceName.contains(QStringLiteral("xn--"), Qt::CaseInsensitive) ? QUrl::fromAce(aceName.toLatin1())
                                                                         : aceName;
}

} // namespace

bool namesDomainInField(const QString &answer, const QString &aceName)
{
    static const QRegularExpression domainField
        = fieldExpression(QStringLiteral("domain(?:[ \\t_-]?name)?(?:[ \\t_-]?ace)?"));
    QString name = aceName.toLower();
    if (name.endsWith(u'.'))
        name.chop(1);
    if (name.isEmpty())
        return false;
    const QString unicode = unicodeForm(name).toCaseFolded();
    bool named = false;
    forEachField(answer, domainField, [&](QStringView value) {
        if (value.endsWith(u'.'))
            value.chop(1);
        named = value.compare(name, Qt::CaseInsensitive) == 0 || value.toString().toCaseFolded() == unicode;
        return !named;
    });
    return named;
}

bool holdsCommonNotFound(const QString &answer)
{
    static const QRegularExpression notFound(
        QStringLiteral("no match|not found|no entries found|no data found|no object found|nothing found|"
                       "no matching record|not registered|no information available|is free\\b|"
                       "available for registration|does not exist|^[ \\t]*(?:domain[ \\t]*)?status[ \\t.:]*"
                       "(?:free|available|invalid)\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    return notFound.match(answer).hasMatch();
}

bool readsAsRecord(const QString &answer, const QString &aceName)
{
    // A blank, "_" or "-" may join the words of a key.
    static const QRegularExpression registrationField
        = fieldExpression(QStringLiteral("(?:domain )?created(?: on)?|creation date|registered(?: on| date)?|"
                                         "registration (?:date|time)|(?:registry )?expir[a-z]*(?: date)?|"
                                         "paid-till|valid until|(?:sponsoring )?registrar(?: name)?|"
                                         "name ?servers?|nserver|(?:domain )?status")
                              .replace(u' ', QStringLiteral("[ \\t_-]")));
    if (!namesDomainInField(answer, aceName) || holdsCommonNotFound(answer))
        return false;
    bool data = false;
    forEachField(answer, registrationField, [&data](QStringView) {
        data = true;
        return false;
    });
    return data;
}

QString withAceName(const QString &answer, const QString &aceName)
{
    const QString unicode = unicodeForm(aceName);
    if (unicode == aceName || unicode.isEmpty())
        return answer;
    QString text = answer;
    return text.replace(unicode, aceName, Qt::CaseInsensitive);
}

} // namespace zandrel
