#include "settings/hostencodings.h"

#include "settings/profilefile.h"
#include "settings/settingkeys.h"

// A key name cannot begin with "[".
QByteArray HostEncodings::hostKey(const QByteArray &host)
{
    if (host.size() > 2 && host.startsWith('[') && host.endsWith(']'))
        return host.sliced(1, host.size() - 2);
    return host;
}

HostEncodings::HostEncodings(ProfileFile &file, QObject *parent) : QObject(parent), m_file(file)
{
}

TextEncoding HostEncodings::encoding(const QByteArray &host) const
{
    const QByteArray key = hostKey(host);
    if (key.isEmpty())
        return TextEncoding::Automatic;
    const QByteArray name = Setting::named(SettingKeys::HostEncoding, key).text(m_file);
    return encodingFromName(name).value_or(TextEncoding::Automatic);
}

bool HostEncodings::setEncoding(const QByteArray &host, TextEncoding encoding)
{
    const QByteArray key = hostKey(host);
    if (key.isEmpty())
        return false;
    const Setting setting = Setting::named(SettingKeys::HostEncoding, key);
    ProfileFile::Edit edit(m_file);
    const bool written = encoding == TextEncoding::Automatic
                             ? setting.remove(m_file)
                             : setting.setText(m_file, encodingName(encoding));
    if (!written || !edit.commit())
        return false;
    Q_EMIT encodingChanged(key, encoding);
    return true;
}
