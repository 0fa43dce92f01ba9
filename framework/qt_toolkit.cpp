#include "qt_toolkit.h"

#include <cstdlib>

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "gui_application.h"
#include "toolkit.h"
#include "win_app.h"

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

bool ShowMessageBox(const std::string& strTitle, const std::string& strText)
{
    // A stale display would end the process inside the toolkit.
    if (QCoreApplication::instance() == nullptr && !AfxDisplayReachable())
        return false;
    AfxEnsureGuiApplication();
    QMessageBox box(QMessageBox::Warning, ToQt(strTitle), ToQt(strText), QMessageBox::Ok,
                    QApplication::activeModalWidget());
    box.exec();
    return true;
}

void OpenUrl(const std::string& strUrl)
{
    const char* pszOpener = std::getenv("MOJIRO_URL_OPENER");
    const QString strProgram = QString::fromUtf8(pszOpener != nullptr && *pszOpener != '\0' ? pszOpener : "xdg-open");
    // Detached: the opener outlives neither a wait nor a zombie of ours, and
    // the address travels as one argument, never through a shell.
    QProcess::startDetached(strProgram, QStringList{ToQt(strUrl)});
}

} // namespace

const ToolkitServices& QtToolkit()
{
    static const ToolkitServices s_services = {GetProfileInt,  GetProfileString, WriteProfileInt,
                                               WriteProfileString, ShowMessageBox, OpenUrl};
    return s_services;
}
