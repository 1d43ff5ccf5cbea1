#include "documents/picture.h"

#include "documents/downloadedfiles.h"
#include "documents/gopherxferdoc.h"
#include "documents/userinterface.h"
#include "settings/appsettings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QThreadPool>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The multiplication sign, in the UTF-8 the status line reads.
constexpr char Times[] = " \xC3\x97 ";

// How a copy ended: which step failed, and the errno it failed with.
struct CopyOutcome
{
    enum Step { Done, Reading, Creating, Writing, SameFile };
    Step step = Done;
    int error = 0;
};

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    struct stat sa = {};
    struct stat sb = {};
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0
           && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Copies the bytes of one file into another, made or emptied first.
CopyOutcome copyBytes(const QByteArray &from, const QByteArray &to)
{
    // Written over itself, the download would be emptied before it is read.
    if (sameFile(from, to))
        return {CopyOutcome::SameFile, 0};
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return {CopyOutcome::Reading, errno};
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return {CopyOutcome::Creating, error};
    }
    CopyOutcome outcome;
    char buffer[64 * 1024];
    while (outcome.step == CopyOutcome::Done) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            outcome = {CopyOutcome::Reading, errno};
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                outcome = {CopyOutcome::Writing, w < 0 ? errno : EIO};
                break;
            }
            done += w;
        }
    }
    ::close(in);
    // A full disk may show itself only when the file is closed.
    if (::close(out) != 0 && outcome.step == CopyOutcome::Done && errno != EINTR)
        outcome = {CopyOutcome::Writing, errno};
    return outcome;
}

void reportCopy(CGopherXferDoc &doc, const QString &target, const CopyOutcome &outcome)
{
    UserInterface &ui = *doc.context().ui;
    const QByteArray cause = CGopherXferDoc::fileErrorText(CGopherXferDoc::fileErrorCause(outcome.error));
    switch (outcome.step) {
    case CopyOutcome::Reading:
        ui.messageBox("Failed to read picture file\n" + QFile::encodeName(doc.path()) + '\n' + cause);
        return;
    case CopyOutcome::Creating:
        ui.messageBox("Failed to create picture file\n" + QFile::encodeName(target) + '\n' + cause);
        return;
    case CopyOutcome::Writing:
        ui.messageBox("Error writing picture file\n" + QFile::encodeName(target) + '\n' + cause);
        return;
    case CopyOutcome::SameFile:
        // The user wants the download where it is: it stays after exit.
        doc.context().app->downloadedFiles().SetKeepFile(doc.path(), true);
        Q_EMIT doc.updateAllViews(CGopherXferDoc::KeptHint);
        break;
    case CopyOutcome::Done:
        break;
    }
    ui.setMainStatus("Saved '" + doc.shownBytes(doc.item().title) + "' in " + QFile::encodeName(target)
                     + " ... done");
}

} // namespace

QByteArray Picture::tooLarge(int width, int height, int limitMegabytes)
{
    return "at " + QByteArray::number(width) + Times + QByteArray::number(height)
           + " pixels it needs more than " + QByteArray::number(limitMegabytes) + " MB";
}

bool Picture::isPictureItem(char type, QByteArrayView viewType)
{
    // A Gopher+ view names what the bytes are, whatever the menu said.
    if (viewType.contains('/'))
        return viewType.size() > 6 && QByteArrayView(viewType.first(6)).compare("image/", Qt::CaseInsensitive) == 0;
    return type == 'I' || type == 'g' || type == ':' || type == 'p';
}

QByteArray Picture::unreadableMessage(QByteArrayView problem)
{
    return "The picture could not be read: " + problem.toByteArray();
}

QByteArray Picture::statusText(const PictureFacts &facts, quint64 bytes)
{
    return QByteArray::number(facts.width) + Times + QByteArray::number(facts.height) + ", "
           + facts.format.toUpper() + ", " + QByteArray::number(bytes) + " bytes";
}

void Picture::saveAs(CGopherXferDoc &doc)
{
    const AppContext &context = doc.context();
    const QFileInfo source(doc.path());
    const QString extension = source.suffix();
    UserInterface::FileDialog dialog;
    dialog.save = true;
    dialog.title = QStringLiteral("Save Picture As");
    if (!extension.isEmpty()) {
        dialog.filter = extension.toUpper() + QStringLiteral(" (*.") + extension + QStringLiteral(")|*.")
                        + extension + QLatin1Char('|');
        dialog.defaultExtension = extension;
    }
    dialog.filter += QStringLiteral("All Files (*.*)|*.*||");
    dialog.initialName = source.fileName();
    dialog.initialDirectory = context.app->settings().downloadDirectory();
    dialog.promptOverwrite = true;
    dialog.hideReadOnly = true;
    const QString target = context.ui->fileDialog(dialog);
    if (target.isEmpty())
        return;
    context.ui->setMainStatus("Saving " + doc.shownBytes(doc.item().title));
    const QByteArray from = QFile::encodeName(doc.path());
    const QByteArray to = QFile::encodeName(target);
    QThreadPool::globalInstance()->start([from, to, target, guard = QPointer<CGopherXferDoc>(&doc)]() mutable {
        const CopyOutcome outcome = copyBytes(from, to);
        // Told on the UI thread, and only while the document is there.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard = std::move(guard), target, outcome] {
                if (guard)
                    reportCopy(*guard, target, outcome);
            },
            Qt::QueuedConnection);
    });
}
