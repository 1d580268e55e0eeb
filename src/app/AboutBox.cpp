#include "AboutBox.h"

#include "platform/AppInfo.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace zandrel {

QDialog *makeAboutBox(const AppInfo &app, QWidget *parent)
{
    auto *about = new QDialog(parent);
    about->setObjectName(QStringLiteral("About"));
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setWindowTitle(QStringLiteral("About ") + app.title);
    auto *layout = new QVBoxLayout(about);
    layout->addWidget(new QLabel(app.title));
    layout->addWidget(new QLabel(app.versionLine()));
    layout->addWidget(new QLabel(QStringLiteral("Copyright 2026 the Zandrel authors.")));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, about);
    QObject::connect(buttons, &QDialogButtonBox::rejected, about, &QDialog::close);
    layout->addWidget(buttons);
    about->setModal(false);
    return about;
}

} // namespace zandrel
