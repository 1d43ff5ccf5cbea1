// The picture window's zoom commands, and how the frame opens picture
// windows.

#include "ui/mainframe.h"

#include "documents/gopherxferdoc.h"
#include "ui/image/picturewindow.h"
#include "ui/image/pictureview.h"

#include <QMdiArea>

CPictureWindow *CMainFrame::activePictureWindow() const
{
    QMdiSubWindow *w = m_mdi->activeSubWindow() ? m_mdi->activeSubWindow() : m_mdi->currentSubWindow();
    return qobject_cast<CPictureWindow *>(w);
}

void CMainFrame::showPicture(CGopherXferDoc &download)
{
    for (QMdiSubWindow *w : m_mdi->subWindowList()) {
        auto *open = qobject_cast<CPictureWindow *>(w);
        if (open && open->document() == &download) {
            if (open->isMinimized())
                open->showNormal();
            m_mdi->setActiveSubWindow(open);
            return;
        }
    }
    auto *window = new CPictureWindow(&download);
    window->setWindowIcon(QIcon(m_icons.icon('I')));
    window->view()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window->view(), &QWidget::customContextMenuRequested, this, [this, window](const QPoint &pos) {
        showContextMenu(window->view()->mapToGlobal(pos), {{QStringLiteral("Zoom In"), ID_ZOOM_IN},
                                                           {QStringLiteral("Zoom Out"), ID_ZOOM_OUT},
                                                           {QStringLiteral("Fit to Window"), ID_ZOOM_FIT},
                                                           {QStringLiteral("Actual Size"), ID_ZOOM_ACTUAL},
                                                           {QStringLiteral("Copy"), ID_EDIT_COPY},
                                                           {QStringLiteral("Info"), ID_INFO}});
    });
    connect(window, &CPictureWindow::readingFinished, this, &CMainFrame::scheduleCommandUpdate);
    connect(window->view(), &PictureView::zoomChanged, this, &CMainFrame::scheduleCommandUpdate);
    m_mdi->addSubWindow(window);
    window->resize(m_mdi->viewport()->size() * 2 / 3);
    placeChild(window, true);
    showChild(window);
}

bool CMainFrame::hasPicture() const
{
    const CPictureWindow *window = activePictureWindow();
    return window && window->hasPicture();
}

bool CMainFrame::isPictureFitted() const
{
    return hasPicture() && activePictureWindow()->view()->fitsWindow();
}

bool CMainFrame::isPictureActualSize() const
{
    return hasPicture() && activePictureWindow()->view()->scale() == 1.0;
}

void CMainFrame::onZoomIn()
{
    activePictureWindow()->view()->zoomIn();
}

void CMainFrame::onZoomOut()
{
    activePictureWindow()->view()->zoomOut();
}

void CMainFrame::onZoomFit()
{
    activePictureWindow()->view()->fitToWindow();
}

void CMainFrame::onZoomActual()
{
    activePictureWindow()->view()->actualSize();
}
