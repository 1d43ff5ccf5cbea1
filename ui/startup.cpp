#include "ui/startup.h"

#include "app/exitsignals.h"
#include "app/instancechannel.h"
#include "app/programoptions.h"
#include "settings/userdatafiles.h"
#include "app/tarnwickapp.h"
#include "ui/commanddialogs.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/programicon.h"

#include <QApplication>

#include <cstdio>

void openFirstDocuments(CTarnwickApp &app, CMainFrame &frame, const QByteArrayList &urls,
                        const QProcessEnvironment &env)
{
    HomeGophers &home = app.homeGophers();
    const int count = home.GetHomeCount();

    // Each argument that holds a gopher URL with a host and a port opens a
    // window; the others open nothing.
    QList<CBookmark> commandLineItems;
    for (const QByteArray &url : urls) {
        CBookmark item;
        item.ParseURL(url);
        if (!item.host.isEmpty() && item.port > 0)
            commandLineItems.append(item);
    }
    commandLineItems.resize(InstanceChannel::windowsToOpen(frame.userInterface(),
                                                           int(commandLineItems.size())));
    bool saved = false;
    bool reopened = false;
    if (commandLineItems.isEmpty()) {
        // "Reopen Windows": the windows of the last session instead of the
        // home gopher. The first windows write the default fonts of their
        // views; with the directory keys they go to the settings file as one
        // replacement.
        ProfileFile::Edit firstWrites(app.profile());
        reopened = frame.reopenSession();
        if (reopened)
            saved = app.settings().ensureDirectoryKeys(env) && firstWrites.commit();
    }
    if (!reopened) {
        // The dialog's OK writes the home servers on its own.
        if (commandLineItems.isEmpty() && count == 0)
            frame.homeServerSetup();
        ProfileFile::Edit firstWrites(app.profile());
        for (const CBookmark &item : std::as_const(commandLineItems))
            app.OpenItem(item, 0, 0);
        if (commandLineItems.isEmpty() && home.GetHomeCount() > 0)
            app.OpenHomeGopher();
        saved = app.settings().ensureDirectoryKeys(env) && firstWrites.commit();
    }
    if (!saved)
        frame.userInterface().messageBox(
            QByteArray("Could not write the settings file\n") + app.settingsPath().toUtf8() + "\n"
                + app.profile().lastError().toUtf8(),
            UserInterface::Exclamation, UserInterface::Ok, Help::None);
}

int runTarnwick(const ProgramOptions &options)
{
    QApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
    // Every window without an icon of its own shows the program's.
    QApplication::setWindowIcon(ProgramIcon::icon());
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const NetworkOptions networkOptions = options.networkOptions();

    // One program per user: when one runs already, it gets the URLs (or
    // just comes forward) and this start ends. Only when nothing listens
    // does this start become the program; one that listens but does not
    // take the URLs is reported, never doubled.
    // A start that brought its own sample server (./run) keeps its URLs: the
    // server ends with this program.
    const QString configDirectory = options.configDirectory(env);
    const QString socketPath = InstanceChannel::defaultSocketPath(configDirectory);
    InstanceServer server;
    // Nor does a start with its own proxy or trust: the running program
    // would fetch its URLs without them (outside Tor, say).
    const bool ownNetwork = networkOptions.proxy || networkOptions.trustNewCertificate;
    const InstanceChannel::HandOver handOver =
        env.contains(QLatin1String(SampleServerVariable)) || ownNetwork
            ? InstanceChannel::HandOver::NoServer
            : InstanceChannel::handOver(socketPath, options.urls());
    if (handOver == InstanceChannel::HandOver::Delivered)
        return 0;
    if (handOver != InstanceChannel::HandOver::NoServer) {
        const QByteArray text = InstanceChannel::handOverFailureText(handOver, socketPath) + '\n';
        std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
        return 1;
    }
    server.listen(socketPath);

    GuiProgram program;
    CTarnwickApp &app = program.app();
    app.setUp(configDirectory, env, networkOptions);
    // What the window program keeps beside the settings file: the history of
    // the items opened, menus and texts just fetched (in memory), and the
    // windows open at exit.
    app.keepHistoryIn(UserDataFiles::historyFile(app.ConfigDirectory(), env));
    app.replyCache().setCapacity(ReplyCache::DefaultCapacity);

    CMainFrame frame(program);
    frame.setSessionFile(UserDataFiles::sessionFile(app.ConfigDirectory(), env));
    // A logout's SIGTERM or SIGHUP, and Ctrl+C in the terminal, end the
    // program as File > Exit does: nothing it keeps is lost.
    ExitSignals exitSignals({SIGTERM, SIGHUP, SIGINT});
    QObject::connect(&exitSignals, &ExitSignals::received, &frame, &CMainFrame::exitOnSignal);
    frame.RestoreWindowPlacement(1);
    frame.acceptHandedOverUrls(server);

    openFirstDocuments(app, frame, options.urls(), env);
    // A signal during start-up (a dialog was open) has ended it already.
    if (frame.isExiting())
        return 0;
    return QApplication::exec();
}
