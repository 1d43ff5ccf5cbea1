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

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

// openssl's standard output, or none when it failed.
std::optional<QByteArray> openssl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        errorText() = QStringLiteral("openssl ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
                      + QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

const QString ServerNames = QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost");

// A new key DIR/NAME.key, "openssl req" with request to DIR/NAME.pem, or with
// sign given to DIR/NAME.csr, which "openssl x509" then signs to DIR/NAME.pem.
std::optional<Pair> make(const QString &dir, const QString &name, const QStringList &request,
                         const QStringList &sign = {})
{
    const QString base = QDir(dir).filePath(name);
    Pair made{base + QStringLiteral(".pem"), base + QStringLiteral(".key"), {}, {}, {}};
    const QString requested = sign.isEmpty() ? made.certificate : base + QStringLiteral(".csr");
    if (!openssl(words("req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 -keyout")
                 << made.key << request << QStringLiteral("-out") << requested)
        || (!sign.isEmpty() && !openssl(QStringList(sign) << QStringLiteral("-in") << requested << QStringLiteral("-out")
                                             << made.certificate)))
        return std::nullopt;
    const auto out = openssl(words("x509 -noout -fingerprint -sha256 -dates -in") << made.certificate);
    if (!out)
        return std::nullopt;
    // "sha256 Fingerprint=AB:...", "notBefore=Dec  7 18:41:36 2026 GMT", "notAfter=..."
    for (const QByteArray &line : out->split('\n')) {
        const QByteArray key = line.left(line.indexOf('=')), value = line.mid(key.size() + 1);
        QDateTime when = QDateTime::fromString(QString::fromLatin1(value.simplified()),
                                               QStringLiteral("MMM d HH:mm:ss yyyy 'GMT'"));
        when.setTimeSpec(Qt::UTC);
        if (key.endsWith("Fingerprint"))
            made.fingerprint = value.toUpper();
        else if (key == "notBefore")
            made.notBefore = when;
        else if (key == "notAfter")
            made.notAfter = when;
    }
    return made;
}

} // namespace

QString lastError()
{
    return errorText();
}

std::optional<Pair> selfSigned(const QString &dir, const QString &name)
{
    return make(dir, name, words("-x509 -subj /CN=127.0.0.1 -addext") << ServerNames);
}

std::optional<Pair> authority(const QString &dir, const QString &name)
{
    return make(dir, name, words("-x509 -subj /CN=Tarnwick-Test-Authority -addext basicConstraints=critical,CA:TRUE "
                                 "-addext keyUsage=critical,keyCertSign,cRLSign"));
}

std::optional<Pair> signedBy(const Pair &ca, const QString &dir, const QString &name)
{
    QFile ext(QDir(dir).filePath(name + QStringLiteral(".ext")));
    if (!ext.open(QIODevice::WriteOnly) || ext.write(ServerNames.toLatin1() + '\n') < 0) {
        errorText() = QStringLiteral("cannot write ") + ext.fileName();
        return std::nullopt;
    }
    ext.close();
    return make(dir, name, words("-new -subj /CN=127.0.0.1"),
                words("x509 -req -CAcreateserial -days 30 -CA") << ca.certificate << QStringLiteral("-CAkey")
                    << ca.key << QStringLiteral("-extfile") << ext.fileName());
}

} // namespace TestCertificates
