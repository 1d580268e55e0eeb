#pragma once

#include "Services.h"

#include <QObject>

namespace zandrel {

class WhoState;
class WordCombo;

// The prefix and suffix word lists: read from their files, opened in the user's editor, and
// composing the search term as their boxes are typed in.
class WordLists : public QObject
{
    Q_OBJECT
public:
    WordLists(const Services &services, WhoState &state, QObject *parent = nullptr);

    // Start-up: both lists are read, then the editor command.
    void load();
    void OpenPrefix();
    void Opensuffix();
    void EditPrefix();
    void EditSuffix();
    // View > Refresh: both lists read again.
    void mRefresh_Click();
    // A left press on a list's caption edits the list; any other reads it again.
    void Label1_MouseDown(Qt::MouseButton button);
    void Label2_MouseDown(Qt::MouseButton button);

signals:
    // A short word for the user about something that did not go as asked.
    void notice(const QString &text);

private:
    void Prefix_Change();
    void loadList(WordCombo &combo, const QString &path);
    void editList(const QString &path);

    Services m_services;
    WhoState &m_state;
};

// The editor started on a word list when "KelEdit" is not set.
QString defaultEditorCommand();

} // namespace zandrel
