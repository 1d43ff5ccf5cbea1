#include "gplus/askform.h"

#include "net/transaction.h"

#include <QFile>

#include <algorithm>

namespace {

const char *itemWord(int count)
{
    return count <= 1 ? "item" : "items";
}

} // namespace

AskForm::AskForm(const QList<QByteArray> &askLines)
{
    QList<QByteArray> notes;
    auto takeNotes = [&] {
        if (!notes.isEmpty())
            m_items.push_back(std::make_unique<CAINote>(notes));
        notes.clear();
    };
    for (const QByteArray &line : askLines) {
        const QByteArray keyword = CAskItem::lineKeyword(line);
        if (keyword == "note") {
            notes.append(line);
            continue;
        }
        takeNotes();
        if (keyword == "ask")
            m_items.push_back(std::make_unique<CAIAsk>(line));
        else if (keyword == "askp")
            m_items.push_back(std::make_unique<CAIAskP>(line));
        else if (keyword == "askl")
            m_items.push_back(std::make_unique<CAIAskL>(line));
        else if (keyword == "askf")
            m_items.push_back(std::make_unique<CAIAskF>(line));
        else if (keyword == "select")
            m_items.push_back(std::make_unique<CAISelect>(line));
        else if (keyword == "choose")
            m_items.push_back(std::make_unique<CAIChoose>(line));
        else if (keyword == "choosef")
            m_items.push_back(std::make_unique<CAIChooseF>(line));
        else if (std::any_of(keyword.cbegin(), keyword.cend(),
                             [](char c) { return c != ' ' && c != '\t'; })) {
            ++m_unknownCount;
            m_unknownLines += line + "\r\n";
        }
    }
    takeNotes();
}

AskForm::~AskForm() = default;

QList<CAskItem *> AskForm::answeringItems() const
{
    QList<CAskItem *> result;
    for (const auto &item : m_items) {
        if (item->kind() != CAskItem::Note)
            result.append(item.get());
    }
    return result;
}

QByteArray AskForm::statusText() const
{
    QByteArray text = "Found " + QByteArray::number(count()) + " ask " + itemWord(count());
    if (m_unknownCount > 0)
        text += " and " + QByteArray::number(m_unknownCount) + " unknown "
                + itemWord(m_unknownCount);
    return text;
}

QByteArray AskForm::unknownMessage() const
{
    if (m_unknownCount == 0)
        return {};
    return "Encountered the following unknown items:\r\n\r\n" + m_unknownLines;
}

QByteArray AskForm::replyLines() const
{
    QByteArray lines;
    for (const auto &item : m_items) {
        if (item->kind() == CAskItem::Note || item->kind() == CAskItem::ChooseF)
            continue;
        lines += item->GetReply() + "\r\n";
    }
    return lines;
}

CAIChooseF *AskForm::uploadItem() const
{
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if ((*it)->kind() == CAskItem::ChooseF)
            return static_cast<CAIChooseF *>(it->get());
    }
    return nullptr;
}

QByteArray AskForm::requestLine(const QByteArray &selector, char type)
{
    QByteArray line = selector;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // A selector that names a view already carries its marker.
    if (!line.contains('\t'))
        line += type == '1' ? "\t$" : "\t+";
    return line + "\t1\r\n";
}

QByteArray AskForm::dataBlock(const QByteArray &replyLines, Upload upload, qint64 fileSize)
{
    // In a block ended by a "." line, an answer "." (or a line of a
    // multi-line answer beginning with ".") goes with its dot doubled.
    bool atLineStart = true;
    switch (upload) {
    case NoUpload:
        return "+-1\r\n" + CTransaction::dotStuffed(replyLines, &atLineStart) + ".\r\n";
    case TextUpload:
        return "+-1\r\n" + CTransaction::dotStuffed(replyLines, &atLineStart);
    case BinaryUpload:
        return '+' + QByteArray::number(fileSize + replyLines.size()) + "\r\n" + replyLines;
    }
    return {};
}

bool AskForm::setAnswer(CAskItem *item, const QByteArray &answer, UserInterface *ui,
                        QByteArray *error)
{
    auto fail = [&](const QByteArray &why) {
        if (error)
            *error = why;
        return false;
    };
    switch (item->kind()) {
    case CAskItem::Note:
        return fail("a note takes no answer");
    case CAskItem::Ask:
    case CAskItem::AskP:
    case CAskItem::AskL:
    case CAskItem::AskF:
        static_cast<CAIAsk *>(item)->setText(answer);
        return true;
    case CAskItem::Select:
        if (answer != "1" && answer != "0")
            return fail("answer 1 or 0 to '" + item->prompt() + "'");
        static_cast<CAISelect *>(item)->setChecked(answer == "1");
        return true;
    case CAskItem::Choose: {
        auto *choose = static_cast<CAIChoose *>(item);
        const qsizetype index = choose->choices().indexOf(answer);
        if (index < 0 && choose->choices().isEmpty() && (answer.isEmpty() || answer == "<none>"))
            return true;
        if (index < 0)
            return fail("'" + answer + "' is not one of the choices of '" + item->prompt() + "'");
        choose->setSelected(int(index));
        return true;
    }
    case CAskItem::ChooseF:
        if (!static_cast<CAIChooseF *>(item)->SetFile(QFile::decodeName(answer), ui))
            return fail("the file for '" + item->prompt() + "' was refused");
        return true;
    }
    return fail("unknown item");
}
