#include "net/tlstransport.h"

#include "net/winsockerrors.h"

#include <QHostAddress>

#include <cerrno>
#include <climits>
#include <ctime>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

QDateTime fromAsn1(const ASN1_TIME *time)
{
    tm parts {};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime::fromSecsSinceEpoch(qint64(timegm(&parts)), Qt::UTC);
}

QByteArray hexPairs(const unsigned char *bytes, unsigned int length)
{
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(int(length) * 3);
    for (unsigned int i = 0; i < length; ++i) {
        if (i)
            text += ':';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

// What OpenSSL says when the bytes on a gophers:// connection are not TLS
// at all (a plain Gopher server answering the hello with a menu).
bool meansNotTls(unsigned long error)
{
    if (ERR_GET_LIB(error) != ERR_LIB_SSL)
        return false;
    switch (ERR_GET_REASON(error)) {
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
    case SSL_R_HTTP_REQUEST:
    case SSL_R_UNEXPECTED_EOF_WHILE_READING:
    case SSL_R_RECORD_LENGTH_MISMATCH:
    case SSL_R_UNKNOWN_PROTOCOL:
        return true;
    default:
        return false;
    }
}

} // namespace

TlsContext::TlsContext()
{
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        m_error = ERR_reason_error_string(ERR_get_error());
        return;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // Trust is decided after the handshake (first use, or the system's
    // authorities for a changed certificate), so the handshake itself does
    // not stop at an unknown issuer.
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(context);
    // Many Gopher servers close without a close_notify; the reply is framed
    // by Gopher's own rules, as over plain TCP.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    m_context = context;
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_context);
}

TlsTransport::TlsTransport(int socket, const TlsContext &context, const QByteArray &host,
                           quint16 port)
    : m_socket(socket), m_host(host), m_port(port)
{
    m_info.tls = true;
    if (!context.get()) {
        m_failure = TransactionFailure::tlsHandshake(host, port, context.error());
        return;
    }
    m_ssl = SSL_new(context.get());
    if (!m_ssl) {
        m_failure = TransactionFailure::tlsHandshake(host, port,
                                                     ERR_reason_error_string(ERR_get_error()));
        return;
    }
    SSL_set_fd(m_ssl, socket);
    // Records are read as far as the socket has them, not header and body
    // apart: half the system calls on a large download.
    SSL_set_read_ahead(m_ssl, 1);
    QByteArray name = host;
    if (name.startsWith('[') && name.endsWith(']'))
        name = name.sliced(1, name.size() - 2);
    QHostAddress address;
    if (address.setAddress(QString::fromLatin1(name))) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), name.constData());
    } else {
        SSL_set_tlsext_host_name(m_ssl, name.constData());
        SSL_set1_host(m_ssl, name.constData());
    }
}

TlsTransport::~TlsTransport()
{
    SSL_free(m_ssl);
}

int TlsTransport::classify(int result, bool handshake)
{
    const int kind = SSL_get_error(m_ssl, result);
    const int savedErrno = errno;
    m_wantsRead = false;
    m_wantsWrite = false;
    switch (kind) {
    case SSL_ERROR_WANT_READ:
        m_wantsRead = true;
        return WinSock::WouldBlock;
    case SSL_ERROR_WANT_WRITE:
        m_wantsWrite = true;
        return WinSock::WouldBlock;
    case SSL_ERROR_ZERO_RETURN:
        if (handshake)
            m_failure = TransactionFailure::notTls(m_host, m_port);
        return handshake ? int(WinSock::ConnectionAborted) : 0;
    case SSL_ERROR_SYSCALL: {
        const unsigned long queued = ERR_peek_error();
        if (queued == 0 && savedErrno == 0) {
            // The peer closed the connection.
            if (handshake)
                m_failure = TransactionFailure::notTls(m_host, m_port);
            return handshake ? int(WinSock::ConnectionAborted) : 0;
        }
        const int code = winSockErrorFromErrno(savedErrno != 0 ? savedErrno : EPROTO);
        if (handshake)
            m_failure = TransactionFailure::tlsHandshake(m_host, m_port, GetWinSockErrorText(code));
        return code;
    }
    default: {
        const unsigned long error = ERR_get_error();
        if (!handshake && ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
            return 0;
        if (handshake && meansNotTls(error)) {
            m_failure = TransactionFailure::notTls(m_host, m_port);
        } else {
            const char *reason = ERR_reason_error_string(error);
            m_failure = TransactionFailure::tlsHandshake(
                m_host, m_port, reason ? QByteArray(reason) : QByteArray("TLS error"));
            if (!handshake)
                m_failure->status.replace("TLS handshake with", "TLS connection to");
        }
        return WinSock::ConnectionAborted;
    }
    }
}

Transport::Step TlsTransport::open()
{
    if (!m_ssl)
        return Step::Failed;
    if (m_handshakeDone)
        return Step::Done;
    ERR_clear_error();
    const int result = SSL_connect(m_ssl);
    if (result == 1) {
        m_handshakeDone = true;
        takeCertificate();
        return Step::Done;
    }
    const int code = classify(result, true);
    if (code == WinSock::WouldBlock)
        return m_wantsRead ? Step::WantRead : Step::WantWrite;
    if (!m_failure)
        m_failure = TransactionFailure::notTls(m_host, m_port);
    return Step::Failed;
}

void TlsTransport::takeCertificate()
{
    m_info.protocol = SSL_get_version(m_ssl);
    m_info.cipher = SSL_get_cipher_name(m_ssl);
    X509 *certificate = SSL_get1_peer_certificate(m_ssl);
    if (!certificate)
        return;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) == 1)
        m_info.certificate.fingerprint = hexPairs(digest, length);
    m_info.certificate.notBefore = fromAsn1(X509_get0_notBefore(certificate));
    m_info.certificate.notAfter = fromAsn1(X509_get0_notAfter(certificate));
    char subject[512];
    if (X509_NAME_oneline(X509_get_subject_name(certificate), subject, sizeof subject))
        m_info.certificate.subject = subject;
    m_info.certificate.verifiedForHost = SSL_get_verify_result(m_ssl) == X509_V_OK;
    X509_free(certificate);
}

qint64 TlsTransport::send(const char *data, qint64 length, int *error)
{
    ERR_clear_error();
    const int result = SSL_write(m_ssl, data, int(qMin<qint64>(length, INT_MAX)));
    if (result > 0)
        return result;
    const int code = classify(result, false);
    *error = code == 0 ? int(WinSock::ConnectionReset) : code;
    return -1;
}

qint64 TlsTransport::receive(char *data, qint64 length, int *error)
{
    if (m_deferred) {
        const int code = *m_deferred;
        m_deferred.reset();
        if (code == 0)
            return 0;
        *error = code;
        return -1;
    }
    // As much as the buffer holds: a record is at most 16 KiB, and one
    // socket event may bring many.
    qint64 total = 0;
    while (total < length) {
        ERR_clear_error();
        const int result = SSL_read(m_ssl, data + total, int(qMin<qint64>(length - total, INT_MAX)));
        if (result > 0) {
            total += result;
            continue;
        }
        const int code = classify(result, false);
        if (code == WinSock::WouldBlock && total > 0)
            break;
        if (total > 0) {
            m_deferred = code;
            break;
        }
        if (code == 0)
            return 0;
        *error = code;
        return -1;
    }
    return total;
}

bool TlsTransport::hasPendingData() const
{
    return m_deferred.has_value() || (m_ssl && SSL_has_pending(m_ssl));
}
