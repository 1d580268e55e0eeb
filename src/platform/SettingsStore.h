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
    // `folder` empty: the program's folder in the user's configuration folder ($XDG_CONFIG_HOME or
    // ~/.config, then "zandrel"), into which the files left loose in the configuration folder by
    // earlier versions are moved first.
    explicit SettingsStore(const QString &folder = {});
    ~SettingsStore();

    QString value(const QString &application, const QString &section, const QString &key,
                  const QString &defaultValue = {}) const;
    void setValue(const QString &application, const QString &section, const QString &key,
                  const QString &value);
    bool contains(const QString &application, const QString &section, const QString &key) const;
    // The keys set in a section.
    QStringList keys(const QString &application, const QString &section) const;

    // From now on values set are kept for this run only and the files stay as they are: a run
    // without the window reads the user's settings but must not change what the window shows.
    void keepChangesInMemory() { m_inMemory = true; }

    QString folder() const { return m_folder; }
    QString fileName(const QString &application) const;

    static QString defaultFolder();
    // Moves each of the program's files from `from` into `to`, where it is not there yet.
    static void moveIntoFolder(const QString &from, const QString &to);

private:
    QSettings &file(const QString &application) const;

    QString m_folder;
    bool m_inMemory = false;
    QHash<QString, QString> m_unsaved; // "application/section/key" -> value
    mutable QHash<QString, std::shared_ptr<QSettings>> m_files;
};

} // namespace zandrel
