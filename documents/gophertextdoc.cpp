#include "documents/gophertextdoc.h"

#include "settings/appsettings.h"
#include "documents/boolsearch.h"
#include "documents/shortfilename.h"
#include "documents/userinterface.h"

#include <QFile>

CGopherTextDoc::CGopherTextDoc(const AppContext &context, QObject *parent)
    : CTarnwickDoc(context, parent), m_store(context.ui.get())
{
}

void CGopherTextDoc::DeleteContents()
{
    m_markMode = NoMark;
    m_findLine = 0;
    m_store.Reset();
    Q_EMIT updateAllViews(TextChangedHint);
}

void CGopherTextDoc::OnReceive()
{
    // In a reply framed by its size or by the close, a "." line is text.
    m_store.setEndsAtDotLine(dotLineEndsReply());
    m_store.AddText(receiveBuffer());
    clearReceived();
    if (m_store.IsEnded() || m_store.IsOverflow()) {
        // The "." line has come, or the store is full: nothing more of the
        // reply is wanted.
        m_store.Finish();
        replyComplete();
    }
    QByteArray status = QByteArray("Received ") + QByteArray::number(m_store.GetLineCount())
                        + " lines";
    if (!progressText().isEmpty())
        status += ", " + progressText();
    SetStatus(status);
    Q_EMIT updateAllViews(TextChangedHint);
}

void CGopherTextDoc::OnReceiveDone(int status)
{
    // Finish first: a last line without its line end is stored and counted.
    m_store.Finish();
    QByteArray message;
    const QByteArray received = QByteArray("Received ") + QByteArray::number(m_store.GetLineCount())
                                + " lines";
    if (m_store.IsOverflow()) {
        // The store told the user when it filled up; the status must not
        // call the rest of the text done.
        const QByteArray limit = groupedNumber(CQTextDoc::MaxLines);
        message = received + " ... stopped at the limit of " + limit + " lines";
        setCutNotice("the text was cut at " + limit + " lines");
    } else if (status == -1) {
        message = "Transfer stopped";
    } else {
        message = received + (status == 0 ? " ... done" : " ... transfer failed");
    }
    Q_EMIT updateAllViews(CompleteHint);
    SetStatus(message);
}

void CGopherTextDoc::setMark(int mode, int startLine, int startColumn, int endLine, int endColumn)
{
    m_markMode = mode;
    m_markStartLine = startLine;
    m_markStartColumn = startColumn;
    m_markEndLine = endLine;
    m_markEndColumn = endColumn;
}

bool CGopherTextDoc::OnUpdateFileSave() const
{
    if (m_markMode == Marked)
        return true;
    if (m_markMode == Marking)
        return false;
    return isDone();
}

template<typename Sink> void CGopherTextDoc::forEachOutputLine(Sink sink) const
{
    if (m_markMode != Marked) {
        const int count = m_store.GetLineCount();
        for (int i = 0; i < count; ++i) {
            if (!sink(i, m_store.GetLine(i)))
                return;
        }
        return;
    }
    for (int i = m_markStartLine; i <= m_markEndLine; ++i) {
        QByteArray line = m_store.GetLine(i);
        if (i == m_markStartLine && i == m_markEndLine) {
            line = line.mid(m_markStartColumn, qMax(0, m_markEndColumn - m_markStartColumn));
        } else if (i == m_markStartLine) {
            line = line.mid(m_markStartColumn);
        } else if (i == m_markEndLine) {
            line = line.left(m_markEndColumn);
        }
        if (!sink(i - m_markStartLine, line))
            return;
    }
}

void CGopherTextDoc::OnFileSave()
{
    UserInterface::FileDialog dialog;
    dialog.save = true;
    dialog.defaultExtension = QStringLiteral("txt");
    dialog.initialName = QString::fromUtf8(MakeShortFileName(m_item.title) + ".txt");
    dialog.hideReadOnly = true;
    dialog.promptOverwrite = true;
    dialog.filter = QStringLiteral("Text files (*.txt)|*.txt|All Files (*.*)|*.*||");
    dialog.title = QStringLiteral("Save Gopher Text File As");
    dialog.initialDirectory = m_context.app->settings().downloadDirectory();
    const QString path = m_context.ui->fileDialog(dialog);
    if (path.isEmpty())
        return;
    saveTo(path);
}

bool CGopherTextDoc::saveTo(const QString &path)
{
    const QByteArray pathBytes = path.toUtf8();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_context.ui->messageBox(QByteArray("Failed to create text file\n") + pathBytes);
        return false;
    }
    SetStatus(QByteArray("Saving ") + shownBytes(m_item.title));
    bool ok = true;
    int written = 0;
    forEachOutputLine([&](int, const QByteArray &line) {
        // Lines end as text files do on this platform.
        if (file.write(line) != line.size() || file.write("\n", 1) != 1) {
            ok = false;
            m_context.ui->messageBox(QByteArray("Error writing text file\n") + pathBytes);
            SetStatus(QByteArray("Write to file failed"));
            return false;
        }
        ++written;
        if (written % 100 == 0)
            SetStatus(QByteArray("Saved ") + QByteArray::number(written) + " lines");
        return true;
    });
    if (ok && !file.flush()) {
        ok = false;
        m_context.ui->messageBox(QByteArray("Error writing text file\n") + pathBytes);
        SetStatus(QByteArray("Write to file failed"));
    }
    file.close();
    if (ok)
        SetStatus(QByteArray("Saved '") + shownBytes(m_item.title) + "' in " + pathBytes
                  + " ... done");
    return ok;
}

void CGopherTextDoc::OnEditCopy()
{
    if (!BeginCopy())
        return;
    forEachOutputLine([&](int, const QByteArray &line) {
        AddCopyLine(line + "\r\n");
        return true;
    });
    EndCopy();
}

void CGopherTextDoc::FindText(const QByteArray &text, bool down, bool matchCase, bool)
{
    const int count = m_store.GetLineCount();
    int lowerBound = m_markMode != NoMark ? m_markStartLine : 0;
    if (!down)
        lowerBound = 0;
    int offset = m_markMode != NoMark ? m_markStartColumn : 0;

    CBoolSearch search(m_context.ui.get());
    search.SetMatchCase(matchCase);
    // The pattern is looked for as the window shows the host's bytes.
    search.SetEncoding(displayEncoding());
    if (!search.SetPattern(text))
        return;

    int line;
    if (m_markMode == Marked) {
        line = m_markStartLine;
        m_findLine = line;
    } else {
        line = m_findLine;
        if (line >= count)
            line = lowerBound;
        if (line < lowerBound)
            line = count - 1;
    }
    if (m_markMode == Marked && down && m_markStartLine == m_markEndLine) {
        const QByteArray marked = m_store.GetLine(m_markStartLine)
                                      .mid(m_markStartColumn, m_markEndColumn - m_markStartColumn);
        if (search.Match(marked))
            offset += int(marked.size());
        else if (text.contains(" ADJ "))
            offset = m_markEndColumn;
    }
    while (line >= lowerBound && line < count) {
        QByteArray candidate = m_store.GetLine(line);
        if (offset != 0)
            candidate = down ? candidate.mid(offset) : candidate.left(offset);
        if (search.Match(candidate)) {
            const int start = search.GetMatchStart() + (down ? offset : 0);
            const int end = start + (search.GetMatchEnd() - search.GetMatchStart());
            m_findLine = line;
            Q_EMIT updateAllViews(FoundHint, line, start, end);
            return;
        }
        offset = 0;
        line += down ? 1 : -1;
    }
    m_context.ui->messageBox(QByteArray("Text not found"));
}
