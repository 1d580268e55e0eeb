#pragma once

class QMenu;
class QWidget;

namespace zandrel {

class SearchScope;

// The Results menu's "Ask DNS First" (checkable) and "TLDs..." (a small dialog), and the "Always
// Suffix" check box's caption (object name "ComSuffix" under `window`) kept naming the TLDs.
void addSearchScopeItems(QMenu *results, SearchScope &scope, QWidget *window);

} // namespace zandrel
