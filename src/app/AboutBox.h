#pragma once

class QDialog;
class QWidget;

namespace zandrel {

struct AppInfo;

// Help > About: the program's name, version and copyright, and a Close button; not modal.
QDialog *makeAboutBox(const AppInfo &app, QWidget *parent);

} // namespace zandrel
