#pragma once

#include "gplus/askitems.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <vector>

// The questions of a "+ASK" block in line order, and the reply the form
// sends. The form window and the headless mode fill in the same items.
class AskForm
{
public:
    enum Upload { NoUpload, TextUpload, BinaryUpload };

    // Builds the items: consecutive notes become one item; lines with a
    // keyword no item has are kept aside (blank keywords are ignored).
    explicit AskForm(const QList<QByteArray> &askLines);
    ~AskForm();
    AskForm(const AskForm &) = delete;
    AskForm &operator=(const AskForm &) = delete;

    int count() const { return int(m_items.size()); }
    CAskItem *item(int index) const { return m_items.at(size_t(index)).get(); }
    // The items that are answered (all but the notes), in form order.
    QList<CAskItem *> answeringItems() const;

    // Lines of an unknown kind, each followed by CR LF, and their count.
    const QByteArray &unknownLines() const { return m_unknownLines; }
    int unknownCount() const { return m_unknownCount; }
    // "Found 3 ask items" or "Found 1 ask item and 2 unknown items".
    QByteArray statusText() const;
    // The message that lists the unknown lines; empty when there are none.
    QByteArray unknownMessage() const;

    // The answers: each item's reply and CR LF, notes and file choosers left
    // out.
    QByteArray replyLines() const;
    // The last file chooser of the form: its file is the one uploaded.
    CAIChooseF *uploadItem() const;

    // The request line that sends the answers for an item with this
    // selector: without its line end, a Gopher+ marker when it has none
    // ("\t$" for a directory), then "\t1" and CR LF.
    static QByteArray requestLine(const QByteArray &selector, char type);
    // The data block after the request line: "+-1", the answers (a line
    // beginning with "." sent with the dot doubled) and a "." line; for a
    // text upload the same without the "." (it follows the file, whose lines
    // are sent the same way); for a binary upload a byte count of answers
    // and file, sent as they are.
    static QByteArray dataBlock(const QByteArray &replyLines, Upload upload, qint64 fileSize);

    // Answers an item from text, as a script gives it: the field's text; "1"
    // or "0" for a check box; one of the choices' texts; a file's path (the
    // file is taken as if picked by the user). False with the reason in
    // error when the text does not fit the item.
    static bool setAnswer(CAskItem *item, const QByteArray &answer, UserInterface *ui,
                          QByteArray *error);

private:
    std::vector<std::unique_ptr<CAskItem>> m_items;
    QByteArray m_unknownLines;
    int m_unknownCount = 0;
};
