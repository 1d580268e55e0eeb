#pragma once

#include "platform/Result.h"

#include <QString>

namespace zandrel {

class Clock;
class Paces;

// The queries each operator's windows count, kept in one file every run of the user shares, so a
// count over a day holds from one run to the next and across runs side by side. One line per
// operator: its name, a tab, the times of its counted queries in milliseconds since 1970 (UTC),
// separated by commas. Written whole under a lock, merged with what other runs wrote meanwhile.
class PaceState
{
public:
    // `path` empty: nothing is kept.
    explicit PaceState(QString path)
        : m_path(std::move(path))
    { }
    static QString standardPath();

    // Adds what the file holds to the paces' counts.
    Result<void> load(Paces &paces, const Clock &clock) const;
    // Writes the paces' counts, with what the file holds from other runs; nothing when none counts.
    Result<void> save(Paces &paces, const Clock &clock) const;

private:
    QString m_path;
};

} // namespace zandrel
