#pragma once

#include "settings/appsettings.h"

#include <QFont>
#include <QImage>

class CTarnwickDoc;
class QPagedPaintDevice;
class UserInterface;

// Prints a picture on one page, as large as the room between the margins
// allows (below the heading and above the page number, when the page set-up
// prints them), its proportions kept and centred across the page. The
// heading is the document's title, in the font given.
bool printPicture(QPagedPaintDevice &device, const QImage &picture, const CTarnwickDoc &doc,
                  const PrinterSetup &setup, const QFont &font, UserInterface *ui = nullptr);
