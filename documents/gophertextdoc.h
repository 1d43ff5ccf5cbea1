#pragma once

#include "documents/qtextdoc.h"
#include "documents/tarnwickdoc.h"

// A Gopher text item: the reply cut into lines as it arrives, with Save, Copy
// and Find on the whole text or on the part marked in the view.
class CGopherTextDoc : public CTarnwickDoc
{
    Q_OBJECT

public:
    enum Hint { TextChangedHint = 0, FoundHint = 2, CompleteHint = 3 };
    enum MarkMode { NoMark = 0, Marking = 1, Marked = 2 };

    explicit CGopherTextDoc(const AppContext &context, QObject *parent = nullptr);

    void DeleteContents() override;
    bool endsAtDotLine() const override { return true; }
    bool keepsReplyInMemory() const override { return true; }
    // A text cut at the line limit is fetched again, not shown cut from memory.
    bool replyWorthKeeping() const override { return !m_store.IsOverflow(); }
    void OnReceive() override;
    void OnReceiveDone(int status) override;
    void FindText(const QByteArray &text, bool down, bool matchCase, bool wholeWord) override;
    bool CanFindText() const override { return true; }
    bool OnUpdateFileSave() const override;
    void OnFileSave() override;
    bool OnUpdateEditCopy() const override { return OnUpdateFileSave(); }
    void OnEditCopy() override;
    bool OnUpdateReload() const override { return !hasLiveTransaction(); }

    // Writes the text (or the marked part) to a file; the status line and
    // message boxes tell how it went.
    bool saveTo(const QString &path);

    const CQTextDoc &store() const { return m_store; }

    // The mark, written by the text view.
    int markMode() const { return m_markMode; }
    void setMark(int mode, int startLine, int startColumn, int endLine, int endColumn);
    int markStartLine() const { return m_markStartLine; }
    int markStartColumn() const { return m_markStartColumn; }
    int markEndLine() const { return m_markEndLine; }
    int markEndColumn() const { return m_markEndColumn; }
    int findLine() const { return m_findLine; }

private:
    // The lines to save or copy: all of them, or the marked range cut at its
    // columns.
    template<typename Sink> void forEachOutputLine(Sink sink) const;

    CQTextDoc m_store;
    int m_markMode = NoMark;
    int m_markStartColumn = 0;
    int m_markStartLine = 0;
    int m_markEndColumn = 0;
    int m_markEndLine = 0;
    int m_findLine = 0;
};
