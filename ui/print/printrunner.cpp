#include "ui/print/printrunner.h"

#include "app/dumprunner.h"
#include "app/programoptions.h"
#include "app/tarnwickapp.h"
#include "documents/userinterface.h"
#include "ui/fontmanager.h"
#include "ui/image/picturedecoder.h"
#include "ui/print/printmanager.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>

#include <csignal>
#include <cstdio>

namespace {

const char *signalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

} // namespace

int runPrint(const ProgramOptions &options)
{
    DumpRunner runner;
    runner.setPrinter(&printDocumentToPdf);
    runner.setPictureReader(&PictureDecoder::readFacts);
    return runner.run(options);
}

int printDocumentToPdf(CTarnwickDoc &doc, const QString &path, CTarnwickApp &app, UserInterface &ui)
{
    // What the transfer said is out before a long print begins.
    std::fflush(stderr);
    const std::unique_ptr<PrintSource> source = PrintSource::forDocument(&doc);
    if (!source) {
        std::fprintf(stderr, "tarnwick: this kind of document does not print\n");
        return 1;
    }
    FontManager fonts(app.profile());
    CPrintManager manager(*source, app.settings().printerSetup(),
                          printFont(fonts, viewFontKind(&doc)));
    if (!manager.confirmIncomplete(ui))
        return 1;
    const QString file = QFileInfo(path).absoluteFilePath();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setDocName(QString::fromUtf8(source->heading()));
    // A command-line print turns no event loop while it lays out its pages:
    // the stop signals are looked at between pages.
    const bool printed = manager.print(printer, &ui, [] { return DumpRunner::stopSignal() != 0; });
    if (!printed && DumpRunner::stopSignal() != 0) {
        // Half a document under the name asked for would pass for the whole.
        QFile::remove(file);
        std::fprintf(stderr, "tarnwick: stopped by %s after %d of %d pages; %s not written\n",
                     signalName(DumpRunner::stopSignal()), manager.pagesPrinted(), manager.pageCount(),
                     qPrintable(path));
        return 1;
    }
    if (!printed) {
        std::fprintf(stderr, "tarnwick: cannot print to %s\n", qPrintable(path));
        return 1;
    }
    std::fprintf(stderr, "pages: %d\n", manager.pageCount());
    return 0;
}
