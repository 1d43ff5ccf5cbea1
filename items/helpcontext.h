#pragma once

// The help topics a message box can point at (F1 in the box). The numbers are
// the topic numbers of the help file, so they never change.
enum class Help {
    None = 0,
    CreateSocket = 364,    // no socket could be made
    HostLookup = 365,      // the name server did not know the host
    LookupProblem = 366,   // the look-up answered without an address
    Connect = 367,         // the connection could not even be started
    ConnectError = 368,    // the server did not take the connection
    Send = 369,            // the request could not be sent
    GopherPlusError = 370, // the server answered with a Gopher+ error
    Clipboard = 371,       // the clipboard could not be used
    SocketStartup = 372,   // the network layer could not be started
    Tls = 373,             // no TLS connection, or TLS where plain Gopher was asked for
    CertificateChanged = 374, // a server shows another certificate than the one remembered
    Proxy = 375,           // the SOCKS5 proxy, and onion addresses without one
};
