#pragma once

#include "Alert.h"

#include <QFrame>

class QLabel;
class QPushButton;

namespace zandrel {

class WhoController;

// A bar above the results that keeps one notice in sight until it is closed or its action is
// taken; menus and status-bar messages leave it alone.
class MessageBar : public QFrame
{
    Q_OBJECT
public:
    explicit MessageBar(WhoController &who, QWidget *parent = nullptr);

    void showAlert(const Alert &alert);
    const Alert &alert() const { return m_alert; }

private:
    void act();

    WhoController &m_who;
    Alert m_alert;
    QLabel *m_text;
    QPushButton *m_action;
};

// The caption of the button that takes the action; empty for none.
QString alertActionCaption(Alert::Action action);

} // namespace zandrel
