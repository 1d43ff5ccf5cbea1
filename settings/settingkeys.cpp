#include "settings/settingkeys.h"

#include "settings/profilefile.h"

namespace {

QByteArray nameAt(const SettingKey &key, int n)
{
    QByteArray name(key.name);
    return name.replace("%d", QByteArray::number(n));
}

} // namespace

Setting::Setting(const SettingKey &key, int n)
    : m_key(key), m_section(key.section), m_name(nameAt(key, n))
{
}

Setting::Setting(const SettingKey &key, QByteArrayView section)
    : m_key(key), m_section(key.section ? QByteArray(key.section) : section.toByteArray()),
      m_name(nameAt(key, 0))
{
}

Setting Setting::named(const SettingKey &key, QByteArrayView name)
{
    Setting setting(key);
    setting.m_name = QByteArray(key.name).replace("%s", name);
    return setting;
}

bool Setting::flag(const ProfileFile &file) const
{
    return number(file) != 0;
}

int Setting::number(const ProfileFile &file) const
{
    return file.getInt(m_section, m_name, m_key.number);
}

QByteArray Setting::text(const ProfileFile &file) const
{
    return file.getString(m_section, m_name, m_key.text);
}

bool Setting::isSet(const ProfileFile &file) const
{
    return file.hasKey(m_section, m_name);
}

bool Setting::setFlag(ProfileFile &file, bool on) const
{
    return file.writeInt(m_section, m_name, on ? 1 : 0);
}

bool Setting::setNumber(ProfileFile &file, int value) const
{
    return file.writeInt(m_section, m_name, value);
}

bool Setting::setText(ProfileFile &file, QByteArrayView value) const
{
    return file.writeString(m_section, m_name, value);
}

bool Setting::remove(ProfileFile &file) const
{
    return file.deleteKey(m_section, m_name);
}
