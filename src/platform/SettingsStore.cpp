#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace zandrel {

namespace {
QString keyPath(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}
} // namespace

SettingsStore::SettingsStore(const QString &folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
    if (folder.isEmpty())
        moveIntoFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), m_folder);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/zandrel");
}

void SettingsStore::moveIntoFolder(const QString &from, const QString &to)
{
    // Their names and keys stay: other programs of the maker and the user's own files name them.
    for (const char *name : {"Keltrow.ini", "Zandrel.ini", "zandrel50.ini"}) {
        const QString loose = QDir(from).filePath(QString::fromLatin1(name));
        const QString kept = QDir(to).filePath(QString::fromLatin1(name));
        if (!QFileInfo::exists(loose) || QFileInfo::exists(kept) || !QDir().mkpath(to))
            continue;
        // Across file systems a rename fails: the copy then goes in and the loose file goes.
        if (!QFile::rename(loose, kept) && QFile::copy(loose, kept))
            QFile::remove(loose);
    }
}

QString SettingsStore::fileName(const QString &application) const
{
    return QDir(m_folder).filePath(application + QStringLiteral(".ini"));
}

QSettings &SettingsStore::file(const QString &application) const
{
    auto &settings = m_files[application];
    if (!settings)
        settings = std::make_shared<QSettings>(fileName(application), QSettings::IniFormat);
    return *settings;
}

QString SettingsStore::value(const QString &application, const QString &section, const QString &key,
                             const QString &defaultValue) const
{
    const auto unsaved = m_unsaved.constFind(application + QLatin1Char('/') + keyPath(section, key));
    if (unsaved != m_unsaved.cend())
        return *unsaved;
    const QVariant stored = file(application).value(keyPath(section, key));
    if (!stored.isValid())
        return defaultValue;
    // A hand-edited value with unquoted commas reads back as a list; keep it as the text it was.
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QLatin1Char(','));
    return stored.toString();
}

void SettingsStore::setValue(const QString &application, const QString &section, const QString &key,
                             const QString &value)
{
    if (m_inMemory) {
        m_unsaved.insert(application + QLatin1Char('/') + keyPath(section, key), value);
        return;
    }
    QSettings &settings = file(application);
    // Writing rewrites the whole file: a value read at start-up and set again costs nothing.
    const QVariant stored = settings.value(keyPath(section, key));
    if (stored.typeId() == QMetaType::QString && stored.toString() == value)
        return;
    QDir().mkpath(m_folder);
    settings.setValue(keyPath(section, key), value);
    settings.sync();
}

bool SettingsStore::contains(const QString &application, const QString &section, const QString &key) const
{
    return m_unsaved.contains(application + QLatin1Char('/') + keyPath(section, key))
        || file(application).contains(keyPath(section, key));
}

QStringList SettingsStore::keys(const QString &application, const QString &section) const
{
    QSettings &settings = file(application);
    settings.beginGroup(section);
    const QStringList keys = settings.childKeys();
    settings.endGroup();
    return keys;
}

} // namespace zandrel
