#pragma once

#include "documents/gopherxferdoc.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <atomic>
#include <memory>

class PictureView;
class QLabel;
struct DecodedPicture;

// The picture window: a finished picture download shown by the program
// itself, beside the download's own window. The file is decoded away from
// the UI thread; until then, and when it cannot be read, the window says so
// in place of the picture. Its status line gives the picture's size, format
// and bytes. It is a second window of the download: the frame's commands
// (Info, Add Bookmark, Send) work on the download, and the window closes
// with it; closing the window leaves the download alone.
class CPictureWindow : public QMdiSubWindow
{
    Q_OBJECT

public:
    explicit CPictureWindow(CGopherXferDoc *document, QWidget *parent = nullptr);
    ~CPictureWindow() override;

    CGopherXferDoc *document() const { return m_document; }
    PictureView *view() const { return m_view; }
    bool hasPicture() const;
    bool isReading() const { return m_reading; }
    QString statusText() const;
    // What the window says in place of the picture ("The picture could not
    // be read: ..."), empty while the picture is shown.
    QString messageText() const;

    // The frame's commands.
    void copyToClipboard() const;
    void saveItem();

Q_SIGNALS:
    // The picture is shown, or the window says why it is not.
    void readingFinished();

private:
    void startReading();
    void showDecoded(const std::shared_ptr<const DecodedPicture> &picture);

    QPointer<CGopherXferDoc> m_document;
    PictureView *m_view = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_status = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    bool m_reading = false;
};
