#pragma once

#include <QString>

#include <algorithm>
#include <optional>

namespace zandrel {

// Why a name cannot be registered.
namespace unregistrable {
inline const QString NotConvertible = QStringLiteral("not a valid internationalised name");
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

// The name in the ASCII form sent to a registry: ASCII names as they are, an internationalised
// name in its ACE ("xn--") form; nothing when it has no such form.
std::optional<QString> asciiName(const QString &name);

// Whether the name looks like a domain name at all (two labels or more, letters, digits,
// hyphens and dots once in ASCII form), as opposed to a registrar or host query.
bool looksLikeDomainName(const QString &name);

// Nothing when `name` can be registered: LDH labels of at most 63 characters, no hyphen at either
// end, at most 253 characters, and exactly one label under a public suffix of the ICANN section.
// Otherwise the rule it breaks.
std::optional<QString> unregistrableReason(const QString &name);

} // namespace zandrel
