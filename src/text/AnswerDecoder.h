#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace zandrel {

// Whether Qt can decode text in `charset` ("iso-8859-1", "koi8-r" …).
bool isKnownCharset(const QString &charset);

// A server's answer as text: in `charset` when one is named (and known), else UTF-8, and Latin-1
// for an answer whose bytes are not UTF-8. NUL bytes become U+FFFD. The answer is decoded whole, so
// that a character the network split in two reads as one.
QString decodeAnswer(QByteArrayView bytes, const QString &charset = {});

// The same, for an answer shown as it arrives: pieces decode as the whole answer would, a character
// split between pieces included, except that pieces shown before the bytes stopped being UTF-8 stay
// as they were read.
class AnswerDecoder
{
public:
    explicit AnswerDecoder(const QString &charset = {});

    QString decode(QByteArrayView piece);

private:
    QStringDecoder m_decoder;
    bool m_utf8 = true; // no charset named: Latin-1 takes over at the first byte that is not UTF-8
    bool m_latin1 = false;
};

} // namespace zandrel
