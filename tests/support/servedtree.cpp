#include "tests/support/servedtree.h"

#include <utility>

bool ServedTree::start()
{
    if (!m_root.isValid())
        return false;
    const QList<std::pair<QString, QByteArray>> files{
        {QStringLiteral("hello.txt"), QByteArray("Hello\nWorld\n")},
        {QStringLiteral("tabs.txt"), QByteArray("a\tb\\c\n..two dots\n")},
        {QStringLiteral("data.bin"), QByteArray("\x00\x01\x02", 3)},
        {QStringLiteral("docs/inner.txt"), QByteArray("inner\n")},
        {QStringLiteral("more/other.txt"), QByteArray("other\n")},
    };
    if (!TestServer::writeServedTree(m_root.path(), files))
        return false;
    m_gophernicus = TestServer::gophernicus(m_root.path());
    if (!m_gophernicus)
        return false;
    m_pygopherd = TestServer::pygopherd(m_root.path());
    return m_pygopherd != nullptr;
}

void ServedTree::stop()
{
    m_gophernicus.reset();
    m_pygopherd.reset();
}
