#include "tests/support/ports.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestPorts {
namespace {

// Binds a TCP socket to 127.0.0.1 on a port of the kernel's choosing; returns
// the descriptor (or -1) and sets port.
int bindLoopback(quint16 &port)
{
    port = 0;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// The same on ::1; -1 when the machine has no IPv6 loopback.
int bindLoopback6(quint16 &port)
{
    port = 0;
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_addr = in6addr_loopback;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin6_port);
    return fd;
}

} // namespace

quint16 freePort()
{
    quint16 port = 0;
    const int fd = bindLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

RefusingPort::RefusingPort(Family family)
{
    m_fd = family == IPv6 ? bindLoopback6(m_port) : bindLoopback(m_port);
}

RefusingPort::~RefusingPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace TestPorts
