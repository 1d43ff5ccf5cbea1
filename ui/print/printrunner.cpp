#include "ui/print/printrunner.h"

#include "app/tarnwickapp.h"
#include "documents/userinterface.h"
#include "ui/fontmanager.h"
#include "ui/print/printmanager.h"

#include <QFileInfo>
#include <QPrinter>

#include <cstdio>

int printDocumentToPdf(CTarnwickDoc &doc, const QString &path, CTarnwickApp &app, UserInterface &ui)
{
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
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QFileInfo(path).absoluteFilePath());
    printer.setDocName(QString::fromUtf8(source->heading()));
    if (!manager.print(printer, &ui)) {
        std::fprintf(stderr, "tarnwick: cannot print to %s\n", qPrintable(path));
        return 1;
    }
    std::fprintf(stderr, "pages: %d\n", manager.pageCount());
    return 0;
}
