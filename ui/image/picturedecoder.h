#pragma once

#include "documents/picture.h"

#include <QImage>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>

class QIODevice;

// A picture read from its file, ready to show: every frame of an animation
// (one for a still picture) in a format the screen draws directly and, for
// a still picture, smaller copies to draw from when it is shown reduced.
struct DecodedPicture
{
    PictureFacts facts;
    quint64 bytes = 0;      // the file's size
    QList<QImage> frames;
    QList<int> delays;      // how long each frame stays, in milliseconds
    int loopCount = 0;      // runs after the first; -1 for ever
    // The first frame halved, and halved again, down to a few hundred
    // pixels; the largest first.
    QList<QImage> reductions;
    bool isAnimated() const { return frames.size() > 1; }
};

// Qt's image reader, as the picture window and the headless dump use it.
// Everything here may run away from the UI thread.
namespace PictureDecoder {

// What one picture may take in memory once decoded; the image reader is
// held to it, so that a hostile header cannot make it allocate more.
inline constexpr int AllocationLimitMB = 512;
// Animations show each frame at least this long, as browsers do.
inline constexpr int ShortestDelayMs = 20;
inline constexpr int DefaultDelayMs = 100;

// Reads every frame of the picture. When `cancelled` is set while the file
// is read, reading stops soon; what is returned then is of no use.
DecodedPicture decode(const QString &path, const std::atomic_bool *cancelled = nullptr);
// The halvings of a picture kept for drawing it reduced.
QList<QImage> reductions(const QImage &image);
// What the headless dump prints of a picture: decode()'s facts.
PictureFacts readFacts(const QString &path);

// Runs work on the picture threads, which yield to the window's: on a busy
// machine a large picture takes longer, the window does not.
void startTask(std::function<void()> task);
// Lets go of a picture on a picture thread: giving back the memory of a
// large one takes longer than a frame of the window.
void release(std::shared_ptr<const DecodedPicture> picture);

// Whether the bytes of a PNG, GIF or JPEG file run to the picture's end.
// The image reader draws what a cut GIF or JPEG holds and says nothing;
// their blocks and markers show whether anything is missing.
enum class Ending { Complete, Truncated, Damaged };
Ending checkEnding(QIODevice &device, const QByteArray &format);

} // namespace PictureDecoder
