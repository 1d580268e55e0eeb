#pragma once

#include "CliOptions.h"
#include "verdict/Verdict.h"

#include <QElapsedTimer>
#include <QString>

class QIODevice;

namespace zandrel {

// One output line for a finished lookup, line feed included: NAME, VERDICT, SERVER and REASON
// separated by tabs, or a JSON object with the keys name, verdict, server and reason. Control
// characters never reach a tab-separated line, so every record stays one line of four fields.
QString formatRecord(const LookupRecord &record, OutputFormat format);

// "120/5000  3.4/s  23:55 left"; without a total (negative), the count and the rate only.
QString progressText(qint64 done, qint64 total, qint64 elapsedMs);

// The progress line on a terminal's standard error, redrawn in place, at most ten times a second
// while it stays on screen. Nothing is drawn when standard error is not a terminal.
class ProgressLine
{
public:
    ProgressLine(QIODevice &err, bool errIsTerminal, bool outIsTerminal);

    // Wipes the line; call before writing an error.
    void erase();
    // Wipes the line when standard output goes to the same terminal; call before writing a result.
    void eraseForOutput();
    // Shows the count after a finished lookup.
    void update(qint64 done, qint64 total);

private:
    QIODevice &m_err;
    bool m_enabled;
    bool m_sharesTerminal;
    QElapsedTimer m_started;
    QElapsedTimer m_lastDraw;
    qsizetype m_shownWidth = 0;
};

} // namespace zandrel
