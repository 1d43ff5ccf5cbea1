#include "app/dumprunner.h"
#include "ui/image/picturedecoder.h"
#include "ui/print/printrunner.h"
#include "ui/startup.h"

#include <QApplication>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (DumpRunner::wantsPrint(arguments)) {
        // Printing needs fonts and a painter but no screen: the offscreen
        // platform serves a machine without a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        DumpRunner runner;
        runner.setPrinter(&printDocumentToPdf);
        runner.setPictureReader(&PictureDecoder::readFacts);
        return runner.run(arguments);
    }
    if (DumpRunner::wantsDump(arguments)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick 2.0"));
        // Pictures are read as the picture window reads them.
        DumpRunner runner;
        runner.setPictureReader(&PictureDecoder::readFacts);
        return runner.run(arguments);
    }
    QApplication app(argc, argv);
    return runTarnwick(arguments);
}
