#include "Registrable.h"

#include <QUrl>

#include <libpsl.h>

namespace zandrel {

namespace {

bool isLdh(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-';
}

// The system's list when it is newer than the one built into libpsl; loaded once.
const psl_ctx_t *suffixList()
{
    static const psl_ctx_t *const list = [] {
        const psl_ctx_t *latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return list;
}

bool isIcannSuffix(const QString &suffix)
{
    const psl_ctx_t *list = suffixList();
    return list && psl_is_public_suffix2(list, suffix.toLower().toUtf8().constData(), PSL_TYPE_ICANN);
}

} // namespace

std::optional<QString> asciiName(const QString &name)
{
    if (isAscii(name))
        return name;
    const QByteArray ace = QUrl::toAce(name);
    if (ace.isEmpty())
        return std::nullopt;
    return QString::fromLatin1(ace);
}

bool looksLikeDomainName(const QString &name)
{
    const std::optional<QString> ascii = asciiName(name);
    if (!ascii || !ascii->contains(u'.'))
        return false;
    for (const QChar c : *ascii) {
        if (!isLdh(c) && c != u'.')
            return false;
    }
    return true;
}

std::optional<QString> unregistrableReason(const QString &name)
{
    using namespace unregistrable;
    const std::optional<QString> ascii = asciiName(name);
    if (!ascii)
        return NotConvertible;
    const QStringList labels = ascii->split(u'.');
    for (const QString &label : labels) {
        if (label.isEmpty())
            return EmptyLabel;
        for (const QChar c : label) {
            if (!isLdh(c))
                return BadCharacter;
        }
        if (label.size() > 63)
            return LabelTooLong;
        if (label.startsWith(u'-') || label.endsWith(u'-'))
            return HyphenAtEnd;
    }
    if (ascii->size() > 253)
        return NameTooLong;
    // One label, then a suffix that the ICANN section lists, and the whole not itself a suffix.
    if (labels.size() < 2 || isIcannSuffix(*ascii))
        return NotUnderSuffix;
    const QString parent = ascii->section(u'.', 1);
    if (!isIcannSuffix(parent))
        return NotUnderSuffix;
    return std::nullopt;
}

} // namespace zandrel
