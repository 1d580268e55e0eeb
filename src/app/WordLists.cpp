#include "WordLists.h"

#include "WhoState.h"
#include "platform/Launcher.h"
#include "platform/SettingsStore.h"
#include "search/Preferences.h"
#include "search/WordList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zandrel {

QString defaultEditorCommand()
{
#ifdef Q_OS_WIN
    return QStringLiteral("notepad.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

WordLists::WordLists(const Services &services, WhoState &state, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_state(state)
{
    connect(&m_state.Prefix, &WordCombo::editChanged, this, &WordLists::Prefix_Change);
    connect(&m_state.Suffix, &WordCombo::editChanged, this, &WordLists::Prefix_Change);
}

void WordLists::load()
{
    OpenPrefix();
    Opensuffix();
    m_state.EditorCommand
        = m_services.settings.value(keys::Keltrow, keys::Application, keys::KelEdit, defaultEditorCommand());
}

// Both combo boxes compose the term the same way.
void WordLists::Prefix_Change()
{
    m_state.SearchTerm.setText(m_state.Prefix.editText() + m_state.Suffix.editText());
}

void WordLists::loadList(WordCombo &combo, const QString &path)
{
    combo.clear();
    QStringList entries;
    loadWordList(path, entries);
    combo.setEntries(entries);
}

void WordLists::OpenPrefix()
{
    loadList(m_state.Prefix, m_state.PrefixPath.text());
}

void WordLists::Opensuffix()
{
    loadList(m_state.Suffix, m_state.SuffixPath.text());
}

void WordLists::editList(const QString &path)
{
    if (path.isEmpty()) {
        emit notice(QStringLiteral("No word-list file is named in the path box."));
        return;
    }
    // A list that does not exist yet is started empty, so the editor has a file to open.
    QFile file(path);
    if (!file.exists() && !file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        emit notice(QStringLiteral("Could not create %1: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    file.close();
    QStringList words = splitCommandLine(m_state.EditorCommand);
    if (words.isEmpty()) {
        emit notice(QStringLiteral("No editor is set."));
        return;
    }
    const QString program = words.takeFirst();
    // An absolute path never starts with "-", so the editor cannot take it for an option.
    words << QFileInfo(path).absoluteFilePath();
    if (m_services.launcher.start(program, words))
        return;
    const QString missing = missingProgram(program);
    emit notice(missing.isEmpty() ? QStringLiteral("Could not start the editor \"%1\".").arg(program)
                                  : missing + QStringLiteral(": the editor could not start."));
}

void WordLists::EditPrefix()
{
    editList(m_state.PrefixPath.text());
}

void WordLists::EditSuffix()
{
    editList(m_state.SuffixPath.text());
}

void WordLists::mRefresh_Click()
{
    OpenPrefix();
    Opensuffix();
}

void WordLists::Label1_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        EditPrefix();
    else
        OpenPrefix();
}

void WordLists::Label2_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        EditSuffix();
    else
        Opensuffix();
}

} // namespace zandrel
