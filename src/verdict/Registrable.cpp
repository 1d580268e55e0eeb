#include "Registrable.h"

#include <QStringList>

#include <idn2.h>
#include <libpsl.h>

#include <cstdlib>
#include <memory>

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

struct Conversion
{
    QString ace;
    int status = IDN2_OK;
};

// IDNA2008 as registries apply it (no UTS #46 mapping beyond lower case): A-labels must decode
// to valid U-labels, and code points IDNA2008 disallows (symbols, emoji) are refused.
Conversion idnaLookup(const QString &name)
{
    char *out = nullptr;
    const QByteArray input = name.toLower().toUtf8();
    Conversion conversion;
    conversion.status = idn2_lookup_u8(reinterpret_cast<const uint8_t *>(input.constData()),
                                       reinterpret_cast<uint8_t **>(&out), IDN2_NFC_INPUT | IDN2_NO_TR46);
    const std::unique_ptr<char, decltype(&std::free)> owned(out, &std::free);
    if (conversion.status == IDN2_OK && out)
        conversion.ace = QString::fromLatin1(out);
    return conversion;
}

bool hasAceLabel(const QString &name)
{
    for (const QStringView label : QStringView(name).split(u'.')) {
        if (label.startsWith(u"xn--", Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString conversionReason(int status)
{
    using namespace unregistrable;
    switch (status) {
    case IDN2_PUNYCODE_BAD_INPUT:
    case IDN2_PUNYCODE_BIG_OUTPUT:
    case IDN2_PUNYCODE_OVERFLOW:
    case IDN2_INVALID_ALABEL:
    case IDN2_ALABEL_ROUNDTRIP_FAILED:
        return InvalidPunycode;
    case IDN2_DISALLOWED:
    case IDN2_CONTEXTJ:
    case IDN2_CONTEXTO:
    case IDN2_UNASSIGNED:
    case IDN2_BIDI:
    case IDN2_NOT_NFC:
    case IDN2_LEADING_COMBINING:
        return DisallowedCodePoint;
    case IDN2_2HYPHEN:
        return ReservedHyphens;
    case IDN2_TOO_BIG_LABEL:
        return LabelTooLong;
    case IDN2_TOO_BIG_DOMAIN:
        return NameTooLong;
    default:
        return NotConvertible;
    }
}

} // namespace

QString withoutRootDot(const QString &name)
{
    return name.size() > 1 && name.endsWith(u'.') ? name.chopped(1) : name;
}

std::optional<QString> asciiName(const QString &name)
{
    const QString bare = withoutRootDot(name);
    // An ASCII name is sent as typed (xn-- labels too); checkRegistrable judges its labels.
    if (isAscii(bare))
        return bare;
    const Conversion conversion = idnaLookup(bare);
    if (conversion.status != IDN2_OK)
        return std::nullopt;
    return conversion.ace;
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

Result<void> checkRegistrable(const QString &name)
{
    using namespace unregistrable;
    const QString bare = withoutRootDot(name);
    const QStringList labels = bare.split(u'.');
    for (const QString &label : labels) {
        if (label.isEmpty())
            return Error(EmptyLabel);
    }
    QString ascii = bare;
    if (!isAscii(bare) || hasAceLabel(bare)) {
        const Conversion conversion = idnaLookup(bare);
        if (conversion.status != IDN2_OK)
            return Error(conversionReason(conversion.status));
        ascii = conversion.ace;
    }
    for (const QString &label : ascii.split(u'.')) {
        for (const QChar c : label) {
            if (!isLdh(c))
                return Error(BadCharacter);
        }
        if (label.size() > 63)
            return Error(LabelTooLong);
        if (label.startsWith(u'-') || label.endsWith(u'-'))
            return Error(HyphenAtEnd);
        // "??--" is reserved for encodings; only IDNA's "xn--" is one.
        if (label.size() >= 4 && label.mid(2, 2) == u"--" && !label.startsWith(u"xn--", Qt::CaseInsensitive))
            return Error(ReservedHyphens);
    }
    if (ascii.size() > 253)
        return Error(NameTooLong);
    // One label, then a suffix that the ICANN section lists, and the whole not itself a suffix.
    if (labels.size() < 2 || isIcannSuffix(ascii))
        return Error(NotUnderSuffix);
    const QString parent = ascii.section(u'.', 1);
    if (!isIcannSuffix(parent))
        return Error(NotUnderSuffix);
    return {};
}

QString registrySuffix(const QString &aceName)
{
    const QString name = withoutRootDot(aceName).toLower();
    const qsizetype dot = name.indexOf(u'.');
    if (dot <= 0)
        return {};
    const QString parent = name.mid(dot + 1);
    return isIcannSuffix(parent) && !isIcannSuffix(name) ? parent : QString();
}

} // namespace zandrel
