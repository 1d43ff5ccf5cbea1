#include "app/mailsender.h"

#include "documents/programlauncher.h"
#include "documents/gophertextdoc.h"
#include "documents/gopherxferdoc.h"
#include "documents/userinterface.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace MailSender {

namespace {

const QByteArray NothingToSend = "There is no document or downloaded file to send.";

} // namespace

QStringList arguments(const QString &file, const QByteArray &title)
{
    return {QStringLiteral("xdg-email"), QStringLiteral("--attach"), file,
            QStringLiteral("--subject"), QString::fromUtf8(title)};
}

QString fileFor(CTarnwickDoc *document, const QString &directory, UserInterface &ui)
{
    if (auto *xfer = qobject_cast<CGopherXferDoc *>(document)) {
        // Half a file is not sent as if it were the whole.
        if (xfer->isComplete() && QFileInfo(xfer->path()).isFile())
            return xfer->path();
    } else if (auto *text = qobject_cast<CGopherTextDoc *>(document)) {
        if (text->OnUpdateFileSave()) {
            QTemporaryFile file(QDir(directory).filePath(QStringLiteral("tarnwick-mail-XXXXXX.txt")));
            file.setAutoRemove(false);
            if (!file.open()) {
                ui.messageBox(QByteArray("Failed to create text file\n")
                              + file.fileTemplate().toUtf8());
                return {};
            }
            const QString path = file.fileName();
            file.close();
            if (!text->saveTo(path)) {
                QFile::remove(path);
                return {};
            }
            return path;
        }
    }
    ui.messageBox(NothingToSend, UserInterface::Exclamation);
    return {};
}

bool send(CTarnwickDoc *document, const QString &directory, UserInterface &ui)
{
    const QString file = fileFor(document, directory, ui);
    if (file.isEmpty())
        return false;
    const QByteArray title = document ? document->title() : QByteArray();
    return ProgramLauncher::RunProgram(&ui, arguments(file, title), QByteArray("xdg-email"));
}

} // namespace MailSender
