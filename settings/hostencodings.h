#pragma once

#include "items/textencoding.h"

#include <QByteArray>
#include <QObject>

class ProfileFile;

// The encoding chosen for each host, kept in the settings file ("Encodings",
// one key per host). Every window of a host shows its bytes with the host's
// encoding and follows a change at once.
class HostEncodings : public QObject
{
    Q_OBJECT

public:
    explicit HostEncodings(ProfileFile &file, QObject *parent = nullptr);

    // The host as encodingChanged names it: "[::1]" in a menu line and "::1"
    // from a URL are the same host.
    static QByteArray hostKey(const QByteArray &host);

    // Read from the file at each call; Automatic for a host without a choice
    // or with a name this program does not know.
    TextEncoding encoding(const QByteArray &host) const;
    // Writes the choice (Automatic removes the host's key) and tells every
    // window; false when the file could not be written (nothing changes then).
    [[nodiscard]] bool setEncoding(const QByteArray &host, TextEncoding encoding);

Q_SIGNALS:
    void encodingChanged(const QByteArray &host, TextEncoding encoding);

private:
    ProfileFile &m_file;
};
