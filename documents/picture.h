#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class CGopherXferDoc;

// What reading a picture file found: its size and format, or why it could
// not be read. The reading itself (Qt's image reader, away from the UI
// thread) belongs to the widget library; the core carries its result.
struct PictureFacts
{
    int width = 0;
    int height = 0;
    QByteArray format;  // lower case, as Qt's image reader names it: "png", "gif", "jpeg"
    QByteArray problem; // why the picture could not be read; empty when it was
    bool readable() const { return problem.isEmpty(); }
};

// Decodes a picture file whole and tells what it found. The widget library
// gives its reader to the headless dump, so that the dump and the picture
// window read pictures with the same code.
using PictureReader = std::function<PictureFacts(const QString &path)>;

namespace Picture {

// Why a picture could not be read, as the window and the dump say it after
// "The picture could not be read: ".
inline constexpr char EmptyFile[] = "the file is empty";
inline constexpr char UnknownFormat[] = "not a picture format Tarnwick knows";
inline constexpr char Truncated[] = "the file ends before the picture does";
inline constexpr char Damaged[] = "its data is damaged";
inline constexpr char Unopened[] = "the file could not be opened";
// With the width and height: "at W × H pixels it needs more than N MB".
QByteArray tooLarge(int width, int height, int limitMegabytes);

// Items that are pictures: the image types ('I', 'g', ':', and 'p', which
// servers give PNG files), or a Gopher+ view of an image type ("image/png"),
// whatever the type says.
bool isPictureItem(char type, QByteArrayView viewType);
// "The picture could not be read: " and why.
QByteArray unreadableMessage(QByteArrayView problem);
// The picture window's status line: "W × H, FORMAT, N bytes".
QByteArray statusText(const PictureFacts &facts, quint64 bytes);

// Save Item of a picture window: asks for a file name ("Save Picture As")
// and writes the downloaded file's bytes there as they were received. The
// copy runs away from the UI thread; its end is told on the main status
// line, a failure in a box. Saving onto the download itself keeps it.
void saveAs(CGopherXferDoc &doc);

} // namespace Picture
