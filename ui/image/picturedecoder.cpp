#include "ui/image/picturedecoder.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QPixelFormat>
#include <QPointer>
#include <QThreadPool>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// The file the reader reads from: a read fails once the window that wanted
// the picture has gone, which ends the decoder's work early.
class CancellableFile : public QFile
{
public:
    CancellableFile(const QString &path, const std::atomic_bool *cancelled)
        : QFile(path), m_cancelled(cancelled) {}

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_cancelled && m_cancelled->load(std::memory_order_relaxed))
            return -1;
        return QFile::readData(data, maxSize);
    }

private:
    const std::atomic_bool *m_cancelled;
};

// Reads a device byte by byte through a buffer, for the structure walks.
class ByteWalker
{
public:
    explicit ByteWalker(QIODevice &device) : m_device(device) {}

    // The next byte, or -1 at the end.
    int next()
    {
        if (m_pos == m_buffer.size() && !fill())
            return -1;
        return static_cast<unsigned char>(m_buffer.at(m_pos++));
    }
    // Passes over n bytes; false when the end comes first.
    bool skip(quint64 n)
    {
        while (n > 0) {
            if (m_pos == m_buffer.size() && !fill())
                return false;
            const quint64 here = qMin<quint64>(n, quint64(m_buffer.size() - m_pos));
            m_pos += qsizetype(here);
            n -= here;
        }
        return true;
    }
    // Passes over bytes up to the next 0xFF, which is taken; false at the end.
    bool skipToFF()
    {
        for (;;) {
            if (m_pos == m_buffer.size() && !fill())
                return false;
            const char *start = m_buffer.constData() + m_pos;
            const void *found = std::memchr(start, 0xFF, size_t(m_buffer.size() - m_pos));
            if (found) {
                m_pos += static_cast<const char *>(found) - start + 1;
                return true;
            }
            m_pos = m_buffer.size();
        }
    }
    // A big-endian number of `bytes` bytes, or -1 at the end.
    qint64 number(int bytes)
    {
        qint64 value = 0;
        for (int i = 0; i < bytes; ++i) {
            const int b = next();
            if (b < 0)
                return -1;
            value = value << 8 | b;
        }
        return value;
    }

private:
    bool fill()
    {
        m_buffer = m_device.read(64 * 1024);
        m_pos = 0;
        return !m_buffer.isEmpty();
    }

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};

using PictureDecoder::Ending;

// Chunks up to IEND (PNG specification, section 5).
Ending pngEnding(ByteWalker &in)
{
    if (!in.skip(8))
        return Ending::Truncated;
    for (;;) {
        const qint64 length = in.number(4);
        const qint64 type = in.number(4);
        if (length < 0 || type < 0)
            return Ending::Truncated;
        if (length > 0x7FFFFFFF)
            return Ending::Damaged;
        if (type == 0x49454E44) // "IEND"
            return Ending::Complete;
        if (!in.skip(quint64(length) + 4))
            return Ending::Truncated;
    }
}

// Data sub-blocks of a GIF, up to the empty one.
bool gifSubBlocks(ByteWalker &in)
{
    for (;;) {
        const int size = in.next();
        if (size < 0)
            return false;
        if (size == 0)
            return true;
        if (!in.skip(quint64(size)))
            return false;
    }
}

// Blocks up to the trailer (GIF89a specification).
Ending gifEnding(ByteWalker &in)
{
    if (!in.skip(10))
        return Ending::Truncated;
    const int flags = in.next();
    if (flags < 0 || !in.skip(2))
        return Ending::Truncated;
    if ((flags & 0x80) && !in.skip(3u << ((flags & 7) + 1)))
        return Ending::Truncated;
    for (;;) {
        switch (in.next()) {
        case -1:
            return Ending::Truncated;
        case 0x3B: // trailer
            return Ending::Complete;
        case 0x21: // extension: label, then sub-blocks
            if (in.next() < 0 || !gifSubBlocks(in))
                return Ending::Truncated;
            break;
        case 0x2C: { // image: descriptor, colour table, code size, sub-blocks
            if (!in.skip(8))
                return Ending::Truncated;
            const int local = in.next();
            if (local < 0 || ((local & 0x80) && !in.skip(3u << ((local & 7) + 1))))
                return Ending::Truncated;
            if (in.next() < 0 || !gifSubBlocks(in))
                return Ending::Truncated;
            break;
        }
        default:
            return Ending::Damaged;
        }
    }
}

// Markers up to EOI (ITU T.81, annex B). Inside scan data a 0xFF is
// followed by 0x00 or a restart marker; any other code is the next marker.
Ending jpegEnding(ByteWalker &in)
{
    if (in.next() != 0xFF || in.next() != 0xD8)
        return Ending::Damaged;
    int marker = -1;
    for (;;) {
        if (marker < 0) {
            const int ff = in.next();
            if (ff < 0)
                return Ending::Truncated;
            if (ff != 0xFF)
                return Ending::Damaged;
            do
                marker = in.next();
            while (marker == 0xFF);
            if (marker < 0)
                return Ending::Truncated;
        }
        const int code = marker;
        marker = -1;
        if (code == 0xD9)
            return Ending::Complete;
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7))
            continue;
        const qint64 length = in.number(2);
        if (length < 0)
            return Ending::Truncated;
        if (length < 2)
            return Ending::Damaged;
        if (!in.skip(quint64(length - 2)))
            return Ending::Truncated;
        if (code != 0xDA)
            continue;
        while (marker < 0) {
            if (!in.skipToFF())
                return Ending::Truncated;
            int after = in.next();
            while (after == 0xFF)
                after = in.next();
            if (after < 0)
                return Ending::Truncated;
            if (after != 0x00 && !(after >= 0xD0 && after <= 0xD7))
                marker = after;
        }
    }
}

QImage displayable(const QImage &frame)
{
    return frame.convertToFormat(frame.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QByteArray readProblem(QImageReader::ImageReaderError error)
{
    switch (error) {
    case QImageReader::UnsupportedFormatError:
        return Picture::UnknownFormat;
    case QImageReader::FileNotFoundError:
    case QImageReader::DeviceError:
        return Picture::Unopened;
    default:
        return Picture::Damaged;
    }
}

// The picture threads belong to the application and go with it.
QThreadPool *pictureThreads()
{
    static QPointer<QThreadPool> pool;
    if (!pool)
        pool = new QThreadPool(QCoreApplication::instance());
    return pool;
}

// A thread's niceness is its own on Linux: raised once, for good.
void yieldToTheWindow()
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    const id_t thread = id_t(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        static_cast<void>(::setpriority(PRIO_PROCESS, thread, std::min(nice + 10, 19)));
}

} // namespace

void PictureDecoder::startTask(std::function<void()> task)
{
    pictureThreads()->start([task = std::move(task)] {
        yieldToTheWindow();
        task();
    });
}

void PictureDecoder::release(std::shared_ptr<const DecodedPicture> picture)
{
    // The last reference goes on the picture thread (unless the window's
    // thread still holds one elsewhere).
    if (picture)
        startTask([picture = std::move(picture)]() mutable { picture.reset(); });
}

PictureDecoder::Ending PictureDecoder::checkEnding(QIODevice &device, const QByteArray &format)
{
    ByteWalker in(device);
    if (format == "png")
        return pngEnding(in);
    if (format == "gif")
        return gifEnding(in);
    if (format == "jpeg" || format == "jpg")
        return jpegEnding(in);
    return Ending::Complete;
}

DecodedPicture PictureDecoder::decode(const QString &path, const std::atomic_bool *cancelled)
{
    static std::once_flag limitSet;
    std::call_once(limitSet, [] { QImageReader::setAllocationLimit(AllocationLimitMB); });

    DecodedPicture out;
    PictureFacts &facts = out.facts;
    CancellableFile file(path, cancelled);
    if (!file.open(QIODevice::ReadOnly)) {
        facts.problem = Picture::Unopened;
        return out;
    }
    out.bytes = quint64(file.size());
    if (out.bytes == 0) {
        facts.problem = Picture::EmptyFile;
        return out;
    }
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    facts.format = reader.format();
    if (facts.format.isEmpty()) {
        facts.problem = Picture::UnknownFormat;
        return out;
    }
    // Said before anything is allocated, and in the words of the window.
    const QSize size = reader.size();
    // A damaged header can leave the reader's format unset: Qt's JPEG reader
    // then answers with whatever its memory held, so the value is checked
    // before it indexes Qt's table of formats.
    const int format = int(reader.imageFormat());
    const int bits = format <= int(QImage::Format_Invalid) || format >= int(QImage::NImageFormats)
                         ? 32
                         : qMax(32, int(QImage::toPixelFormat(QImage::Format(format)).bitsPerPixel()));
    if (size.isValid() && quint64(size.width()) * quint64(size.height()) * quint64(bits / 8)
                              > quint64(AllocationLimitMB) << 20) {
        facts.problem = Picture::tooLarge(size.width(), size.height(), AllocationLimitMB);
        return out;
    }

    quint64 total = 0;
    for (;;) {
        QImage frame;
        if (!reader.read(&frame)) {
            facts.problem = out.frames.isEmpty() ? readProblem(reader.error()) : Picture::Damaged;
            break;
        }
        const int delay = reader.nextImageDelay();
        frame = displayable(frame);
        total += quint64(frame.sizeInBytes());
        if (total > quint64(AllocationLimitMB) << 20) {
            facts.problem = Picture::tooLarge(frame.width(), frame.height(), AllocationLimitMB);
            break;
        }
        out.frames.append(frame);
        out.delays.append(delay <= 0 ? DefaultDelayMs : qMax(delay, ShortestDelayMs));
        if (!reader.supportsAnimation() || !reader.canRead())
            break;
    }
    out.loopCount = reader.loopCount();
    if (cancelled && cancelled->load())
        return out;
    if (!out.frames.isEmpty()) {
        facts.width = out.frames.first().width();
        facts.height = out.frames.first().height();
    }
    // The reader keeps quiet about a GIF or JPEG cut short; a PNG that it
    // could not read may be cut short too, which says more than "damaged".
    if (facts.readable() || facts.problem == Picture::Damaged) {
        file.seek(0);
        const Ending ending = checkEnding(file, facts.format);
        if (ending == Ending::Truncated)
            facts.problem = Picture::Truncated;
        else if (ending == Ending::Damaged)
            facts.problem = Picture::Damaged;
    }
    if (!facts.readable())
        out.frames.clear();
    return out;
}

QList<QImage> PictureDecoder::reductions(const QImage &image)
{
    // Drawn from a copy at most twice the size shown, a reduced picture
    // keeps its detail without touching every pixel of the original.
    constexpr int Smallest = 512;
    QList<QImage> out;
    QImage level = image;
    while (qMax(level.width(), level.height()) > Smallest && qMin(level.width(), level.height()) > 1) {
        level = level.scaled(level.width() / 2, level.height() / 2, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
        out.append(level);
    }
    return out;
}

PictureFacts PictureDecoder::readFacts(const QString &path)
{
    return decode(path).facts;
}
