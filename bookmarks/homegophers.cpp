#include "bookmarks/homegophers.h"

#include "settings/profilefile.h"
#include "settings/settingkeys.h"
#include "items/itemrecords.h"

namespace {

namespace Keys = SettingKeys;

constexpr int DefaultPort = 70;

QByteArray cleanHost(const QByteArray &host)
{
    return ItemRecords::FilterHostName(host.toLower());
}

} // namespace

HomeGophers::HomeGophers(ProfileFile &file)
    : m_file(file)
{
}

int HomeGophers::GetHomeCount() const
{
    return Setting(Keys::CountOfHomeGophers).number(m_file);
}

bool HomeGophers::SetHomeCount(int count)
{
    return Setting(Keys::CountOfHomeGophers).setNumber(m_file, count);
}

QByteArray HomeGophers::GetHomeServer(int n) const
{
    return Setting(Keys::HomeServer, n).text(m_file);
}

bool HomeGophers::SetHomeServer(int n, const QByteArray &host)
{
    if (host.isEmpty())
        return Setting(Keys::HomeServer, n).remove(m_file);
    return Setting(Keys::HomeServer, n).setText(m_file, host);
}

int HomeGophers::GetHomePort(int n) const
{
    return Setting(Keys::HomePort, n).number(m_file);
}

bool HomeGophers::SetHomePort(int n, int port)
{
    return Setting(Keys::HomePort, n).setNumber(m_file, port);
}

QByteArray HomeGophers::GetHomeSelector(int n) const
{
    return Setting(Keys::HomeSelector, n).text(m_file);
}

bool HomeGophers::SetHomeSelector(int n, const QByteArray &selector)
{
    return Setting(Keys::HomeSelector, n).setText(m_file, selector);
}

int HomeGophers::GetPlusServer(int n) const
{
    return Setting(Keys::PlusServer, n).number(m_file);
}

bool HomeGophers::SetPlusServer(int n, int plus)
{
    return Setting(Keys::PlusServer, n).setNumber(m_file, plus == 1 ? 1 : 0);
}

QByteArray HomeGophers::GetInitialMenu() const
{
    return Setting(Keys::InitialMenu).text(m_file);
}

bool HomeGophers::SetInitialMenu(const QByteArray &title)
{
    return Setting(Keys::InitialMenu).setText(m_file, title);
}

int HomeGophers::GetHomeType() const
{
    return Setting(Keys::HomeType).number(m_file);
}

bool HomeGophers::SetHomeType(int type)
{
    return Setting(Keys::HomeType).setNumber(m_file, type);
}

CBookmark HomeGophers::homeItem(int n) const
{
    // The one reading of "Home Port %d" for every connection to a home
    // gopher (the pick at start-up and the retry of the other server): the
    // number as written, and where TCP cannot name it (0, negative, above
    // 65535, as only an edit by hand can leave it) the default port, as for
    // a missing key, rather than the number cut to 16 bits, which would
    // reach some unrelated port.
    int port = GetHomePort(n);
    if (port < 1 || port > 65535)
        port = DefaultPort;
    CBookmark item('1', GetInitialMenu(), GetHomeSelector(n) + "\r\n", GetHomeServer(n), quint16(port));
    item.SetGopherPlus(GetPlusServer(n) != 0);
    return item;
}

int HomeGophers::pickServer(int count, const QDateTime &nowUtc)
{
    if (count <= 1)
        return 1;
    const QDateTime utc = nowUtc.toUTC();
    const QDate date = utc.date();
    const QTime time = utc.time();
    const int sum = time.second() + time.minute() + time.hour() + date.day() + (date.month() - 1)
        + (date.year() - 1900);
    // A clock before 1900 would make the sum negative.
    return ((sum % count) + count) % count + 1;
}

HomeGophers::DialogFields HomeGophers::dialogFields() const
{
    DialogFields fields;
    fields.host1 = GetHomeServer(1);
    fields.port1 = GetHomePort(1);
    fields.plus1 = GetPlusServer(1) != 0;
    fields.selector1 = GetHomeSelector(1);
    fields.initialMenu = GetInitialMenu();
    fields.host2 = GetHomeServer(2);
    fields.port2 = GetHomePort(2);
    fields.plus2 = GetPlusServer(2) != 0;
    fields.selector2 = GetHomeSelector(2);
    return fields;
}

bool HomeGophers::applyDialog(DialogFields f)
{
    f.host1 = cleanHost(f.host1);
    f.host2 = cleanHost(f.host2);
    int count = 2;
    if (f.host1.isEmpty() && f.host2.isEmpty()) {
        count = 0;
        f.port1 = f.port2 = 0;
        f.plus1 = f.plus2 = false;
        f.selector1.clear();
        f.selector2.clear();
    } else if (f.host1.isEmpty()) {
        f.host1 = f.host2;
        f.port1 = f.port2;
        f.plus1 = f.plus2;
        f.selector1 = f.selector2;
        f.host2.clear();
        f.port2 = 0;
        f.plus2 = false;
        f.selector2.clear();
        count = 1;
    } else if (f.host2.isEmpty()) {
        f.port2 = 0;
        f.plus2 = false;
        f.selector2.clear();
        count = 1;
    }
    if (f.port1 == 0)
        f.port1 = DefaultPort;
    if (f.port2 == 0)
        f.port2 = DefaultPort;

    // Both servers go to the file together: never a count that names a
    // server whose keys were not written.
    ProfileFile::Edit edit(m_file);
    return SetHomeServer(1, f.host1) && SetHomeServer(2, f.host2) && SetInitialMenu(f.initialMenu)
        && SetHomePort(1, f.port1) && SetHomePort(2, f.port2) && SetPlusServer(1, f.plus1 ? 1 : 0)
        && SetPlusServer(2, f.plus2 ? 1 : 0) && SetHomeCount(count) && SetHomeSelector(1, f.selector1)
        && SetHomeSelector(2, f.selector2) && edit.commit();
}

bool HomeGophers::applyPreferencesPage(QByteArray host, int port, bool plus, QByteArray selector,
                                       const QByteArray &initialMenu)
{
    host = cleanHost(host);
    int count = 1;
    if (host.isEmpty()) {
        port = 0;
        plus = false;
        selector.clear();
        count = 0;
    }
    if (port == 0)
        port = DefaultPort;
    ProfileFile::Edit edit(m_file);
    return SetHomeServer(1, host) && SetInitialMenu(initialMenu) && SetHomePort(1, port)
        && SetPlusServer(1, plus ? 1 : 0) && SetHomeCount(count) && SetHomeSelector(1, selector)
        && edit.commit();
}
