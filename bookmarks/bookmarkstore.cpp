#include "bookmarks/bookmarkstore.h"

#include "documents/userinterface.h"

#include <algorithm>
#include <iterator>

namespace {

QByteArray key(const char *name, int i)
{
    return name + QByteArray::number(i);
}

class WaitCursor
{
public:
    explicit WaitCursor(UserInterface *ui) : m_ui(ui)
    {
        if (m_ui)
            m_ui->setWaitCursor(true);
    }
    ~WaitCursor()
    {
        if (m_ui)
            m_ui->setWaitCursor(false);
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    UserInterface *m_ui;
};

} // namespace

BookmarkEditorLink::~BookmarkEditorLink() = default;

CBookmarkStore::CBookmarkStore(ProfileFile &file, UserInterface *ui, QObject *parent)
    : QObject(parent), m_file(file), m_ui(ui)
{
    readCategories();
    convertOldBookmarks();
    GetDefaultCategory();
}

CBookmarkStore::~CBookmarkStore()
{
    if (m_editor)
        m_editor->closeEditor();
}

void CBookmarkStore::readCategories()
{
    m_categories.clear();
    for (int i = 0;; ++i) {
        const QByteArray name = m_file.getString(CategoriesSection, key("Category", i));
        if (name.isEmpty())
            break;
        m_categories.append(name);
    }
}

void CBookmarkStore::message(const QByteArray &text)
{
    if (m_ui)
        m_ui->messageBox(text, UserInterface::Exclamation, UserInterface::Ok);
}

bool CBookmarkStore::commitOrReport(ProfileFile::Edit &edit, bool queued)
{
    if (queued && edit.commit())
        return true;
    if (queued)
        edit.cancel();
    message("Couldn't save the bookmarks in " + m_file.path().toLocal8Bit() + ":\n"
            + m_file.lastError().toLocal8Bit());
    return false;
}

bool CBookmarkStore::validName(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    // The name becomes part of a section header: a line end or a closing
    // bracket there could not be read back.
    if (name.contains('\r') || name.contains('\n') || name.contains(']')) {
        message("A category name cannot hold a line end or ']'");
        return false;
    }
    return true;
}

void CBookmarkStore::convertOldBookmarks()
{
    const int n = m_file.getInt(OldSection, "Count of Saved Bookmarks", 0);
    if (n < 1)
        return;
    message("I'm about to convert your old bookmarks\ninto a new format.");
    CBookmarkArray converted;
    {
        WaitCursor wait(m_ui);
        converted.reserve(std::min(n, 100000));
        for (int i = 1; i <= n; ++i) {
            const QByteArray number = ' ' + QByteArray::number(i);
            const QByteArray host = m_file.getString(OldSection, QByteArray("Server" + number));
            const int port = m_file.getInt(OldSection, QByteArray("Port" + number), 70);
            const QByteArray title = m_file.getString(OldSection, QByteArray("Title" + number));
            const QByteArray type = m_file.getString(OldSection, QByteArray("Item Type" + number));
            const QByteArray selector = m_file.getString(OldSection, QByteArray("Selector" + number)).left(2047);
            // An entry without a server names nothing that could be fetched.
            if (host.isEmpty())
                continue;
            CBookmark item(type.isEmpty() ? '1' : type.at(0), title, selector, host, quint16(port));
            item.SetGopherPlus(type.contains('+'));
            converted.append(item);
        }
    }

    // A "Default" category that already holds bookmarks keeps them; the
    // converted ones follow. The new category, its list entry and the
    // removal of the old section are one replacement of the file, so the
    // conversion happens exactly once and never in part.
    CBookmarkArray merged = LoadCategory(ConvertedCategory);
    for (const CBookmark &item : converted.items())
        merged.append(item);
    QByteArrayList categories = m_categories;
    if (!categories.contains(ConvertedCategory))
        categories.append(ConvertedCategory);
    ProfileFile::Edit edit(m_file);
    const bool queued = putCategory(ConvertedCategory, merged) && putCategoryList(categories)
                        && m_file.deleteSection(OldSection);
    if (!commitOrReport(edit, queued))
        return;
    m_categories = categories;
    message("Converted" + (" " + QByteArray::number(converted.size()) + " ")
            + "old style bookmarks to new format\n"
            + "They are in the 'Default' list now");
}

QByteArray CBookmarkStore::GetDefaultCategory()
{
    if (m_categories.size() == 1)
        m_default = m_categories.first();
    else
        m_default = m_file.getString(DefaultSection, "Category");
    return m_default;
}

bool CBookmarkStore::SetDefaultCategory(const QByteArray &name)
{
    ProfileFile::Edit edit(m_file);
    if (!commitOrReport(edit, m_file.writeString(DefaultSection, "Category", name)))
        return false;
    m_default = name;
    return true;
}

bool CBookmarkStore::putCategoryList(const QByteArrayList &categories)
{
    if (!m_file.deleteSection(CategoriesSection))
        return false;
    for (int i = 0; i < categories.size(); ++i) {
        if (!m_file.writeString(CategoriesSection, key("Category", i), categories.at(i)))
            return false;
    }
    return true;
}

bool CBookmarkStore::AddCategory(const QByteArray &name)
{
    if (m_categories.contains(name)) {
        message("Sorry, that category already exists!");
        return false;
    }
    if (!validName(name))
        return false;
    QByteArrayList categories = m_categories;
    categories.append(name);
    ProfileFile::Edit edit(m_file);
    if (!commitOrReport(edit, putCategoryList(categories)))
        return false;
    m_categories = categories;
    Q_EMIT categoriesChanged();
    return true;
}

bool CBookmarkStore::DeleteCategory(const QByteArray &name)
{
    if (m_editor && m_editor->shownCategory() == name) {
        message("Sorry, that category is in use!");
        return false;
    }
    if (!m_categories.contains(name)) {
        message("Sorry, I couldn't find that category!");
        return false;
    }
    QByteArrayList categories = m_categories;
    categories.removeOne(name);
    ProfileFile::Edit edit(m_file);
    const bool queued = putCategoryList(categories) && m_file.deleteSection(sectionOf(name));
    if (!commitOrReport(edit, queued))
        return false;
    m_categories = categories;
    Q_EMIT categoriesChanged();
    return true;
}

bool CBookmarkStore::RenameCategory(const QByteArray &oldName, const QByteArray &newName)
{
    if (m_categories.contains(newName)) {
        message("Sorry, that category already exists!");
        return false;
    }
    const qsizetype at = m_categories.indexOf(oldName);
    if (at < 0) {
        message("Sorry, I couldn't find that category!");
        return false;
    }
    if (!validName(newName))
        return false;
    QByteArrayList categories = m_categories;
    categories[at] = newName;
    const CBookmarkArray array = LoadCategory(oldName);
    ProfileFile::Edit edit(m_file);
    const bool queued = putCategory(newName, array) && m_file.deleteSection(sectionOf(oldName))
                        && putCategoryList(categories);
    if (!commitOrReport(edit, queued))
        return false;
    m_categories = categories;
    if (m_editor && m_editor->shownCategory() == oldName)
        m_editor->categoryRenamed(newName);
    Q_EMIT categoriesChanged();
    return true;
}

int CBookmarkStore::GetBookmarkCount(const QByteArray &category) const
{
    return m_file.getInt(sectionOf(category), "Count", 0);
}

CBookmark CBookmarkStore::readEntry(const QByteArray &section, int i, bool *ok) const
{
    const QByteArray host = m_file.getString(section, key("Host", i));
    *ok = !host.isEmpty();
    if (!*ok)
        return {};
    const QByteArray title = CBookmark::UnescapeSelector(m_file.getString(section, key("Name", i)));
    const QByteArray type = m_file.getString(section, key("Type", i));
    const int port = m_file.getInt(section, key("Port", i), 0);
    const QByteArray path = CBookmark::UnescapeSelector(m_file.getString(section, key("Path", i)));
    CBookmark item(type.isEmpty() ? '1' : type.at(0), title, path, host, quint16(port));
    item.SetGopherPlus(type.contains('+'));
    item.SetAskForm(type.contains('?'));
    // Written for TLS items only; older readers skip the key and fetch the
    // item over plain Gopher.
    item.tls = m_file.getInt(section, key("TLS", i), 0) != 0;
    return item;
}

QList<int> CBookmarkStore::entryIndices(const QByteArray &section) const
{
    // An entry without a host cannot be fetched; it is passed over, so that
    // nothing stored after one (by an older version, or by hand) is hidden.
    // The keys present are looked at rather than every number below "Count",
    // which a hand-edited file may set to anything.
    QList<int> indices;
    const int n = m_file.getInt(section, "Count", 0);
    if (n <= 0)
        return indices;
    for (const QByteArray &name : m_file.keys(section)) {
        if (name.size() < 5 || qstrnicmp(name.constData(), "host", 4) != 0)
            continue;
        const QByteArray digits = name.mid(4);
        bool ok = false;
        const int i = digits.toInt(&ok);
        // Only the spelling the store writes ("Host12", not "Host012").
        if (!ok || i < 0 || i >= n || QByteArray::number(i) != digits)
            continue;
        if (!m_file.getString(section, name).isEmpty())
            indices.append(i);
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

CBookmarkArray CBookmarkStore::LoadCategory(const QByteArray &category) const
{
    CBookmarkArray array;
    const QByteArray section = sectionOf(category);
    const QList<int> indices = entryIndices(section);
    if (indices.isEmpty())
        return array;
    WaitCursor wait(m_ui);
    array.reserve(indices.size());
    for (const int i : indices) {
        bool ok = false;
        CBookmark item = readEntry(section, i, &ok);
        if (ok)
            array.append(item);
    }
    return array;
}

std::optional<CBookmark> CBookmarkStore::ReadBookmark(const QByteArray &category, int index) const
{
    const QByteArray section = sectionOf(category);
    const QList<int> indices = entryIndices(section);
    if (index < 0 || index >= indices.size())
        return std::nullopt;
    bool ok = false;
    CBookmark item = readEntry(section, indices.at(index), &ok);
    if (!ok)
        return std::nullopt;
    return item;
}

QByteArrayList CBookmarkStore::GetBookmarkTitles(const QByteArray &category) const
{
    QByteArrayList titles;
    const QByteArray section = sectionOf(category);
    for (const int i : entryIndices(section))
        titles.append(CBookmark::UnescapeSelector(m_file.getString(section, key("Name", i))));
    return titles;
}

CBookmarkStore::Entry CBookmarkStore::entryOf(const CBookmark &item)
{
    Entry entry;
    entry.name = CBookmark::EscapeSelector(item.title);
    entry.type = QByteArray(1, item.type ? item.type : '1');
    if (item.IsAskForm())
        entry.type += '?';
    else if (item.IsGopherPlus())
        entry.type += '+';
    entry.port = QByteArray::number(item.port);
    entry.path = CBookmark::EscapeSelector(CBookmark::plainSelector(item.selector));
    // Hosts are written as they stand; a line end could not be.
    entry.host = item.host;
    entry.host.replace('\r', "").replace('\n', "");
    return entry;
}

bool CBookmarkStore::putEntry(const QByteArray &section, int i, const CBookmark &item)
{
    const Entry entry = entryOf(item);
    return m_file.writeString(section, key("Name", i), entry.name)
           && m_file.writeString(section, key("Type", i), entry.type)
           && m_file.writeString(section, key("Port", i), entry.port)
           && m_file.writeString(section, key("Path", i), entry.path)
           && m_file.writeString(section, key("Host", i), entry.host)
           && (!item.tls || m_file.writeInt(section, key("TLS", i), 1));
}

bool CBookmarkStore::storable(const CBookmark &item)
{
    return !entryOf(item).host.isEmpty();
}

bool CBookmarkStore::putCategory(const QByteArray &category, const CBookmarkArray &array)
{
    const QByteArray section = sectionOf(category);
    const auto &items = array.items();
    const int count = int(std::count_if(items.cbegin(), items.cend(), storable));
    if (!m_file.deleteSection(section) || !m_file.writeInt(section, "Count", count))
        return false;
    int i = 0;
    for (const CBookmark &item : items) {
        if (storable(item) && !putEntry(section, i++, item))
            return false;
    }
    return true;
}

bool CBookmarkStore::SaveCategory(const QByteArray &category, const CBookmarkArray &array)
{
    WaitCursor wait(m_ui);
    ProfileFile::Edit edit(m_file);
    if (!commitOrReport(edit, putCategory(category, array)))
        return false;
    Q_EMIT categoryChanged(category);
    return true;
}

bool CBookmarkStore::appendToCategory(const QByteArray &category, const QList<CBookmark> &items)
{
    if (!m_categories.contains(category) && !validName(category))
        return false;
    QByteArrayList categories = m_categories;
    const bool added = !categories.contains(category);
    if (added)
        categories.append(category);
    const QByteArray section = sectionOf(category);
    QList<CBookmark> stored;
    std::copy_if(items.cbegin(), items.cend(), std::back_inserter(stored), storable);
    const int n = added ? 0 : std::max(GetBookmarkCount(category), 0);
    ProfileFile::Edit edit(m_file);
    bool queued = (!added || (putCategoryList(categories) && m_file.deleteSection(section)))
                  && m_file.writeInt(section, "Count", n + int(stored.size()));
    for (int i = 0; queued && i < stored.size(); ++i)
        queued = putEntry(section, n + i, stored.at(i));
    if (!commitOrReport(edit, queued))
        return false;
    m_categories = categories;
    if (added)
        Q_EMIT categoriesChanged();
    Q_EMIT categoryChanged(category);
    return true;
}

bool CBookmarkStore::AddBookmark(const CBookmark &item)
{
    if (!storable(item))
        return false;
    QByteArray category = GetDefaultCategory();
    if (category.isEmpty() && m_chooser)
        category = m_chooser(SaveBookmarkIn);
    if (category.isEmpty())
        return false;
    if (m_editor && m_editor->shownCategory() == category) {
        m_editor->addItem(item);
    } else if (!appendToCategory(category, {item})) {
        return false;
    }
    if (m_status)
        m_status("Saved '" + item.title + "' in '" + category + "'");
    return true;
}

void CBookmarkStore::OpenEditor()
{
    if (m_editor)
        return;
    QByteArray category = GetDefaultCategory();
    if (category.isEmpty()) {
        if (!m_chooser)
            return;
        category = m_chooser(EditCategory);
        if (category.isEmpty())
            return;
    }
    m_editor = m_editorFactory ? m_editorFactory(category) : nullptr;
    if (!m_editor)
        message("Unable to run the bookmark editor!");
}

QByteArray CBookmarkStore::ChooseCategory()
{
    return m_chooser ? m_chooser(SelectCategory) : QByteArray();
}

void CBookmarkStore::editorClosed()
{
    m_editor = nullptr;
}
