#include "profile.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace profile {

namespace {

std::string g_strCompany;
std::string g_strAppName;

QString ToQt(const std::string& str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

std::string FromQt(const QString& str)
{
    const QByteArray utf8 = str.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

// A fresh object per call: every read sees the file as it is now (the batch
// run reads its substitute anew for each file), and QSettings keeps parsed
// files cached, re-reading only when one has changed on disk.
QSettings OpenStore() { return QSettings(QSettings::IniFormat, QSettings::UserScope, ToQt(g_strCompany), ToQt(g_strAppName)); }

QString KeyOf(const std::string& strSection, const std::string& strEntry)
{
    return ToQt(strSection) + QLatin1Char('/') + ToQt(strEntry);
}

// Null when the store cannot be read or the value is absent; a store that
// cannot be parsed counts as empty, so a damaged file never takes the program
// down with it.
QVariant ReadValue(const std::string& strSection, const std::string& strEntry)
{
    QSettings settings = OpenStore();
    if (settings.status() != QSettings::NoError)
        return {};
    return settings.value(KeyOf(strSection, strEntry));
}

} // namespace

void SetRegistryKey(const std::string& strCompany) { g_strCompany = strCompany; }
void SetApplicationName(const std::string& strAppName) { g_strAppName = strAppName; }

int GetProfileInt(const std::string& strSection, const std::string& strEntry, int nDefault)
{
    const QVariant value = ReadValue(strSection, strEntry);
    if (!value.isValid())
        return nDefault;
    bool bOk = false;
    const int nValue = value.toString().trimmed().toInt(&bOk);
    return bOk ? nValue : nDefault;
}

std::string GetProfileString(const std::string& strSection, const std::string& strEntry,
                             const std::string& strDefault)
{
    const QVariant value = ReadValue(strSection, strEntry);
    if (!value.isValid())
        return strDefault;
    // An unquoted comma makes the INI reader return a list; the user meant text.
    if (value.typeId() == QMetaType::QStringList)
        return FromQt(value.toStringList().join(QLatin1Char(',')));
    return FromQt(value.toString());
}

bool WriteProfileInt(const std::string& strSection, const std::string& strEntry, int nValue)
{
    QSettings settings = OpenStore();
    settings.setValue(KeyOf(strSection, strEntry), nValue);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool WriteProfileString(const std::string& strSection, const std::string& strEntry,
                        const std::string& strValue)
{
    QSettings settings = OpenStore();
    settings.setValue(KeyOf(strSection, strEntry), ToQt(strValue));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace profile
