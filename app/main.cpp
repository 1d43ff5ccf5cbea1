#include "app/bookmarkrunner.h"
#include "app/defaultgopherprogram.h"
#include "app/dumprunner.h"
#include "app/historyrunner.h"
#include "app/programoptions.h"
#include "ui/image/picturedecoder.h"
#include "ui/print/printrunner.h"
#include "ui/startup.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Read before anything of Qt's starts, so that --help, --version and a
    // usage error need no display.
    const ProgramOptions options = ProgramOptions::parse(arguments);
    if (const std::optional<int> status = options.answerWithoutRunning())
        return *status;

    switch (options.mode()) {
    case ProgramOptions::Mode::Dump: {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        // Pictures are read as the picture window reads them.
        DumpRunner runner;
        runner.setPictureReader(&PictureDecoder::readFacts);
        return runner.run(options);
    }
    case ProgramOptions::Mode::Print: {
        // Printing needs fonts and a painter but no screen: the offscreen
        // platform serves a machine without a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        return runPrint(options);
    }
    case ProgramOptions::Mode::ExportBookmarks:
    case ProgramOptions::Mode::ImportBookmarks: {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        return BookmarkRunner().run(options);
    }
    case ProgramOptions::Mode::History: {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        return HistoryRunner().run(options);
    }
    case ProgramOptions::Mode::Window:
    case ProgramOptions::Mode::Help:
    case ProgramOptions::Mode::Version:
        break;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("tarnwick: no display to open the windows on (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set); --dump and --print work without one\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    // The desktop finds the entry (its name, icon) of our windows by this.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(DefaultGopherProgram::DesktopId));
    return runTarnwick(options);
}
