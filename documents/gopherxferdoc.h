#pragma once

#include "documents/tarnwickdoc.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <functional>

// The document of every item that is saved to a file rather than shown
// (binaries, archives, images, sounds, ...). Before the request it picks an
// extension and a name and creates the file; every received block is appended
// to the file as it arrives, so memory stays flat whatever the size; at the
// end the file is closed and, when asked, handed to a viewer program.
class CGopherXferDoc : public CTarnwickDoc
{
    Q_OBJECT

public:
    // Hints to the view.
    enum Hint { BytesHint = 0, CompleteHint = 1, MarkedHint = 2, KeptHint = 3 };

    // What the item says about the file to make.
    struct FileKind
    {
        QByteArray extension;
        QByteArray filter;   // "Description (*.x) | *.x | ... All Files (*.*) | *.* ||"
        QByteArray viewType; // the Gopher+ view asked for after "\t+", or empty
    };

    explicit CGopherXferDoc(const AppContext &context, QObject *parent = nullptr);
    ~CGopherXferDoc() override;

    bool Fetch(const CBookmark &item) override;
    void OnReceive() override;
    void OnReceiveDone(int status) override;

    // The extension and the file dialog's filter for an item: a Gopher+ view,
    // the last dot of the selector's last path component, the title's last
    // dot, then the item's type. Only letters and digits make an extension.
    // extensionOfView gives the extension the extended-view table records
    // for a Gopher+ view ("image/png"), empty when it has none.
    static FileKind chooseExtension(
        const CBookmark &item,
        const std::function<QByteArray(const QByteArray &)> &extensionOfView = {});
    // The classic file-error cause for an errno value, and its text.
    static int fileErrorCause(int error);
    static QByteArray fileErrorText(int cause);
    // "%lu.%lu KBytes/sec": tenths of bytes per millisecond, in 64 bits so
    // that large files do not overflow it.
    static QByteArray formatRate(quint64 bytes, quint64 milliseconds);
    // The text of the byte count: "N bytes", with the progress when known,
    // or "N bytes ... done" once the file is complete.
    QByteArray bytesText() const;

    // The file's name: where a complete file is, chosen before the transfer.
    // Until then the bytes go to a temporary name beside it (partPath()), and
    // a transfer that does not complete leaves nothing under either.
    QString path() const { return m_path; }
    QString partPath() const { return QFile::decodeName(m_partPath); }
    // The name was made by the program (marked for deletion at exit), not
    // chosen by the user.
    bool hasGeneratedName() const { return m_generatedName; }
    QByteArray rateText() const { return m_rateText; }
    QByteArray viewType() const { return m_viewType; }
    // Bytes that reached the file.
    quint64 bytesWritten() const { return m_written; }
    bool isFileOpen() const { return m_fd >= 0; }
    // Every byte of a normally ended reply is on disk and the file is closed.
    bool isComplete() const { return m_complete; }
    // A write to the file failed; the transfer was ended as failed.
    bool writeFailed() const { return m_writeError != 0; }

    // Opens the file with its viewer: the Gopher+ view's viewer, the viewer
    // table's entry for the extension, or the desktop's application for it.
    // A picture without a viewer of its own opens in the picture window.
    void ViewFile();
    // The file is a picture (an image item or an image view) and neither the
    // Gopher+ view's record nor the viewer table names a program for it: the
    // program shows it itself, as soon as it is complete.
    bool showsAsPicture() const;

Q_SIGNALS:
    // The transfer is over and the file is complete under path().
    void fileComplete();

private:
    // The path to write to, chosen by name generation or the file dialog;
    // its file is created, with the file descriptor in m_fd.
    bool chooseAndCreate(const CBookmark &item, const FileKind &kind);
    // Opens what the bytes go to: a temporary file beside path, or path
    // itself when it is a device or a pipe.
    bool createFile(const QString &path);
    // Gives the complete file its name; false (and the write error set)
    // when it cannot have it.
    bool finishFile();
    // Removes what an unfinished transfer wrote and forgets its record.
    void abandonFile();
    // Whether a file or a download under way has the name.
    bool isNameTaken(const QString &path) const;
    // A free name in the directory from the prefix and the extension; empty
    // when none could be found.
    QString uniqueName(const QString &directory) const;
    // Where generated names go: the download directory, else the temporary one.
    QString autoDirectory() const;
    void closeFile();
    // Starts the viewer on the file (nothing when there is none).
    void runViewer(const QByteArray &program);
    // The extension the viewer table is asked about: after the first dot of
    // the file's name, in upper case; empty when the name has no dot.
    QByteArray viewerExtension() const;
    void reportCreateFailure(const QString &path, int error);
    // "Received N bytes", with the progress when it is known and wanted.
    QByteArray receivedText(bool withProgress) const;

    QString m_path;
    QByteArray m_partPath;
    QByteArray m_extension;
    QByteArray m_uniquePrefix;
    bool m_generatedName = false;
    int m_fd = -1;
    qint64 m_statusAt = -1;
    QElapsedTimer m_clock;
    QByteArray m_rateText;
    QByteArray m_viewType;
    quint64 m_written = 0;
    int m_writeError = 0;
    bool m_complete = false;
};
