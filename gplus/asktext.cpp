#include "gplus/asktext.h"

#include "documents/appcontext.h"
#include "documents/userinterface.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CAskText::CAskText(const AppContext &context, QObject *parent) : CTarnwickDoc(context, parent) {}

CAskText::~CAskText() = default;

bool CAskText::Fetch(const CBookmark &item)
{
    m_item.Assign(item);
    setTitle(m_item.title);
    // Ask lines from a Gopher+ menu need no request.
    if (!m_item.askLines.isEmpty()) {
        buildForm();
        return true;
    }
    m_savedSelector = m_item.selector;
    qsizetype end = 0;
    while (end < m_savedSelector.size() && m_savedSelector[end] != '\t'
           && m_savedSelector[end] != '\r' && m_savedSelector[end] != '\n')
        ++end;
    // With its views known, the item's other attributes are too: only the
    // ask block is wanted.
    m_item.selector = m_savedSelector.left(end)
                      + (m_item.viewLines.isEmpty() ? "\t!\r\n" : "\t!+ASK\r\n");
    SendRequest();
    SetStatus("Getting ask info ...");
    return true;
}

void CAskText::requestStarting()
{
    m_received.clear();
    m_truncated = false;
}

void CAskText::OnReceive()
{
    const qsizetype room = ReceivedLimit - 1 - m_received.size();
    const qsizetype take = qMin(room, pendingBytes());
    if (take > 0)
        m_received.append(receiveBuffer().first(take));
    if (take < pendingBytes()) {
        // Nothing more can be kept: the form is built from what came so far
        // rather than waiting for a server that may never stop.
        m_truncated = true;
        replyComplete();
    }
    clearReceived();
}

void CAskText::OnReceiveDone(int)
{
    if (!m_received.isEmpty())
        m_item.ParseAttributes(m_received);
    if (m_item.askLines.isEmpty()) {
        m_context.ui->messageBox("Failed to retrieve ask data");
        OnCloseDocument();
        return;
    }
    if (m_truncated) {
        setCutNotice("the ask form was cut at " + groupedNumber(ReceivedLimit - 1) + " bytes");
        m_context.ui->messageBox("The ask form was longer than "
                                 + QByteArray::number(ReceivedLimit - 1)
                                 + " bytes; only its first part is shown.");
    }
    buildForm();
    m_item.selector = m_savedSelector;
}

void CAskText::buildForm()
{
    m_form = std::make_unique<AskForm>(m_item.askLines);
    if (m_form->unknownCount() > 0)
        m_context.ui->messageBox(m_form->unknownMessage());
    SetStatus(m_form->statusText());
    Q_EMIT updateAllViews(FormBuilt);
}

void CAskText::chooseUploadFile()
{
    UserInterface::FileDialog dialog;
    dialog.save = false;
    dialog.title = QStringLiteral("Select a file for upload");
    dialog.filter = QStringLiteral("All files (*.*) | *.* ||");
    dialog.mustExist = true;
    const QString path = m_context.ui->fileDialog(dialog);
    if (path.isEmpty())
        return;
    if (::access(QFile::encodeName(path).constData(), R_OK) != 0) {
        m_context.ui->messageBox("The file " + QFile::encodeName(path)
                                     + " was not readable.  Please try again. ",
                                 UserInterface::Exclamation, UserInterface::OkCancel);
        return;
    }
    setUploadFile(path);
}

bool CAskText::setUploadFile(const QString &path)
{
    if (!m_form)
        return false;
    bool taken = true;
    for (int i = 0; i < m_form->count(); ++i) {
        if (m_form->item(i)->kind() == CAskItem::ChooseF)
            taken = static_cast<CAIChooseF *>(m_form->item(i))->SetFile(path, m_context.ui.get())
                    && taken;
    }
    Q_EMIT updateAllViews(UploadFileChosen);
    return taken;
}

QByteArray CAskText::answerRequest() const
{
    if (!m_form)
        return {};
    return AskForm::requestLine(m_item.selector, m_item.type)
           + AskForm::dataBlock(m_form->replyLines(), AskForm::NoUpload, 0);
}

bool CAskText::SubmitForm()
{
    // A form is sent once; a second press before its window went away
    // sends nothing.
    if (!m_form || isClosing())
        return false;
    const QByteArray lines = m_form->replyLines();
    const CAIChooseF *upload = m_form->uploadItem();

    int file = -1;
    qint64 size = 0;
    if (upload) {
        const QByteArray name = QFile::encodeName(upload->path());
        // Opened without blocking on a pipe; only a regular file has a size
        // to announce. The transaction reads it blocking, as files are read.
        file = name.isEmpty() ? -1
                              : ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat info;
        if (file >= 0 && (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(file);
            file = -1;
        }
        if (file >= 0)
            ::fcntl(file, F_SETFL, ::fcntl(file, F_GETFL) & ~O_NONBLOCK);
        if (file < 0) {
            m_context.ui->messageBox(name + "\nTarnwick could not open this file!");
            return false;
        }
        size = info.st_size;
    }

    AskForm::Upload mode = AskForm::NoUpload;
    if (upload && size > 0)
        mode = upload->isText() ? AskForm::TextUpload : AskForm::BinaryUpload;
    else if (upload && !upload->isText())
        mode = AskForm::BinaryUpload;
    // A text file that has become empty adds nothing but its "." line, which
    // is the form without an upload.

    CBookmark reply;
    reply.Assign(m_item);
    reply.selector = AskForm::requestLine(m_item.selector, m_item.type)
                     + AskForm::dataBlock(lines, mode, size);
    reply.SetAskForm(false);

    UploadRecord record;
    if (mode != AskForm::NoUpload && size > 0) {
        record.file = file;
        record.length = size;
        record.appendTerminator = mode == AskForm::TextUpload;
        file = -1;
    }
    if (file >= 0)
        ::close(file);
    if (record.file >= 0)
        m_context.app->OpenItem(reply, UploadOpen, reinterpret_cast<qintptr>(&record));
    else
        m_context.app->OpenItem(reply, 0, 0);
    // The record's file is the reply document's once it took it.
    if (record.file >= 0)
        ::close(record.file);
    OnCloseDocument();
    return true;
}
