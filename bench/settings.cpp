// Settings bench: start-up and exit of the main window with a large settings
// file (a bookmark store of about 10 MB), on the offscreen platform. Prints
// the wall-clock time of each phase and how often the file was read, parsed
// and replaced.
//
//   cmake --build build --target bench_settings && build/bench_settings [MB]

#include "settings/profilefile.h"
#include "app/tarnwickapp.h"
#include "ui/guiprogram.h"
#include "ui/mainframe.h"
#include "ui/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Categories of a hundred bookmarks each, as the bookmark store keeps them,
// and a home gopher on a port where nothing answers.
QByteArray largeSettings(qint64 size)
{
    QByteArray categories("[Home Gopher]\nCount of Home Gophers=1\nHome Server 1=127.0.0.1\nHome Port 1=9\n"
                          "\n[Bookmark Categories]\n");
    QByteArray body;
    for (int category = 0; body.size() < size; ++category) {
        const QByteArray name = "Category " + QByteArray::number(category);
        categories += "Category" + QByteArray::number(category) + '=' + name + '\n';
        body += "\n[Bookmarks: " + name + "]\nCount=100\n";
        for (int i = 0; i < 100; ++i) {
            const QByteArray n = QByteArray::number(i);
            body += "Name" + n + "=A bookmark with a title of some length, number " + n + '\n' + "Type" + n
                + "=1\nPort" + n + "=70\nPath" + n + "=1/a/selector/of/some/length/" + n + '\n' + "Host" + n
                + "=gopher.example.org\n";
        }
    }
    return categories + body;
}

void report(const char *phase, qint64 ms, const ProfileFile::Counters &before,
            const ProfileFile::Counters &after)
{
    std::printf("  %-12s %6lld ms   reads %d, parses %d, replacements %d\n", phase, static_cast<long long>(ms),
                after.reads - before.reads, after.parses - before.parses,
                after.replacements - before.replacements);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 10;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarnwick.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(largeSettings(megabytes * 1024 * 1024)) < 0)
            return 1;
    }
    std::printf("settings: %lld bytes\n", static_cast<long long>(QFileInfo(path).size()));

    for (const char *round : {"first start", "next start"}) {
        std::printf("%s\n", round);
        QElapsedTimer timer;
        timer.start();
        auto program = std::make_unique<GuiProgram>();
        CTarnwickApp *app = &program->app();
        app->setSettingsPath(path);
        app->registerDefaultTemplates();
        const ProfileFile::Counters zero;
        auto frame = std::make_unique<CMainFrame>(*program);
        frame->RestoreWindowPlacement(1);
        openFirstDocuments(*app, *frame, {}, QProcessEnvironment());
        const ProfileFile::Counters started = app->profile().counters();
        report("start", timer.restart(), zero, started);

        frame->close();
        frame.reset();
        report("exit", timer.elapsed(), started, app->profile().counters());
    }
    return 0;
}
