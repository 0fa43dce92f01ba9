#include "qt_toolkit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "gui_application.h"
#include "toolkit.h"
#include "win_app.h"

namespace {

QString ToQt(const std::string& str) { return QString::fromUtf8(str.data(), static_cast<qsizetype>(str.size())); }

// A box on a platform that draws nowhere (offscreen, minimal) or on no
// screen at all would wait for an answer no one can give.
bool SomeoneCanSee()
{
    const QString strPlatform = QGuiApplication::platformName();
    return strPlatform != QLatin1String("offscreen") && strPlatform != QLatin1String("minimal") &&
           !QGuiApplication::screens().isEmpty();
}

bool ShowMessageBox(const std::string& strTitle, const std::string& strText)
{
    // A stale display would end the process inside the toolkit.
    if (QCoreApplication::instance() == nullptr && !AfxDisplayReachable())
        return false;
    AfxEnsureGuiApplication();
    if (!SomeoneCanSee())
        return false;
    const QPointer<QWidget> pBelow = QApplication::activeModalWidget();
    QMessageBox box(QMessageBox::Warning, ToQt(strTitle), ToQt(strText), QMessageBox::Ok, pBelow.data());
    box.exec();
    AfxReturnFocus(pBelow.data());
    return true;
}

} // namespace

const ToolkitServices& QtToolkit()
{
    static const ToolkitServices s_services = {ShowMessageBox};
    return s_services;
}
