#include "documents/pagereader.h"

#include "documents/gopherdir.h"
#include "items/displaytext.h"

namespace {

// Box drawing, block elements, geometric shapes and Braille patterns: the
// characters pictures are drawn with (CP437 art decodes to the first two).
bool isDrawingCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x2500 && u <= 0x25FF) || (u >= 0x2800 && u <= 0x28FF);
}

// At least two lines make a picture: a single rule or a signature line is
// short enough to hear as it is.
constexpr int MinPictureLines = 2;

} // namespace

PageReader::PageReader(const CGopherDir &dir, TextEncoding encoding)
    : m_dir(dir), m_encoding(encoding)
{
}

bool PageReader::isArtLine(QStringView line)
{
    int shown = 0;
    int letters = 0;
    int drawing = 0;
    int repeated = 0;
    int words = 0;
    int singles = 0;
    int runLength = 0;
    int wordLength = 0;
    QChar previous;
    const auto endWord = [&] {
        if (wordLength > 0) {
            ++words;
            if (wordLength == 1)
                ++singles;
        }
        wordLength = 0;
    };
    const auto endRun = [&] {
        if (runLength >= 4)
            repeated += runLength;
        runLength = 0;
    };
    for (const QChar c : line) {
        if (c.isSpace()) {
            endWord();
            endRun();
            previous = QChar();
            continue;
        }
        ++shown;
        ++wordLength;
        if (c.isLetterOrNumber())
            ++letters;
        if (isDrawingCharacter(c))
            ++drawing;
        if (c == previous) {
            ++runLength;
        } else {
            endRun();
            runLength = 1;
        }
        previous = c;
    }
    endWord();
    endRun();
    if (shown == 0)
        return false;
    return drawing * 4 >= shown                          // drawn with box or block characters
           || letters * 2 < shown                        // mostly signs
           || (words >= 4 && singles * 4 >= words * 3)   // "T H E   T A R N"
           || repeated * 2 >= shown;                     // "MMMMM  MMMMM", "~~~~~~"
}

QString PageReader::pictureText(int lines)
{
    return QStringLiteral("Picture, %1 lines").arg(lines);
}

bool PageReader::isInfo(int row) const
{
    return row >= 0 && row < m_dir.listCount() && m_dir.listItem(row).type == 'i';
}

QString PageReader::lineText(int row) const
{
    return decodeText(m_dir.listTitle(row), m_encoding).trimmed();
}

PageReader::Block PageReader::blockAt(int row) const
{
    if (!isInfo(row))
        return {Block::Item, row, 1};
    const QString own = lineText(row);
    if (own.isEmpty())
        return {Block::Blank, row, 1};

    // The run of written info lines around the row, within its scan window.
    const int windowStart = row - row % ScanRows;
    const int windowEnd = qMin(m_dir.listCount(), windowStart + ScanRows);
    const auto written = [&](int r) { return isInfo(r) && !lineText(r).isEmpty(); };
    int first = row;
    while (first > windowStart && written(first - 1))
        --first;
    int end = row + 1;
    while (end < windowEnd && written(end))
        ++end;

    // Pictures are runs of drawn lines; the lines between them are text.
    int blockStart = first;
    while (blockStart < end) {
        int blockEnd = blockStart + 1;
        const bool art = isArtLine(lineText(blockStart));
        if (art) {
            while (blockEnd < end && isArtLine(lineText(blockEnd)))
                ++blockEnd;
        }
        const bool picture = art && blockEnd - blockStart >= MinPictureLines;
        if (!picture) {
            // Text runs until the next picture.
            while (blockEnd < end) {
                if (isArtLine(lineText(blockEnd)) && blockEnd + 1 < end
                    && isArtLine(lineText(blockEnd + 1)))
                    break;
                ++blockEnd;
            }
        }
        if (row < blockEnd) {
            if (picture)
                return {Block::Picture, blockStart, blockEnd - blockStart};
            // A plain menu lists its lines without the directories between
            // them, so only a page as authored reads its text as paragraphs.
            if (!m_dir.isAuthored())
                return {Block::Paragraph, row, 1};
            return {Block::Paragraph, blockStart, blockEnd - blockStart};
        }
        blockStart = blockEnd;
    }
    return {Block::Paragraph, row, 1};
}

QString PageReader::textOf(int row) const
{
    if (row < 0 || row >= m_dir.listCount())
        return {};
    const Block block = blockAt(row);
    switch (block.kind) {
    case Block::Item: {
        const CBookmark item = m_dir.listItem(row);
        return displayText(item.GetTypeName()) + QStringLiteral(": ")
               + decodeText(item.title, m_encoding);
    }
    case Block::Blank:
        return {};
    case Block::Picture:
        return row == block.first ? pictureText(block.count) : lineText(row);
    case Block::Paragraph:
        break;
    }
    if (row != block.first)
        return lineText(row);
    QStringList lines;
    for (int r = block.first; r < block.first + block.count; ++r)
        lines.append(lineText(r));
    return lines.join(QLatin1Char(' '));
}

int PageReader::nextBlock(int row) const
{
    const int count = m_dir.listCount();
    if (row < 0 || row >= count)
        return -1;
    Block block = blockAt(row);
    for (int next = block.first + block.count; next < count; next = block.first + block.count) {
        block = blockAt(next);
        if (block.kind != Block::Blank)
            return next;
    }
    return -1;
}

int PageReader::previousBlock(int row) const
{
    if (row < 0 || row >= m_dir.listCount())
        return -1;
    Block block = blockAt(row);
    if (row != block.first && block.kind != Block::Blank)
        return block.first;
    for (int before = block.first - 1; before >= 0; before = block.first - 1) {
        block = blockAt(before);
        if (block.kind != Block::Blank)
            return block.first;
    }
    return -1;
}
