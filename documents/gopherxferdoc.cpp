#include "documents/gopherxferdoc.h"

#include "settings/commandline.h"
#include "documents/downloadedfiles.h"
#include "settings/appsettings.h"
#include "settings/profilefile.h"
#include "settings/viewertable.h"
#include "documents/picture.h"
#include "documents/shortfilename.h"
#include "documents/userinterface.h"
#include "gplus/extendedviewtable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TypeRow
{
    const char *types;
    const char *extension;
    const char *filter;
};

// The extension and the dialog's filter entries of each download type.
constexpr TypeRow TypeRows[] = {
    {"4", "hqx", "Mac Binhex (*.hqx) | *.hqx | "},
    {"5", "zip", "Zip (*.zip) | *.zip | Executables (*.exe) | *.exe | "},
    {"6", "uue", "Unix uuencoded (*.uue) | *.uue | "},
    {"9", "bin", ""},
    {":Ig", "gif",
     "Gif (*.gif) | *.gif | JPEG (*.jpg) | *.jpg | "
     "Targa (*.tga) | *.tga | Bitmap (*.bmp) | *.bmp | "
     "PostScript (*.ps) | *.ps | Encapsulated PostScript (*.eps) | *.eps | "},
    {"p", "png", "PNG (*.png) | *.png | "},
    {";", "mpg", "MPEG (*.mpg) | *.mpg | "},
    {"<s", "wav", "Wav (*.wav) | *.wav | Snd (*.snd) | *.snd | Mod (*.mod) | *.mod | Sun (*.au) | *.au | "},
    {"P", "pdf", "Acrobat (*.pdf) | *.pdf | "},
    {"h", "htm", "HTML (*.htm) | *.htm | "},
};

constexpr const char AllFiles[] = "All Files (*.*) | *.* ||";

QByteArray cutAtBlankOrLineEnd(QByteArray text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == ' ' || c == '\r' || c == '\n') {
            text.truncate(i);
            break;
        }
    }
    return text;
}

bool isAsciiLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The letters and digits an extension begins with, at most max of them.
QByteArray leadingLettersAndDigits(const QByteArray &text, qsizetype max)
{
    qsizetype n = 0;
    while (n < text.size() && n < max && isAsciiLetterOrDigit(text.at(n)))
        ++n;
    return text.left(n);
}

// The permissions a file created by open(0666) would get under the umask.
mode_t createMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes all of data, retrying after interruptions; 0 or the errno. What
// reached the file is added to written, also when a write fails part way.
int writeAll(int fd, const char *data, qsizetype size, quint64 &written)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        written += quint64(n);
        data += n;
        size -= n;
    }
    return 0;
}

// Moves a file to a name that must not be taken: 0, EEXIST when it is, or
// another errno.
int renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that flag: a hard link fails on a taken name too.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Nor hard links (FAT): the look and the rename are apart, but it is the
    // best such a file system offers.
    struct stat info;
    if (::lstat(to.constData(), &info) == 0)
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// Bytes of a file name the temporary name may take: with ".XXXXXX.part" it
// stays within the 255 bytes a Linux file name has.
constexpr qsizetype MaxPartStem = 240;
// How often the status line follows the byte count while bytes arrive.
constexpr qint64 StatusIntervalMs = 250;

} // namespace

CGopherXferDoc::CGopherXferDoc(const AppContext &context, QObject *parent)
    : CTarnwickDoc(context, parent)
{
    m_clock.start();
}

CGopherXferDoc::~CGopherXferDoc()
{
    // The downloaded-files record holds the document by a guarded pointer,
    // which lets go of it by itself. A transfer that never completed leaves
    // nothing behind.
    closeFile();
    if (!m_complete)
        abandonFile();
}

CGopherXferDoc::FileKind CGopherXferDoc::chooseExtension(
    const CBookmark &item, const std::function<QByteArray(const QByteArray &)> &extensionOfView)
{
    FileKind kind;
    const QByteArray &selector = item.selector;
    const qsizetype plus = selector.indexOf("\t+");
    if (plus >= 0) {
        kind.viewType = cutAtBlankOrLineEnd(selector.mid(plus + 2));
        // A view of more than one character names its extension in the
        // extended-view table; without a record the title and type decide.
        if (kind.viewType.size() > 1 && extensionOfView)
            kind.extension = extensionOfView(kind.viewType);
        // The table is the user's, but a name on disk takes letters and
        // digits only.
        kind.extension = leadingLettersAndDigits(kind.extension, kind.extension.size());
    } else {
        // Only the last path component names a file: the dots of
        // "/pub/v1.2/noext" belong to a directory.
        QByteArray name = selector;
        const qsizetype tab = name.indexOf('\t');
        if (tab >= 0)
            name.truncate(tab);
        if (name.endsWith("\r\n"))
            name.chop(2);
        name = name.mid(name.lastIndexOf('/') + 1);
        const qsizetype dot = name.lastIndexOf('.');
        if (dot >= 0)
            kind.extension = leadingLettersAndDigits(name.mid(dot + 1), 3);
    }
    if (kind.extension.isEmpty()) {
        const qsizetype dot = item.title.lastIndexOf('.');
        if (dot >= 1) {
            const QByteArray after = item.title.mid(dot + 1).toLower();
            if (after == "jpeg")
                kind.extension = "jpg";
            else if (after == "mpeg")
                kind.extension = "mpg";
            else
                kind.extension = leadingLettersAndDigits(after, 3);
        }
    }
    if (!kind.extension.isEmpty()) {
        const QByteArray &e = kind.extension;
        kind.filter = e + " (*." + e + ") | *." + e + " | " + AllFiles;
        return kind;
    }
    kind.extension = "???";
    kind.filter = AllFiles;
    for (const TypeRow &row : TypeRows) {
        if (item.type != 0 && QByteArrayView(row.types).contains(item.type)) {
            kind.extension = row.extension;
            kind.filter = QByteArray(row.filter) + AllFiles;
            break;
        }
    }
    return kind;
}

int CGopherXferDoc::fileErrorCause(int error)
{
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
        return 2;
    case ENOTDIR:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
        return 5;
    case EIO:
        return 10;
    case ENOSPC:
    case EDQUOT:
        return 13;
    default:
        return 1;
    }
}

QByteArray CGopherXferDoc::fileErrorText(int cause)
{
    static const char *const texts[] = {
        "No error occurred.",
        "An unspecified error occurred.",
        "The file could not be located.",
        "All or part of the path is invalid.",
        "You cannot open any more files before closing some first.",
        "You don't have the right permission to open that file.",
        "There was an attempt to use an invalid file handle.",
        "The current working directory cannot be removed.",
        "You cannot create any more files in this directory without deleting some first.",
        "There was an error while trying to set the file pointer.",
        "There was a hardware error, probably disk.",
        "SHARE.EXE was not loaded, or part of the file is locked.",
        "There was an attempt to lock part of the file that was already locked.",
        "The disk is full, you will have to do some cleanup first.",
        "The end of the file was reached.",
    };
    if (cause < 0 || cause >= int(std::size(texts)))
        cause = 1;
    return texts[cause];
}

QByteArray CGopherXferDoc::formatRate(quint64 bytes, quint64 milliseconds)
{
    const quint64 rate = milliseconds ? bytes * 10 / milliseconds : 0;
    return QByteArray::number(rate / 10) + '.' + QByteArray::number(rate % 10) + " KBytes/sec";
}

QByteArray CGopherXferDoc::bytesText() const
{
    QByteArray text = QByteArray::number(m_written) + " bytes";
    if (m_complete)
        return text + " ... done";
    if (!progressText().isEmpty())
        text += ", " + progressText();
    return text;
}

bool CGopherXferDoc::Fetch(const CBookmark &item)
{
    const FileKind kind = chooseExtension(item, [this](const QByteArray &view) {
        const CViewInfo *info = m_context.app->extendedViews().Lookup(view);
        return info ? info->extension : QByteArray();
    });
    m_viewType = kind.viewType;
    if (!chooseAndCreate(item, kind))
        return false;
    // A place and a name the user chose are kept; only the names the program
    // made are deleted at exit.
    m_context.app->downloadedFiles().AddDownloadedFile(this, m_path, !m_generatedName);
    if (!m_generatedName)
        Q_EMIT updateAllViews(KeptHint);
    return CTarnwickDoc::Fetch(item);
}

QString CGopherXferDoc::autoDirectory() const
{
    const DownloadedFiles &files = m_context.app->downloadedFiles();
    QString directory = files.directoryOverride().isEmpty()
                            ? m_context.app->settings().downloadDirectory()
                            : files.directoryOverride();
    const QString temporary = m_context.app->settings().temporaryDirectory();
    if (directory.endsWith(u'/') && directory.size() > 1)
        directory.chop(1);
    if (directory.isEmpty() || !QFileInfo(directory).isDir()) {
        // Without a download directory a name in the root directory would be
        // the candidate: the temporary directory is the sound choice here.
        directory = temporary;
        if (directory.isEmpty() || !QFileInfo(directory).isDir())
            directory = QDir::tempPath();
    }
    return directory;
}

bool CGopherXferDoc::isNameTaken(const QString &path) const
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0
           || m_context.app->downloadedFiles().find(path);
}

QString CGopherXferDoc::uniqueName(const QString &directory) const
{
    static constexpr char Characters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = m_uniquePrefix;
        for (int i = 0; i < 6; ++i)
            name += Characters[QRandomGenerator::global()->bounded(int(sizeof Characters) - 1)];
        const QString path = directory + u'/' + QString::fromLatin1(name + '.' + m_extension);
        if (!isNameTaken(path))
            return path;
    }
    return {};
}

bool CGopherXferDoc::chooseAndCreate(const CBookmark &item, const FileKind &kind)
{
    QByteArray base = MakeShortFileName(item.title);
    if (base.isEmpty())
        base = "gopher";
    m_extension = kind.extension;
    m_uniquePrefix = base.size() < 5 ? base : base.left(4);
    const QString extension = QString::fromLatin1(kind.extension);
    const bool autoName = m_context.app->settings().autoFileName()
                          || !m_context.app->downloadedFiles().directoryOverride().isEmpty();
    if (autoName) {
        const QString directory = autoDirectory();
        QString path = directory + u'/' + QString::fromLatin1(base) + u'.' + extension;
        // A name that is taken, on disk or by a download still under way,
        // gives way to a unique one.
        if (isNameTaken(path))
            path = uniqueName(directory);
        if (!path.isEmpty()) {
            m_generatedName = true;
            return createFile(path);
        }
        m_context.ui->messageBox("Unable to make a temp filename\n"
                                 "Make sure the download and TMP directories exist");
    }

    UserInterface::FileDialog dialog;
    dialog.save = true;
    dialog.title = QStringLiteral("Select File for Gopher Download");
    dialog.filter = QString::fromLatin1(kind.filter)
                        .replace(QStringLiteral(" | "), QStringLiteral("|"))
                        .replace(QStringLiteral(" ||"), QStringLiteral("||"));
    dialog.defaultExtension = extension;
    dialog.initialName = QString::fromLatin1(base) + u'.' + extension;
    dialog.initialDirectory = m_context.app->settings().downloadDirectory();
    dialog.promptOverwrite = true;
    dialog.hideReadOnly = true;
    QString chosen = m_context.ui->fileDialog(dialog);
    if (chosen.isEmpty())
        return false;
    // A link the user picked is written through: its file gets the bytes.
    const QFileInfo picked(chosen);
    if (picked.isSymLink() && !picked.canonicalFilePath().isEmpty())
        chosen = picked.canonicalFilePath();
    m_generatedName = false;
    return createFile(chosen);
}

bool CGopherXferDoc::createFile(const QString &path)
{
    const QByteArray target = QFile::encodeName(path);
    struct stat info;
    if (::stat(target.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A device or a pipe the user chose takes the bytes as they come. A
        // pipe nobody reads would hold the window at the open: it fails.
        m_fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0) {
            reportCreateFailure(path, errno);
            return false;
        }
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
        m_path = path;
        return true;
    }
    // The bytes go to a name of their own beside the file; only a complete
    // file takes the file's name, so a broken-off transfer never looks like
    // a download, nor costs the user a file that had the name before.
    const QFileInfo file(path);
    QByteArray stem = QFile::encodeName(file.fileName());
    if (stem.size() > MaxPartStem)
        stem.truncate(MaxPartStem);
    QByteArray part = QFile::encodeName(file.absolutePath()) + '/' + stem + ".XXXXXX.part";
    m_fd = ::mkostemps(part.data(), 5, O_CLOEXEC);
    if (m_fd < 0) {
        reportCreateFailure(path, errno);
        return false;
    }
    ::fchmod(m_fd, createMode());
    m_partPath = part;
    m_path = path;
    return true;
}

bool CGopherXferDoc::finishFile()
{
    closeFile();
    if (m_writeError)
        return false;
    if (m_partPath.isEmpty())
        return true;
    QString path = m_path;
    int error = 0;
    if (m_generatedName) {
        // Another program may have taken the name while the bytes came: the
        // file then gets a unique one, and never replaces that file.
        error = renameNoReplace(m_partPath, QFile::encodeName(path));
        for (int attempt = 0; error == EEXIST && attempt < 10; ++attempt) {
            path = uniqueName(QFileInfo(m_path).absolutePath());
            error = path.isEmpty() ? EEXIST : renameNoReplace(m_partPath, QFile::encodeName(path));
        }
    } else if (::rename(m_partPath.constData(), QFile::encodeName(path).constData()) != 0) {
        error = errno;
    }
    if (error) {
        m_writeError = error;
        return false;
    }
    m_partPath.clear();
    if (path != m_path) {
        m_context.app->downloadedFiles().MoveDownloadedFile(this, path);
        m_path = path;
    }
    return true;
}

void CGopherXferDoc::abandonFile()
{
    if (!m_partPath.isEmpty()) {
        ::unlink(m_partPath.constData());
        m_partPath.clear();
    }
    // Nothing was downloaded: the list holds files, not attempts.
    m_context.app->downloadedFiles().RemoveDownloadedFile(this);
}

void CGopherXferDoc::reportCreateFailure(const QString &path, int error)
{
    m_context.ui->messageBox(QByteArray("Failed to create download file ") + '\n'
                             + QFile::encodeName(path) + '\n'
                             + fileErrorText(fileErrorCause(error)));
}

QByteArray CGopherXferDoc::receivedText(bool withProgress) const
{
    QByteArray text = "Received " + QByteArray::number(m_written) + " bytes";
    if (withProgress && !progressText().isEmpty())
        text += ", " + progressText();
    return text;
}

void CGopherXferDoc::OnReceive()
{
    const qint64 elapsed = m_clock.elapsed();
    const QByteArray &block = receiveBuffer();
    if (m_fd >= 0 && !m_writeError)
        m_writeError = writeAll(m_fd, block.constData(), block.size(), m_written);
    if (elapsed > 0)
        m_rateText = formatRate(m_written, quint64(elapsed));
    clearReceived();
    Q_EMIT updateAllViews(BytesHint);
    // The status line follows the count, a few times a second: a status
    // line is painted at once, and blocks come by the thousand.
    if (m_statusAt < 0 || elapsed - m_statusAt >= StatusIntervalMs) {
        m_statusAt = elapsed;
        SetStatus(receivedText(true));
    }
    // A transfer whose bytes cannot all reach the disk is over: nothing more
    // is read, and it ends as failed.
    if (m_writeError && hasLiveTransaction())
        cancelTransfer();
}

void CGopherXferDoc::closeFile()
{
    if (m_fd < 0)
        return;
    // A full disk can show itself only when the file is closed.
    if (::close(m_fd) != 0 && !m_writeError && errno != EINTR)
        m_writeError = errno;
    m_fd = -1;
}

void CGopherXferDoc::OnReceiveDone(int status)
{
    if (status == 0 && finishFile()) {
        m_complete = true;
        SetStatus(receivedText(false) + " ... done");
        Q_EMIT updateAllViews(CompleteHint);
        Q_EMIT fileComplete();
        // The file is final here: a picture nobody named a viewer for is
        // shown at once, without any setup.
        if (showsAsPicture())
            m_context.ui->showPicture(*this);
        return;
    }
    // Stopped, broken off or not written whole: what arrived is not the
    // file, and goes.
    closeFile();
    abandonFile();
    if (status == -1 && !m_writeError)
        SetStatus(QByteArray("Transfer stopped"));
    else
        SetStatus(receivedText(false) + " ... transfer failed");
    Q_EMIT updateAllViews(BytesHint);
    if (m_writeError)
        m_context.ui->messageBox(QByteArray("Failed to write download file") + '\n'
                                 + QFile::encodeName(m_path) + '\n'
                                 + fileErrorText(fileErrorCause(m_writeError)));
}

QByteArray CGopherXferDoc::viewerExtension() const
{
    const QString name = QFileInfo(m_path).fileName();
    const qsizetype dot = name.indexOf(u'.');
    return dot < 0 ? QByteArray() : name.mid(dot + 1).toUpper().toUtf8();
}

bool CGopherXferDoc::showsAsPicture() const
{
    if (!Picture::isPictureItem(m_item.type, m_viewType))
        return false;
    if (m_viewType.size() > 1) {
        const CViewInfo *info = m_context.app->extendedViews().Lookup(m_viewType);
        if (info && !info->viewer.isEmpty())
            return false;
    }
    const QByteArray extension = viewerExtension();
    return extension.isEmpty() || !ViewerTable(m_context.app->profile()).HasViewer(extension);
}

void CGopherXferDoc::ViewFile()
{
    if (!m_complete)
        return;
    if (showsAsPicture()) {
        m_context.ui->showPicture(*this);
        return;
    }
    const QByteArray extension = viewerExtension();
    if (extension.isEmpty())
        return;
    UserInterface *ui = m_context.ui.get();
    ViewerTable::FindViewer(
        m_context.app->profile(), extension, m_path,
        [ui](ViewerTable &table, const QByteArray &ext) { return ui->editViewers(table, ext); }, this,
        [this](const QByteArray &program) { runViewer(program); });
}

void CGopherXferDoc::runViewer(const QByteArray &program)
{
    if (program.isEmpty())
        return;
    const QByteArray commandLine = program + ' ' + QFile::encodeName(m_path);
    SetStatus("Running '" + commandLine + "'");
    std::optional<QStringList> arguments = CommandLine::split(QString::fromUtf8(program));
    if (!arguments || arguments->isEmpty()) {
        m_context.app->RunProgram({}, commandLine);
        return;
    }
    arguments->append(m_path);
    m_context.app->RunProgram(*arguments, commandLine);
}
