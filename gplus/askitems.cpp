#include "gplus/askitems.h"

#include "documents/userinterface.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The text before the first tab (all of it without one), and what follows.
std::pair<QByteArray, QByteArray> splitAtTab(QByteArrayView content)
{
    const qsizetype tab = content.indexOf('\t');
    if (tab < 0)
        return {content.toByteArray(), QByteArray()};
    return {content.first(tab).toByteArray(), content.sliced(tab + 1).toByteArray()};
}

} // namespace

CAskItem::~CAskItem() = default;

QByteArray CAskItem::keyword() const
{
    switch (kind()) {
    case Note: return "note";
    case Ask: return "ask";
    case AskP: return "askp";
    case AskL: return "askl";
    case AskF: return "askf";
    case Select: return "select";
    case Choose: return "choose";
    case ChooseF: return "choosef";
    }
    return {};
}

QByteArray CAskItem::lineKeyword(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    QByteArray keyword = (colon < 0 ? line : line.first(colon)).toByteArray();
    // Keywords match without regard to case, in plain ASCII.
    for (char &c : keyword) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return keyword;
}

QByteArray CAskItem::lineContent(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return {};
    QByteArrayView content = line.sliced(colon + 1);
    while (!content.isEmpty() && content.front() == ' ')
        content = content.sliced(1);
    return content.toByteArray();
}

CAINote::CAINote(const QList<QByteArray> &lines)
{
    for (const QByteArray &line : lines)
        m_lines.append(lineContent(line));
    if (!m_lines.isEmpty())
        m_prompt = m_lines.constFirst();
}

CAIAsk::CAIAsk(QByteArrayView line)
{
    std::tie(m_prompt, m_default) = splitAtTab(lineContent(line));
    m_text = m_default;
}

CAIAskP::CAIAskP(QByteArrayView line) : CAIAsk(line)
{
    m_text.clear();
}

CAIAskL::CAIAskL(QByteArrayView line) : CAIAsk(line)
{
    m_text.clear();
}

QByteArray CAIAskL::GetReply() const
{
    // The field's lines, whatever line ends the text came with; an empty
    // field is one empty line.
    QByteArray text = m_text;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    const QList<QByteArray> lines = text.split('\n');
    return QByteArray::number(lines.size()) + "\r\n" + lines.join("\r\n");
}

CAISelect::CAISelect(QByteArrayView line)
{
    const QByteArray content = lineContent(line);
    const qsizetype mark = content.indexOf(":\t");
    if (mark < 0) {
        m_prompt = content;
        m_default = "0";
    } else {
        m_prompt = content.first(mark);
        m_default = content.sliced(mark + 2);
    }
    m_checked = m_default == "1";
}

CAIChoose::CAIChoose(QByteArrayView line)
{
    const QByteArray content = lineContent(line);
    const qsizetype tab = content.indexOf('\t');
    if (tab < 0) {
        m_prompt = content;
        return;
    }
    m_prompt = content.first(tab);
    m_choices = content.sliced(tab + 1).split('\t');
    // A tab at the very end closes the last choice rather than opening an
    // empty one.
    if (m_choices.constLast().isEmpty())
        m_choices.removeLast();
    if (!m_choices.isEmpty())
        m_selected = 0;
}

QByteArray CAIChoose::GetReply() const
{
    if (m_selected < 0 || m_selected >= m_choices.size())
        return "<none>";
    return m_choices.at(m_selected);
}

void CAIChoose::setSelected(int index)
{
    m_selected = (index >= 0 && index < m_choices.size()) ? index : -1;
}

CAIChooseF::CAIChooseF(QByteArrayView line)
{
    m_prompt = splitAtTab(lineContent(line)).first;
}

QByteArray CAIChooseF::GetReply() const
{
    return QFile::encodeName(m_path);
}

CAIChooseF::Mode CAIChooseF::modeOf(QByteArrayView head)
{
    for (const char c : head) {
        const auto b = static_cast<unsigned char>(c);
        // Printable ASCII, and tab, line feed, vertical tab, form feed and
        // carriage return.
        const bool textByte = (b >= 0x20 && b <= 0x7E) || (b >= 0x09 && b <= 0x0D);
        if (!textByte)
            return Binary;
    }
    return Text;
}

bool CAIChooseF::SetFile(const QString &path, UserInterface *ui)
{
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    auto refuse = [&](const char *why) {
        if (ui)
            ui->messageBox("The file " + name + why, UserInterface::Exclamation,
                           UserInterface::OkCancel);
        m_path.clear();
        m_mode = NoMode;
        return false;
    };
    const char *const notReadable = " was not readable.  Please try again. ";

    // Without blocking on a pipe; only a regular file can be uploaded.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return refuse(notReadable);
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(notReadable);
    }
    char head[SniffBytes];
    qsizetype got = 0;
    bool readFailed = false;
    while (got < SniffBytes) {
        const ssize_t n = ::read(fd, head + got, size_t(SniffBytes - got));
        if (n < 0 && errno == EINTR)
            continue;
        readFailed = n < 0;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    if (readFailed && got == 0)
        return refuse(notReadable);
    if (got == 0)
        return refuse(" is empty!  Please try again. ");
    m_mode = modeOf(QByteArrayView(head, got));
    return true;
}
