#include "items/bookmark.h"

// Gopher+ attribute blocks: header lines start with "+", data lines belong to
// the block above them. Only whole lines count: text after the last line end
// is an unfinished line and is left out.
void CBookmark::ParseAttributes(QByteArrayView text)
{
    enum Block { OtherBlock, InfoBlock, AdminBlock, ViewsBlock, AbstractBlock, AskBlock };

    QByteArray display("Extended information:\r\n");
    Block block = OtherBlock;
    int dataLines = 0;

    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype end = text.indexOf(QByteArrayView("\r\n"), pos);
        if (end < 0)
            break;
        QByteArrayView line = text.sliced(pos, end - pos);
        pos = end + 2;
        while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n'))
            ++pos;

        if (line.isEmpty() || line == QByteArrayView("+-1"))
            continue;
        if (line == QByteArrayView("."))
            break;

        if (line.front() == '+') {
            // Servers decorate header lines ("+VIEWS:", "+ABSTRACT:"); any
            // line holding a block's name opens that block.
            if (line.contains(QByteArrayView("+INFO"))) {
                block = InfoBlock;
            } else if (line.contains(QByteArrayView("+ADMIN"))) {
                block = AdminBlock;
                display += "Administrative info:\r\n";
            } else if (line.contains(QByteArrayView("+VIEWS"))) {
                block = ViewsBlock;
                display += "Extended view info:\r\n";
            } else if (line.contains(QByteArrayView("+ABSTRACT"))) {
                block = AbstractBlock;
                display += "Abstract:\r\n";
            } else if (line.contains(QByteArrayView("+ASK"))) {
                block = AskBlock;
                display += "Ask info was found\r\n";
            } else {
                block = OtherBlock;
                display += line.toByteArray() + "\r\n";
            }
            continue;
        }

        ++dataLines;
        while (!line.isEmpty() && line.front() == ' ')
            line = line.sliced(1);
        switch (block) {
        case ViewsBlock:
            viewLines.append(line.toByteArray());
            display += line.toByteArray() + "\r\n";
            break;
        case AskBlock:
            askLines.append(line.toByteArray());
            break;
        default:
            display += line.toByteArray() + "\r\n";
            break;
        }
    }

    if (dataLines < 2)
        display = QByteArray("Extended information: <none>\r\n");
    attributeText = display;
}
