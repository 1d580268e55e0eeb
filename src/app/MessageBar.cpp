#include "MessageBar.h"

#include "WhoController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace zandrel {

QString alertActionCaption(Alert::Action action)
{
    switch (action) {
    case Alert::Action::ResumeSearch:
        return QStringLiteral("Resume Search"); // Alt+R is the Results menu's
    case Alert::Action::OpenFolder:
        return QStringLiteral("Open Folder");
    case Alert::Action::None:
        break;
    }
    return {};
}

MessageBar::MessageBar(WhoController &who, QWidget *parent)
    : QFrame(parent)
    , m_who(who)
    , m_text(new QLabel(this))
    , m_action(new QPushButton(this))
{
    setObjectName(QStringLiteral("MessageBar"));
    setFrameShape(QFrame::StyledPanel);
    // The palette's tooltip colours: a notice, set apart from the controls, legible in any theme.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    m_text->setForegroundRole(QPalette::ToolTipText);
    m_text->setObjectName(QStringLiteral("MessageText"));
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_action->setObjectName(QStringLiteral("MessageAction"));
    auto *close = new QToolButton(this);
    close->setObjectName(QStringLiteral("MessageClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(QStringLiteral("Close"));
    close->setAutoRaise(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 2, 2);
    row->addWidget(m_text, 1);
    row->addWidget(m_action);
    row->addWidget(close);
    connect(m_action, &QPushButton::clicked, this, &MessageBar::act);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
    // An offer to resume goes once the run it names cannot be resumed any more.
    connect(&who, &WhoController::runStateChanged, this, [this] {
        if (m_alert.action == Alert::Action::ResumeSearch && !m_who.canResume())
            hide();
    });
    hide();
}

void MessageBar::showAlert(const Alert &alert)
{
    m_alert = alert;
    m_text->setText(alert.text);
    m_action->setText(alertActionCaption(alert.action));
    m_action->setVisible(alert.action != Alert::Action::None);
    show();
}

void MessageBar::act()
{
    const Alert alert = m_alert;
    hide();
    m_who.act(alert);
}

} // namespace zandrel
