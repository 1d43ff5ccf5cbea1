#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// Certificates made with openssl in a test's directory: EC keys, valid for 127.0.0.1 and localhost.
namespace TestCertificates {

struct Pair
{
    QString certificate;     // PEM
    QString key;             // PEM
    QByteArray fingerprint;  // SHA-256, "AB:CD:..." as openssl prints it
    QDateTime notBefore;     // UTC
    QDateTime notAfter;
};

std::optional<Pair> selfSigned(const QString &dir, const QString &name);
// A certificate authority, and a server certificate it signs.
std::optional<Pair> authority(const QString &dir, const QString &name);
std::optional<Pair> signedBy(const Pair &authority, const QString &dir, const QString &name);
// Why the last call gave none.
QString lastError();

} // namespace TestCertificates
