#pragma once

#include <QtGlobal>

// Loopback ports for tests, in one place.
namespace TestPorts {

// A port the kernel just handed out for a socket bound to 127.0.0.1:0. It is
// free again once that socket is closed, so a server started right after
// almost always gets it; callers that start a server retry when it does not.
// Never use it as "a port that refuses": use RefusingPort for that.
quint16 freePort();

// A loopback port that refuses every connection for as long as the object
// lives: a socket bound to it without listen() holds the port, so no other
// process can take it, and the kernel answers a connect with a reset.
class RefusingPort
{
public:
    enum Family { IPv4, IPv6 };
    // On 127.0.0.1, or on ::1 (port() 0 when the machine has no IPv6 loopback).
    explicit RefusingPort(Family family = IPv4);
    ~RefusingPort();
    RefusingPort(const RefusingPort &) = delete;
    RefusingPort &operator=(const RefusingPort &) = delete;

    // 0 when no socket could be bound.
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

} // namespace TestPorts
