#include "ui/print/pictureprint.h"

#include "documents/tarnwickdoc.h"
#include "ui/print/printmanager.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace {

// The heading of a picture's page, and no lines.
class PicturePrintSource : public PrintSource
{
public:
    explicit PicturePrintSource(const CTarnwickDoc &doc) : m_doc(doc) {}
    QByteArray heading() const override
    {
        const QByteArray title = m_doc.title();
        return title.isEmpty() ? m_doc.item().GetURL() : title;
    }
    TextEncoding encoding() const override { return m_doc.displayEncoding(); }
    int lineCount() const override { return 0; }
    QByteArray line(int) const override { return {}; }
    bool isComplete() const override { return true; }

private:
    const CTarnwickDoc &m_doc;
};

} // namespace

bool printPicture(QPagedPaintDevice &device, const QImage &picture, const CTarnwickDoc &doc,
                  const PrinterSetup &setup, const QFont &font, UserInterface *ui)
{
    if (picture.isNull())
        return false;
    const PicturePrintSource source(doc);
    CPrintManager manager(source, setup, font);
    if (!manager.prepare(device, ui))
        return false;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    manager.printPage(painter, 0);
    const PrintLayout &layout = *manager.layout();
    const QRect room(layout.left(), layout.bodyTop(), layout.width(),
                     layout.bottomLimit() - layout.bodyTop());
    if (room.width() > 0 && room.height() > 0) {
        const QSize size = picture.size().scaled(room.size(), Qt::KeepAspectRatio);
        const QRect target(room.left() + (room.width() - size.width()) / 2, room.top(), size.width(),
                           size.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, size.width() < picture.width());
        painter.drawImage(target, picture);
    }
    return painter.end();
}
