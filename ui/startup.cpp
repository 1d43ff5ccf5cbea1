#include "ui/startup.h"

#include "app/tarnwickapp.h"
#include "ui/commanddialogs.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"

#include <QApplication>

#include <optional>

void openFirstDocuments(CTarnwickApp &app, CMainFrame &frame, const QStringList &arguments,
                        const QProcessEnvironment &env)
{
    HomeGophers &home = app.homeGophers();
    const int count = home.GetHomeCount();

    std::optional<CBookmark> commandLineItem;
    const QString commandLine = arguments.mid(1).join(QLatin1Char(' '));
    qsizetype at = commandLine.indexOf(QLatin1String("gopher://"));
    if (at < 0)
        at = commandLine.indexOf(QLatin1String("GOPHER://"));
    if (at >= 0) {
        CBookmark item;
        item.ParseURL(commandLine.mid(at).toUtf8());
        if (!item.host.isEmpty() && item.port > 0)
            commandLineItem = item;
    }
    // The dialog's OK writes the home servers on its own.
    if (!commandLineItem && count == 0)
        frame.homeServerSetup();

    bool saved = false;
    {
        // The first window writes the default fonts of its views; with the
        // directory keys they go to the settings file as one replacement.
        ProfileFile::Edit firstWrites(app.profile());
        if (commandLineItem)
            app.OpenItem(*commandLineItem, 0, 0);
        else if (home.GetHomeCount() > 0)
            app.OpenHomeGopher();
        saved = app.settings().ensureDirectoryKeys(env) && firstWrites.commit();
    }
    if (!saved)
        frame.userInterface().messageBox(
            QByteArray("Could not write the settings file\n") + app.settingsPath().toUtf8() + "\n"
                + app.profile().lastError().toUtf8(),
            UserInterface::Exclamation, UserInterface::Ok, Help::None);
}

int runTarnwick(const QStringList &arguments)
{
    QApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();

    GuiProgram program;
    CTarnwickApp &app = program.app();
    app.setUp(arguments, env);

    CMainFrame frame(program);
    frame.RestoreWindowPlacement(1);

    openFirstDocuments(app, frame, arguments, env);
    return QApplication::exec();
}
