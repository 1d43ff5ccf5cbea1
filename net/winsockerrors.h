#pragma once

#include <QByteArray>

// Error codes are kept in the classic socket-interface numbering (10061 for a
// refused connection, 11001 for an unknown host, ...) so that users see the
// same texts on every platform.
namespace WinSock {
enum Code {
    NoError = 0,
    Interrupted = 10004,
    BadFile = 10009,
    Access = 10013,
    Fault = 10014,
    Invalid = 10022,
    TooManyFiles = 10024,
    WouldBlock = 10035,
    InProgress = 10036,
    Already = 10037,
    NotSocket = 10038,
    MessageSize = 10040,
    AddressInUse = 10048,
    AddressNotAvailable = 10049,
    NetworkDown = 10050,
    NetworkUnreachable = 10051,
    NetworkReset = 10052,
    ConnectionAborted = 10053,
    ConnectionReset = 10054,
    NoBuffers = 10055,
    IsConnected = 10056,
    NotConnected = 10057,
    Shutdown = 10058,
    TimedOut = 10060,
    ConnectionRefused = 10061,
    HostDown = 10064,
    HostUnreachable = 10065,
    HostNotFound = 11001,
    TryAgain = 11002,
    NoRecovery = 11003,
    NoData = 11004,
};
} // namespace WinSock

// The text shown for an error code, e.g. "[10061] Connection refused";
// "Unspecified WinSock error %d" for a code without a text.
QByteArray GetWinSockErrorText(int code);

// Maps an errno value of the socket calls to its classic code; an errno
// without a classic counterpart is returned as it is (it has no text).
int winSockErrorFromErrno(int errnoValue);
