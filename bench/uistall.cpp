// The user interface while a large download runs: the real main window on
// the offscreen platform downloads a URL (a generated name in a temporary
// directory, no dialog) while a 5 ms timer records the gaps between its
// ticks. Prints the longest gap and the 99th percentile. A picture opens in
// the picture window when it is complete: the gaps are measured on while it
// is read, shown, zoomed to its own size and in, fitted again and closed. Run by
// bench/ui-stall, which serves the file.

#include "app/tarnwickapp.h"
#include "documents/gopherxferdoc.h"
#include "items/bookmark.h"
#include "ui/guiprogram.h"
#include "ui/image/pictureview.h"
#include "ui/image/picturewindow.h"
#include "ui/mainframe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Times every event the window's thread handles in the thread's own CPU
// time: the longest says how long the program itself held the thread,
// whatever else the machine was doing.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const qint64 start = threadTime();
        const int type = event->type();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 spent = threadTime() - start;
        if (spent > longest) {
            longest = spent;
            longestType = type;
        }
        --m_depth;
        return handled;
    }

    qint64 longest = 0;
    int longestType = 0;

private:
    static qint64 threadTime()
    {
        timespec now = {};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }

    int m_depth = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_uistall URL [DIR]\n");
        return 2;
    }
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/uistall-XXXXXX")
                               : QString());
    const QString settings = dir.filePath(QStringLiteral("tarnwick.ini"));
    {
        QFile file(settings);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("[Options]\nAuto File Name=1\n[Directories]\nDownload directory="
                   + QFile::encodeName(dir.path()) + "\n");
    }
    GuiProgram program;
    CTarnwickApp &app = program.app();
    app.setSettingsPath(settings);
    app.registerDefaultTemplates();
    CMainFrame frame(program);
    frame.show();

    std::vector<qint64> gaps;
    gaps.reserve(1 << 16);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = clock.nsecsElapsed();
        gaps.push_back(now - last);
        last = now;
    });
    const auto ms = [](qint64 ns) { return double(ns) / 1e6; };
    const auto percentile = [](std::vector<qint64> v, double p) {
        std::sort(v.begin(), v.end());
        return v.empty() ? qint64(0) : v[size_t(double(v.size() - 1) * p)];
    };

    // The same window idle for three seconds first: what the machine's load
    // alone does to the timer.
    last = clock.nsecsElapsed();
    ticker.start(5);
    QTimer::singleShot(3000, &application, &QApplication::quit);
    QApplication::exec();
    std::printf("idle window: ticks %zu; gap max %.1f ms, 99th percentile %.1f ms\n", gaps.size(),
                ms(percentile(gaps, 1.0)), ms(percentile(gaps, 0.99)));
    gaps.clear();

    CBookmark item;
    item.ParseURL(QByteArray(argv[1]));
    QPointer<CGopherXferDoc> doc = qobject_cast<CGopherXferDoc *>(app.OpenItem(item, 0, 0));
    if (!doc) {
        std::fprintf(stderr, "not opened as a download\n");
        return 1;
    }
    int status = -99;
    qint64 total = 0;
    std::vector<qint64> pictureGaps;
    qint64 pictureShownMs = -1;
    QObject::connect(doc.data(), &CTarnwickDoc::transferEnded, &application, [&](int s) {
        status = s;
        total = clock.elapsed();
        CPictureWindow *picture = frame.activePictureWindow();
        if (!picture) {
            QApplication::quit();
            return;
        }
        // The gaps from here on are the picture's.
        const qint64 downloadGaps = qint64(gaps.size());
        application.longest = 0;
        QObject::connect(picture, &CPictureWindow::readingFinished, &application, [&, picture, downloadGaps] {
            pictureShownMs = clock.elapsed() - total;
            PictureView *view = picture->view();
            // Each step is drawn before the next one comes.
            const std::vector<std::function<void()>> steps = {
                [view] { view->actualSize(); },  [view] { view->zoomIn(); },
                [view] { view->zoomOut(); },     [view] { view->zoomOut(); },
                [view] { view->fitToWindow(); }, [picture] { picture->resize(picture->size() * 5 / 4); },
                [picture] { picture->close(); },
            };
            for (size_t i = 0; i < steps.size(); ++i)
                QTimer::singleShot(int(200 * (i + 1)), &application, steps[i]);
            QTimer::singleShot(int(200 * (steps.size() + 1)), &application, [&, downloadGaps] {
                pictureGaps.assign(gaps.begin() + downloadGaps, gaps.end());
                gaps.resize(size_t(downloadGaps));
                QApplication::quit();
            });
        });
    });
    clock.restart();
    last = clock.nsecsElapsed();
    QApplication::exec();
    ticker.stop();

    if (status != 0 || !doc || !doc->isComplete()) {
        std::fprintf(stderr, "download failed (status %d)\n", status);
        return 1;
    }
    std::vector<qint64> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const qint64 p99 = sorted.empty() ? 0 : sorted[size_t(double(sorted.size() - 1) * 0.99)];
    std::printf("downloaded %llu bytes in %lld ms (%.1f MB/s)\n",
                static_cast<unsigned long long>(doc->bytesWritten()), static_cast<long long>(total),
                double(doc->bytesWritten()) / 1e3 / double(std::max<qint64>(total, 1)));
    std::printf("ticks %zu; gap between 5 ms ticks: max %.1f ms, 99th percentile %.1f ms, median %.1f ms\n",
                gaps.size(), ms(sorted.empty() ? 0 : sorted.back()), ms(p99),
                ms(sorted.empty() ? 0 : sorted[sorted.size() / 2]));
    std::printf("target: longest gap at most 30 ms: %s\n",
                !sorted.empty() && sorted.back() <= 30'000'000 ? "met" : "NOT MET");
    if (pictureShownMs >= 0) {
        std::sort(pictureGaps.begin(), pictureGaps.end());
        std::printf("picture read and shown %lld ms after the download; then zoomed, fitted and closed\n",
                    static_cast<long long>(pictureShownMs));
        std::printf("picture: ticks %zu; gap max %.1f ms, 99th percentile %.1f ms, median %.1f ms\n",
                    pictureGaps.size(), ms(percentile(pictureGaps, 1.0)), ms(percentile(pictureGaps, 0.99)),
                    ms(percentile(pictureGaps, 0.5)));
        std::printf("picture: longest event on the window's thread %.1f ms of its CPU time (event type %d)\n",
                    ms(application.longest), application.longestType);
        std::printf("target: longest gap at most 30 ms while the picture opens: %s\n",
                    percentile(pictureGaps, 1.0) <= 30'000'000 ? "met" : "NOT MET");
    }
    return 0;
}
