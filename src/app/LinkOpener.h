#pragma once

#include "Services.h"

#include <QObject>

namespace zandrel {

class WhoState;

// Opens what the user asks to see: an existing domain's site (its address copied too), the
// registrar's page, the program's folder and the maker's home page.
class LinkOpener : public QObject
{
    Q_OBJECT
public:
    LinkOpener(const Services &services, WhoState &state, QObject *parent = nullptr);

    // An entry of the existing domains; a row past either end opens nothing.
    void LinkList_Click(int row);
    // Any entry of the available domains opens the registrar's page.
    void Available_Click(int row);
    void mDirectory_Click();
    void mGoKeltrow_Click();
    // A folder the program wrote in, such as the report's.
    void openFolder(const QString &folder) { openTarget(folder); }

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);

private:
    void openTarget(const QString &target);

    Services m_services;
    WhoState &m_state;
};

// "Could not open TARGET", or when a missing program is why, which one and how to get it.
QString notOpened(const QString &target);

// The maker's home page, opened by "Go To Keltrow".
inline const QString KeltrowHomePage = QStringLiteral("http://www.keltrow.com/");

} // namespace zandrel
