#pragma once

#include "platform/Result.h"

#include <QString>

#include <algorithm>
#include <optional>

namespace zandrel {

// Why a name cannot be registered.
namespace unregistrable {
inline const QString NotConvertible = QStringLiteral("not a valid internationalised name");
inline const QString InvalidPunycode = QStringLiteral("invalid Punycode in an xn-- label");
inline const QString DisallowedCodePoint = QStringLiteral("character not allowed by IDNA2008");
inline const QString ReservedHyphens = QStringLiteral("hyphens in positions 3 and 4 outside xn--");
inline const QString EmptyLabel = QStringLiteral("empty label");
inline const QString BadCharacter = QStringLiteral("label not letters, digits and hyphens");
inline const QString LabelTooLong = QStringLiteral("label longer than 63 characters");
inline const QString NameTooLong = QStringLiteral("name longer than 253 characters");
inline const QString HyphenAtEnd = QStringLiteral("label starts or ends with a hyphen");
inline const QString NotUnderSuffix = QStringLiteral("not under a public suffix");
} // namespace unregistrable

// Whether every character of the text is ASCII.
inline bool isAscii(QStringView text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// The name without the one trailing dot of a fully qualified name ("shop.com." as dig writes it).
QString withoutRootDot(const QString &name);

// The name in the ASCII form sent to a registry: ASCII names as they are, an internationalised
// name in its IDNA2008 ACE ("xn--") form; nothing when it has no such form. One trailing dot is
// dropped first.
std::optional<QString> asciiName(const QString &name);

// Whether the name looks like a domain name at all (two labels or more, letters, digits,
// hyphens and dots once in ASCII form), as opposed to a registrar or host query.
bool looksLikeDomainName(const QString &name);

// Whether `name` can be registered: valid IDNA2008 (A-labels that decode, no disallowed code
// point), LDH labels of at most 63 characters, no hyphen at either end nor in positions 3 and 4
// outside xn--, at most 253 characters, and exactly one label under a public suffix of the ICANN
// section. Otherwise an error naming the rule it breaks (one of `unregistrable`). One trailing dot
// is dropped first.
Result<void> checkRegistrable(const QString &name);

// The ICANN public suffix the name is registered under ("co.uk" for "shop.co.uk"); empty when
// the name is not one label under such a suffix.
QString registrySuffix(const QString &aceName);

} // namespace zandrel
