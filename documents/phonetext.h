#pragma once

#include "documents/maxarray.h"
#include "documents/tarnwickdoc.h"

#include <QList>

// A CSO phone book: first the server's list of searchable fields, then the
// replies to the user's queries, one line per entry, persons set apart by a
// line holding a single space.
class CPhoneText : public CTarnwickDoc
{
    Q_OBJECT

public:
    enum Hint { NewLinesHint = 0, FoundHint = 2, CopyHint = 3, ClearedHint = 4 };
    // What every command block ends with, so the server closes the connection.
    static const QByteArray BlockEnd;
    static const QByteArray FieldsRequest;
    // The line between the entries of two persons.
    static const QByteArray Separator;
    // A server line longer than this is cut; the rest up to its line end is
    // dropped, so an endless line cannot eat the memory.
    static constexpr int MaxLineLength = 4096;
    // Lines one reply may add; a reply beyond that is cut off, and says so.
    static constexpr int MaxLines = 100000;

    explicit CPhoneText(const AppContext &context, QObject *parent = nullptr);

    void DeleteContents() override;
    bool Fetch(const CBookmark &item) override;
    void OnReceive() override;
    void OnReceiveDone(int status) override;
    void FindText(const QByteArray &text, bool down, bool matchCase, bool wholeWord) override;
    bool CanFindText() const override { return true; }
    bool OnUpdateEditCopy() const override;
    void OnEditCopy() override;
    bool OnUpdateReload() const override { return !hasLiveTransaction(); }
    bool OnUpdatePrint() const { return OnUpdateEditCopy(); }

    void SetQuery(const QByteArray &text) { m_query = text; }
    // Sends the query the user typed in the bytes the phone book's host is
    // read in, so that the server compares the characters the window shows.
    // False, after telling the user and sending nothing, when the encoding
    // has no byte for one of them: a '?' in its place would search for
    // something else.
    bool sendTypedQuery(const QString &text);
    QByteArray GetQuery() const { return m_query; }
    QByteArray GetLine(int index) const;
    void SendQuery();
    // count below 1 copies every line, otherwise the lines at the indices.
    void CopyLines(int count, const QList<int> &indices);

    bool fieldsMode() const { return m_fieldsMode; }
    int lineCount() const { return m_lineCount; }
    int highestResponse() const { return m_highestResponse; }
    // The reply's ":Ok." line has arrived (or the transfer has ended).
    bool isComplete() const { return m_done; }
    // The reply was cut at MaxLines.
    bool isCut() const { return m_cut; }
    int findLine() const { return m_findLine; }
    void setFindLine(int line) { m_findLine = line; }

private:
    void parseLine(const QByteArray &line);
    void appendLine(const QByteArray &text);
    void showReceived();

    bool m_fieldsMode = true;
    bool m_done = false;
    bool m_cut = false;
    // The rest of an over-long line is being skipped.
    bool m_skippingLine = false;
    QByteArray m_query;
    int m_lineCount = 0;
    CMaxArray m_lines;
    int m_highestResponse = 0;
    int m_findLine = 0;
};
