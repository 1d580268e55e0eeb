#include "AnswerDecoder.h"

namespace zandrel {

namespace {

// The decoder for a named charset; UTF-8 (with the Latin-1 fallback) for none, for an unknown one
// and for UTF-8 itself.
QStringDecoder namedDecoder(const QString &charset)
{
    if (charset.isEmpty())
        return {};
    const QByteArray name = charset.trimmed().toLatin1();
    if (QStringConverter::encodingForName(name.constData()) == QStringConverter::Utf8)
        return {};
    QStringDecoder decoder(name.constData());
    return decoder.isValid() ? std::move(decoder) : QStringDecoder();
}

QString withoutNul(QString text)
{
    text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    return text;
}

} // namespace

bool isKnownCharset(const QString &charset)
{
    return QStringDecoder(charset.trimmed().toLatin1().constData()).isValid();
}

QString decodeAnswer(QByteArrayView bytes, const QString &charset)
{
    QStringDecoder named = namedDecoder(charset);
    if (named.isValid())
        return withoutNul(named.decode(bytes));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return withoutNul(utf8.hasError() ? QString::fromLatin1(bytes) : text);
}

AnswerDecoder::AnswerDecoder(const QString &charset)
    : m_decoder(namedDecoder(charset))
{
    m_utf8 = !m_decoder.isValid();
    if (m_utf8)
        m_decoder = QStringDecoder(QStringDecoder::Utf8);
}

QString AnswerDecoder::decode(QByteArrayView piece)
{
    if (m_latin1)
        return withoutNul(QString::fromLatin1(piece));
    const QString text = m_decoder.decode(piece);
    if (!m_utf8 || !m_decoder.hasError())
        return withoutNul(text);
    m_latin1 = true;
    return withoutNul(QString::fromLatin1(piece));
}

} // namespace zandrel
