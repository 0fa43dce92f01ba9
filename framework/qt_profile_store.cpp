#include "qt_profile_store.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "profile_store.h"

namespace {

QString ToQt(const std::string& str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

std::string FromQt(const QString& str)
{
    const QByteArray utf8 = str.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// The per-user file, named as QSettings names it for the user scope. Only
// this one file: the organisation-wide and system fallbacks are never read.
QString StorePath(const ProfileStore& store)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           ToQt(store.strCompany) + QLatin1Char('/') + ToQt(store.strAppName) + QStringLiteral(".ini");
}

// Anything but a regular file (a FIFO, a device, a folder) would block the
// reader or feed it endless bytes: such a store is not used at all.
bool Usable(const QString& strPath)
{
    const QFileInfo info(strPath);
    return !info.exists() || info.isFile();
}

// A fresh object per call: every read sees the file as it is now, and
// QSettings keeps parsed files cached, re-reading only when one has changed
// on disk.
QSettings OpenStore(const QString& strPath) { return QSettings(strPath, QSettings::IniFormat); }

QString KeyOf(const std::string& strSection, const std::string& strEntry)
{
    return ToQt(strSection) + QLatin1Char('/') + ToQt(strEntry);
}

// Null when the store cannot be read or the value is absent; a store that
// cannot be parsed counts as empty, so a damaged file never takes the program
// down with it.
QVariant ReadValue(const ProfileStore& store, const std::string& strSection, const std::string& strEntry)
{
    const QString strPath = StorePath(store);
    if (!Usable(strPath))
        return {};
    QSettings settings = OpenStore(strPath);
    if (settings.status() != QSettings::NoError)
        return {};
    return settings.value(KeyOf(strSection, strEntry));
}

int GetProfileInt(const ProfileStore& store, const std::string& strSection, const std::string& strEntry, int nDefault)
{
    const QVariant value = ReadValue(store, strSection, strEntry);
    if (!value.isValid())
        return nDefault;
    bool bOk = false;
    const int nValue = value.toString().trimmed().toInt(&bOk);
    return bOk ? nValue : nDefault;
}

std::string GetProfileString(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault)
{
    const QVariant value = ReadValue(store, strSection, strEntry);
    if (!value.isValid())
        return strDefault;
    // An unquoted comma makes the INI reader return a list; the user meant text.
    if (value.typeId() == QMetaType::QStringList)
        return FromQt(value.toStringList().join(QLatin1Char(',')));
    return FromQt(value.toString());
}

bool WriteValue(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                const QVariant& value)
{
    const QString strPath = StorePath(store);
    if (!Usable(strPath))
        return false;
    QSettings settings = OpenStore(strPath);
    settings.setValue(KeyOf(strSection, strEntry), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool WriteProfileInt(const ProfileStore& store, const std::string& strSection, const std::string& strEntry, int nValue)
{
    return WriteValue(store, strSection, strEntry, nValue);
}

bool WriteProfileString(const ProfileStore& store, const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue)
{
    return WriteValue(store, strSection, strEntry, ToQt(strValue));
}

} // namespace

const ProfileServices& QtProfileStore()
{
    static const ProfileServices s_services = {GetProfileInt, GetProfileString, WriteProfileInt, WriteProfileString};
    return s_services;
}
