#include "SearchScopeMenu.h"

#include "WhoController.h"

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

void addSearchScopeItems(QMenu *results, WhoController &who, QWidget *window)
{
    QAction *dnsFirst = results->addAction(QStringLiteral("Ask &DNS First"));
    dnsFirst->setObjectName(QStringLiteral("mAskDnsFirst"));
    dnsFirst->setCheckable(true);
    dnsFirst->setChecked(who.dnsFirst());
    QObject::connect(dnsFirst, &QAction::toggled, &who, [&who](bool on) { who.mAskDnsFirst_Click(on); });

    QAction *tlds = results->addAction(QStringLiteral("&TLDs..."));
    tlds->setObjectName(QStringLiteral("mTlds"));
    QObject::connect(tlds, &QAction::triggered, window, [&who, window] {
        // Opened, not executed: the search and the window go on while it is up.
        auto *dialog = new QInputDialog(window);
        dialog->setObjectName(QStringLiteral("TldDialog"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowTitle(QStringLiteral("TLDs"));
        dialog->setLabelText(QStringLiteral("TLDs \"Always Suffix\" appends, in the order they are asked\n"
                                            "(e.g. com, net, io):"));
        dialog->setTextValue(who.tlds().join(QStringLiteral(", ")));
        QObject::connect(dialog, &QInputDialog::textValueSelected, &who,
                         [&who](const QString &text) { who.setTlds(text); });
        dialog->open();
    });

    const auto refresh = [&who, window, dnsFirst] {
        if (auto *box = window->findChild<QCheckBox *>(QStringLiteral("ComSuffix")))
            fitCaption(*box, who.tlds(), window->findChild<QWidget *>(QStringLiteral("Label4")));
        const QSignalBlocker quiet(dnsFirst);
        dnsFirst->setChecked(who.dnsFirst());
    };
    refresh();
    QObject::connect(&who, &WhoController::tldsChanged, window, refresh);
}

} // namespace zandrel
