#include "qt_profile_store.h"

#include <QSettings>
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

// A fresh object per call: every read sees the file as it is now, and
// QSettings keeps parsed files cached, re-reading only when one has changed
// on disk.
QSettings OpenStore(const ProfileStore& store)
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, ToQt(store.strCompany), ToQt(store.strAppName));
}

QString KeyOf(const std::string& strSection, const std::string& strEntry)
{
    return ToQt(strSection) + QLatin1Char('/') + ToQt(strEntry);
}

// Null when the store cannot be read or the value is absent; a store that
// cannot be parsed counts as empty, so a damaged file never takes the program
// down with it.
QVariant ReadValue(const ProfileStore& store, const std::string& strSection, const std::string& strEntry)
{
    QSettings settings = OpenStore(store);
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
    QSettings settings = OpenStore(store);
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
