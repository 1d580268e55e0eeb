#pragma once

#include "text/Replaceit.h"

#include <QString>

#include <functional>
#include <vector>

namespace zandrel {

class UniqueList;

// Follows a response text that grows at its end, so that the scans and the cleaning at the end
// of each lookup read only what is new since the last time (plus the little before it that a
// candidate or a cascading removal can reach), while leaving the lists and the text exactly as
// scanning and cleaning the whole text would. One exception by design: entries the user removed
// from a list are not brought back from old text.
class ResponseTail
{
public:
    // The text was replaced as a whole: everything in it is new.
    void reset();

    // createavailablelist() and createweblist() over `text`, reading only what changed.
    void scanAvailable(const QString &text, UniqueList &available,
                       const std::function<QString(const QString &)> &admit = {});
    void scanLinks(const QString &text, UniqueList &links);

    // replaceit(text, stext, QString()): returns the change to make; the caller makes it.
    TailEdit clean(const QString &text, const QString &stext);

private:
    void changedFrom(qsizetype position);

    qsizetype m_availableFrom = 0; // text before this was scanned for available names
    qsizetype m_linksFrom = 0; // text before this was scanned for links
    qsizetype m_cleanFrom = 0; // text before this holds no occurrence of m_cleaned
    QString m_cleaned;

    // What the .com pass needs to know of the text already scanned.
    std::vector<qsizetype> m_comDots; // every ".com" found
    std::vector<qsizetype> m_withheld; // ".com" candidates dropped for a no-match phrase after them
    std::vector<qsizetype> m_noMatch; // every no-match phrase found
    qsizetype m_lastNoMatch = -1; // the last no-match phrase at the last scan
};

} // namespace zandrel
