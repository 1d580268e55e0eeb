#pragma once

class QMenu;
class QWidget;

namespace zandrel {

class WhoController;

// The Results menu's "Ask DNS First" (checkable) and "TLDs..." (a small dialog), and the "Always
// Suffix" check box's caption (object name "ComSuffix" under `window`) kept naming the TLDs.
void addSearchScopeItems(QMenu *results, WhoController &who, QWidget *window);

} // namespace zandrel
