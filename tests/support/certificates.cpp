#include "tests/support/certificates.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace TestCertificates {

namespace {

QString &errorText()
{
    static QString text;
    return text;
}

bool openssl(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        errorText() = QStringLiteral("openssl ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
                      + QString::fromLocal8Bit(process.readAll()) + process.errorString();
        return false;
    }
    return true;
}

std::optional<QByteArray> fingerprintOf(const QString &certificate)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), {QStringLiteral("x509"), QStringLiteral("-noout"),
                                              QStringLiteral("-fingerprint"), QStringLiteral("-sha256"),
                                              QStringLiteral("-in"), certificate});
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        errorText() = QStringLiteral("openssl x509 -fingerprint failed on ") + certificate;
        return std::nullopt;
    }
    const QByteArray line = process.readAllStandardOutput().trimmed();
    return line.mid(line.indexOf('=') + 1).toUpper();
}

QStringList newKey(const QString &key)
{
    return {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
            QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
            key, QStringLiteral("-days"), QStringLiteral("30")};
}

const QString ServerNames = QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost");

// "notBefore=Dec  7 18:41:36 2026 GMT"
QDateTime dateOf(const QByteArray &output, const QByteArray &name)
{
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith(QByteArray(name + '='))) {
            QDateTime when = QDateTime::fromString(QString::fromLatin1(line.mid(name.size() + 1).simplified()),
                                                   QStringLiteral("MMM d HH:mm:ss yyyy 'GMT'"));
            when.setTimeSpec(Qt::UTC);
            return when;
        }
    }
    return {};
}

std::optional<Pair> finish(const QString &certificate, const QString &key)
{
    const std::optional<QByteArray> fingerprint = fingerprintOf(certificate);
    if (!fingerprint)
        return std::nullopt;
    QProcess process;
    process.start(QStringLiteral("openssl"), {QStringLiteral("x509"), QStringLiteral("-noout"),
                                              QStringLiteral("-dates"), QStringLiteral("-in"), certificate});
    process.waitForFinished(30000);
    const QByteArray dates = process.readAllStandardOutput();
    return Pair{certificate, key, *fingerprint, dateOf(dates, "notBefore"), dateOf(dates, "notAfter")};
}

} // namespace

QString lastError()
{
    return errorText();
}

std::optional<Pair> selfSigned(const QString &dir, const QString &name)
{
    const QString certificate = QDir(dir).filePath(name + QStringLiteral(".pem"));
    const QString key = QDir(dir).filePath(name + QStringLiteral(".key"));
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey(key)
                 + QStringList{QStringLiteral("-out"), certificate, QStringLiteral("-subj"),
                               QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"), ServerNames}))
        return std::nullopt;
    return finish(certificate, key);
}

std::optional<Pair> authority(const QString &dir, const QString &name)
{
    const QString certificate = QDir(dir).filePath(name + QStringLiteral(".pem"));
    const QString key = QDir(dir).filePath(name + QStringLiteral(".key"));
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + newKey(key)
                 + QStringList{QStringLiteral("-out"), certificate, QStringLiteral("-subj"),
                               QStringLiteral("/CN=Tarnwick Test Authority"), QStringLiteral("-addext"),
                               QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                               QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")}))
        return std::nullopt;
    return finish(certificate, key);
}

std::optional<Pair> signedBy(const Pair &ca, const QString &dir, const QString &name)
{
    const QDir d(dir);
    const QString certificate = d.filePath(name + QStringLiteral(".pem"));
    const QString key = d.filePath(name + QStringLiteral(".key"));
    const QString request = d.filePath(name + QStringLiteral(".csr"));
    const QString extensions = d.filePath(name + QStringLiteral(".ext"));
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly) || ext.write(ServerNames.toLatin1() + '\n') < 0) {
        errorText() = QStringLiteral("cannot write ") + extensions;
        return std::nullopt;
    }
    ext.close();
    if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-new")} + newKey(key)
                 + QStringList{QStringLiteral("-out"), request, QStringLiteral("-subj"),
                               QStringLiteral("/CN=127.0.0.1")})
        || !openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request,
                     QStringLiteral("-CA"), ca.certificate, QStringLiteral("-CAkey"), ca.key,
                     QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), certificate,
                     QStringLiteral("-days"), QStringLiteral("30"), QStringLiteral("-extfile"), extensions}))
        return std::nullopt;
    return finish(certificate, key);
}

} // namespace TestCertificates
