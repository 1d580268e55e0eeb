#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace zandrel {

// String values by application, section and key, one INI file per application name in a folder.
// Every write reaches the disk before the call returns; a missing, unreadable or corrupt file
// reads as defaults.
class SettingsStore
{
public:
    // `folder` empty: the user's configuration folder (XDG_CONFIG_HOME or ~/.config).
    explicit SettingsStore(const QString &folder = {});
    ~SettingsStore();

    QString value(const QString &application, const QString &section, const QString &key,
                  const QString &defaultValue = {}) const;
    void setValue(const QString &application, const QString &section, const QString &key,
                  const QString &value);
    bool contains(const QString &application, const QString &section, const QString &key) const;
    // The keys set in a section.
    QStringList keys(const QString &application, const QString &section) const;

    QString folder() const { return m_folder; }
    QString fileName(const QString &application) const;

    static QString defaultFolder();

private:
    QSettings &file(const QString &application) const;

    QString m_folder;
    mutable QHash<QString, std::shared_ptr<QSettings>> m_files;
};

} // namespace zandrel
