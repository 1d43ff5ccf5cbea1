#pragma once

#include <QByteArray>
#include <QDateTime>

// The certificate a TLS server showed, as far as the program looks at it.
struct PeerCertificate
{
    QByteArray fingerprint;  // SHA-256 of the DER form, "AB:CD:..." in upper case
    QDateTime notBefore;     // UTC
    QDateTime notAfter;      // UTC
    QByteArray subject;      // one line, as OpenSSL prints it
    // It verifies against the system's certificate authorities for the
    // name the connection was made to.
    bool verifiedForHost = false;
};

// A certificate remembered for a host and port: trust on first use.
struct KnownCertificate
{
    QByteArray fingerprint;
    QDateTime since;     // when it was first accepted (UTC)
    QDateTime notAfter;  // its end of validity as the server showed it
};

// How the last connection of a document went over the network: for the
// "Info on Item" window.
struct ConnectionInfo
{
    bool tls = false;
    QByteArray protocol;  // "TLSv1.3"
    QByteArray cipher;    // "TLS_AES_256_GCM_SHA384"
    PeerCertificate certificate;
    QDateTime trustedSince;  // invalid when the certificate is not remembered
    QByteArray proxy;        // "127.0.0.1:9050" when a SOCKS5 proxy carried it

    // "Key=value" lines, each ended by CR LF, as the item record writes them;
    // empty for a plain connection without a proxy.
    QByteArray infoText() const;
};
