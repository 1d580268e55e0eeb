#include "FormSettings.h"

#include "WhoState.h"
#include "platform/SettingsStore.h"
#include "search/Preferences.h"
#include "search/SearchRun.h"
#include "verdict/QueryLine.h"

#include <QDir>
#include <QFileInfo>

namespace zandrel {

QString defaultListFolder(const QString &programFolder, const QString &dataFolder)
{
    const QFileInfo program(programFolder);
    if (program.isDir() && program.isWritable())
        return programFolder;
    QDir().mkpath(dataFolder);
    return dataFolder;
}

FormSettings::FormSettings(const Services &services, WhoState &state, RunOptions &options, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_state(state)
    , m_options(options)
{
    connect(&m_state.SearchTerm, &TextBox::changed, this, &FormSettings::SearchTerm_Change);
    connect(&m_state.PrefixPath, &TextBox::changed, this, &FormSettings::PrefixPath_Change);
    connect(&m_state.SuffixPath, &TextBox::changed, this, &FormSettings::SuffixPath_Change);
    connect(&m_state.Nag, &TextBox::changed, this, &FormSettings::Nag_Change);
    connect(&m_state.Delay, &TextBox::changed, this, &FormSettings::Delay_Change);
    // 3000 ms until "Internic Delay:" is edited.
    m_options.pauseMs = 3000;
}

void FormSettings::load()
{
    SettingsStore &settings = m_services.settings;
    const AppInfo &app = m_services.app;
    settings.setValue(keys::Keltrow, keys::Application, keys::Location, app.location());
    const QString lists = defaultListFolder(app.folder, AppInfo::dataFolder());
    m_state.PrefixPath.setText(settings.value(app.description, keys::Settings, keys::PrefixPath,
                                              lists + QStringLiteral("/prefix.txt")));
    m_state.SuffixPath.setText(settings.value(app.description, keys::Settings, keys::SuffixPath,
                                              lists + QStringLiteral("/suffix.txt")));
    m_state.Nag.setText(settings.value(app.title, keys::Settings, keys::Nag));
    m_state.SearchTerm.setText(settings.value(app.title, keys::Settings, keys::SearchTerm));
}

int FormSettings::pauseMs() const
{
    return m_options.pauseMs;
}

void FormSettings::SearchTerm_Change()
{
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::SearchTerm,
                                 m_state.SearchTerm.text());
}

void FormSettings::PrefixPath_Change()
{
    m_services.settings.setValue(m_services.app.description, keys::Settings, keys::PrefixPath,
                                 m_state.PrefixPath.text());
}

void FormSettings::SuffixPath_Change()
{
    m_services.settings.setValue(m_services.app.description, keys::Settings, keys::SuffixPath,
                                 m_state.SuffixPath.text());
}

void FormSettings::Nag_Change()
{
    m_services.settings.setValue(m_services.app.title, keys::Settings, keys::Nag, m_state.Nag.text());
}

void FormSettings::Delay_Change()
{
    const std::optional<int> interval = parseDelayMs(m_state.Delay.text());
    if (interval)
        m_options.pauseMs = *interval;
    if (m_delayInvalid != !interval) {
        m_delayInvalid = !interval;
        emit delayValidityChanged(m_delayInvalid);
    }
}

} // namespace zandrel
