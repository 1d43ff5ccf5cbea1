#include "ui/startup.h"

#include "app/programfiles.h"
#include "app/tarnwickapp.h"
#include "ui/commanddialogs.h"
#include "ui/mainframe.h"

#include <QApplication>
#include <QDir>

int runTarnwick(const QStringList &arguments)
{
    QApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    CTarnwickApp app;
    app.setConfigDirectory(ProgramFiles::configDirectoryFrom(arguments, env));
    const ProgramFiles files = ProgramFiles::forThisProcess(app.ConfigDirectory(), env);
    QString settings = files.FindProgramFile(QStringLiteral("tarnwick.ini"));
    if (settings.isEmpty())
        settings = QStringLiteral("tarnwick.ini");
    app.setSettingsPath(settings);
    app.registerDefaultTemplates();

    CMainFrame frame(app);
    frame.RestoreWindowPlacement(1);

    HomeGophers &home = app.homeGophers();
    const int count = home.GetHomeCount();

    bool opened = false;
    const QString commandLine = arguments.mid(1).join(QLatin1Char(' '));
    qsizetype at = commandLine.indexOf(QLatin1String("gopher://"));
    if (at < 0)
        at = commandLine.indexOf(QLatin1String("GOPHER://"));
    if (at >= 0) {
        CBookmark item;
        item.ParseURL(commandLine.mid(at).toUtf8());
        if (!item.host.isEmpty() && item.port > 0) {
            app.OpenItem(item, 0, 0);
            opened = true;
        }
    }
    if (!opened) {
        if (count != 0) {
            app.OpenHomeGopher();
        } else {
            runHomeServerSetup(&frame, app, frame.userInterface());
            if (home.GetHomeCount() > 0)
                app.OpenHomeGopher();
        }
    }

    if (!app.settings().ensureDirectoryKeys(QDir::currentPath(), env))
        frame.userInterface().messageBox(
            QByteArray("Could not write the settings file\n") + app.settingsPath().toUtf8() + "\n"
                + app.profile().lastError().toUtf8(),
            UserInterface::Exclamation, UserInterface::Ok, Help::None);

    return QApplication::exec();
}
