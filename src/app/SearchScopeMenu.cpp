#include "SearchScopeMenu.h"

#include "SearchScope.h"

#include <QAction>
#include <QCheckBox>
#include <QInputDialog>
#include <QMenu>

namespace zandrel {

namespace {

// The check box grows up to the control beside it, naming as many TLDs as then fit; its tip names
// them all.
void fitCaption(QCheckBox &box, const QStringList &tlds, const QWidget *next)
{
    const int room = next ? next->x() - box.x() - 4 : box.width();
    for (qsizetype named = std::min<qsizetype>(tlds.size(), 4); named >= 1; --named) {
        box.setText(alwaysSuffixCaption(tlds, named));
        if (!next || box.sizeHint().width() <= room || named == 1)
            break;
    }
    if (next)
        box.resize(std::max(box.width(), std::min(room, box.sizeHint().width())), box.height());
    QStringList all;
    for (const QString &tld : tlds)
        all << u'.' + tld;
    box.setToolTip(tlds.size() > 1 ? all.join(u' ') : QString());
}

} // namespace

void addSearchScopeItems(QMenu *results, SearchScope &scope, QWidget *window)
{
    QAction *dnsFirst = results->addAction(QStringLiteral("Ask &DNS First"));
    dnsFirst->setObjectName(QStringLiteral("mAskDnsFirst"));
    dnsFirst->setCheckable(true);
    dnsFirst->setChecked(scope.dnsFirst());
    QObject::connect(dnsFirst, &QAction::toggled, &scope,
                     [&scope](bool on) { scope.mAskDnsFirst_Click(on); });

    QAction *pace = results->addAction(QStringLiteral("Automatic &Pace"));
    pace->setObjectName(QStringLiteral("mAutomaticPace"));
    pace->setCheckable(true);
    pace->setChecked(scope.automaticPace());
    QObject::connect(pace, &QAction::toggled, &scope, [&scope](bool on) { scope.mAutomaticPace_Click(on); });

    QAction *tlds = results->addAction(QStringLiteral("&TLDs..."));
    tlds->setObjectName(QStringLiteral("mTlds"));
    QObject::connect(tlds, &QAction::triggered, window, [&scope, window] {
        // Opened, not executed: the search and the window go on while it is up.
        auto *dialog = new QInputDialog(window);
        dialog->setObjectName(QStringLiteral("TldDialog"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(QStringLiteral("TLDs"));
        dialog->setLabelText(QStringLiteral("TLDs \"Always Suffix\" appends, in the order they are asked\n"
                                            "(e.g. com, net, io):"));
        dialog->setTextValue(scope.tlds().join(QStringLiteral(", ")));
        QObject::connect(dialog, &QInputDialog::textValueSelected, &scope,
                         [&scope](const QString &text) { scope.setTlds(text); });
        dialog->open();
    });

    const auto refresh = [&scope, window, dnsFirst, pace] {
        if (auto *box = window->findChild<QCheckBox *>(QStringLiteral("ComSuffix")))
            fitCaption(*box, scope.tlds(), window->findChild<QWidget *>(QStringLiteral("Label4")));
        const QSignalBlocker quiet(dnsFirst);
        dnsFirst->setChecked(scope.dnsFirst());
        const QSignalBlocker still(pace);
        pace->setChecked(scope.automaticPace());
    };
    refresh();
    QObject::connect(&scope, &SearchScope::tldsChanged, window, refresh);
}

} // namespace zandrel
