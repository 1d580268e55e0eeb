#include "StatusFields.h"

#include "WhoController.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include <limits>

namespace zandrel {

void addStatusFields(QStatusBar &status, WhoController &who)
{
    auto *counts = new QLabel(who.countsText(), &status);
    counts->setObjectName(QStringLiteral("Counts"));
    // A notice cut short at the field's edge must not read as one word with the counts.
    counts->setFrameShape(QFrame::StyledPanel);
    status.addPermanentWidget(counts);
    QObject::connect(&who, &WhoController::countsChanged, counts, &QLabel::setText);

    auto *bar = new QProgressBar(&status);
    bar->setObjectName(QStringLiteral("Progress"));
    bar->setMaximumWidth(160);
    bar->setTextVisible(false);
    auto *timeLeft = new QLabel(&status);
    timeLeft->setObjectName(QStringLiteral("TimeLeft"));
    status.addPermanentWidget(bar);
    status.addPermanentWidget(timeLeft);
    bar->hide();
    timeLeft->hide();
    // A single lookup has no progress to show: the bar would stand empty until it ends.
    QObject::connect(&who, &WhoController::runStateChanged, bar, [&who, bar, timeLeft] {
        const bool many = who.searchRunning() && !who.singleLookupRunning();
        bar->setVisible(many);
        timeLeft->setVisible(many);
        if (!many) {
            bar->reset();
            timeLeft->clear();
        }
    });
    QObject::connect(&who, &WhoController::progressChanged, bar,
                     [bar, timeLeft](qint64 done, qint64 total, const QString &left) {
                         // The bar counts in ints: a run past their range is shown in thousandths.
                         const bool wide = total > std::numeric_limits<int>::max();
                         bar->setRange(0, wide ? 1000 : int(total));
                         bar->setValue(wide ? int(done * 1000 / total) : int(done));
                         timeLeft->setText(left);
                     });
}

} // namespace zandrel
