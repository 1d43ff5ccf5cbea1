// The bookmark commands of the main frame, and what the bookmark store asks
// of it: the categories dialog as its chooser, the editor, the status line.

#include "ui/mainframe.h"

#include "app/tarnwickapp.h"
#include "ui/bookmarks/bookmarkeditor.h"
#include "bookmarks/bookmarkexchange.h"
#include "bookmarks/bookmarkstore.h"
#include "ui/bookmarks/categoriesdialog.h"
#include "ui/bookmarks/fetchbookmarkdialog.h"
#include "ui/bookmarks/itemform.h"
#include "documents/gopherdir.h"
#include "documents/tarnwickdoc.h"
#include "ui/commanddialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The sample gopherspace's main items, for the first start under ./run.
struct SampleItem
{
    char type;
    const char *title;
    const char *selector;
};
constexpr SampleItem SampleItems[] = {
    {'1', "Tarnwick sample gopherspace", ""},
    {'0', "About Tarnwick", "/about.txt"},
    {'0', "A short history of Gopher", "/gopher-history.txt"},
    {'1', "The library", "/library"},
    {'0', "The harbour ledger (about 2000 lines)", "/ledger.txt"},
    {'7', "Search the library", "/search"},
    {'g', "A tiny picture of a tarn (GIF)", "/images/tarn.gif"},
};

// When ./run serves the sample gopherspace and the settings file holds no
// bookmarks at all, a "Default" category with its items is written, and home
// windows get the layout with the bookmark tree unless one was chosen. Both
// in one replacement of the file; never again once a category exists.
void seedSampleBookmarks(CBookmarkStore &store, HomeGophers &home, ProfileFile &file)
{
    const QByteArray url = qgetenv(SampleServerVariable);
    if (url.isEmpty() || !store.GetCategories().isEmpty())
        return;
    CBookmark server;
    server.ParseURL(url);
    if (server.host.isEmpty() || server.port == 0)
        return;
    QList<CBookmark> items;
    for (const SampleItem &sample : SampleItems)
        items.append(CBookmark(sample.type, sample.title, sample.selector, server.host, server.port));
    ProfileFile::Edit edit(file);
    if (!store.appendToCategory(CBookmarkStore::ConvertedCategory, items))
        return;
    if (!file.hasKey("Home Gopher", "Home Type") && !home.SetHomeType(2))
        return;
    (void)edit.commit();
}

} // namespace

void CMainFrame::setUpBookmarks()
{
    m_bookmarks = new CBookmarkStore(m_app.profile(), &m_ui, this);
    seedSampleBookmarks(*m_bookmarks, m_app.homeGophers(), m_app.profile());
    m_bookmarks->setChooser([this](int mode) { return chooseCategory(mode); });
    m_bookmarks->setEditorFactory(
        [this](const QByteArray &category) { return makeBookmarkEditor(category); });
    m_bookmarks->setStatusSink([this](const QByteArray &text) {
        if (CTarnwickDoc *doc = activeDocument())
            doc->SetStatus(text);
    });
}

QByteArray CMainFrame::chooseCategory(int mode)
{
    CCategoriesDialog dialog(*m_bookmarks, m_ui, mode, this);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.result();
}

BookmarkEditorLink *CMainFrame::makeBookmarkEditor(const QByteArray &category)
{
    auto *editor = new CBookmarkEditor(
        *m_bookmarks, m_ui, category, [this](const CBookmark &item) { m_app.OpenItem(item, 0, 0); },
        [this] { return m_app.settings().bookmarkEditorFetchAction(); }, this);
    m_ui.attachHelp(editor, HelpPage::Bookmarks);
    editor->show();
    editor->move(geometry().center() - editor->rect().center());
    return editor;
}

void CMainFrame::onEditBookmarks()
{
    m_bookmarks->OpenEditor();
}

void CMainFrame::onCategories()
{
    CCategoriesDialog dialog(*m_bookmarks, m_ui, CBookmarkStore::ManageCategories, this);
    dialog.exec();
}

bool CMainFrame::canAddBookmark() const
{
    const CTarnwickDoc *doc = activeDocument();
    if (const auto *dir = qobject_cast<const CGopherDir *>(doc))
        return dir->listCount() > 0;
    return doc != nullptr;
}

bool CMainFrame::canAddDirBookmark() const
{
    return qobject_cast<const CGopherDir *>(activeDocument()) != nullptr;
}

void CMainFrame::onAddBookmark()
{
    if (CTarnwickDoc *doc = activeDocument())
        m_bookmarks->AddBookmark(doc->GetItem());
}

void CMainFrame::onAddDirBookmark()
{
    if (CTarnwickDoc *doc = activeDocument())
        m_bookmarks->AddBookmark(doc->item());
}

void CMainFrame::onFetchBookmark()
{
    CFetchBookmarkDialog dialog(*m_bookmarks, this);
    if (dialog.exec() == QDialog::Accepted && dialog.result())
        m_app.OpenItem(*dialog.result(), 0, 0);
}

void CMainFrame::onNewItem()
{
    CItemForm form(m_ui, std::nullopt, this);
    if (form.exec() == QDialog::Accepted && form.result())
        m_app.OpenItem(*form.result(), 0, 0);
}

void CMainFrame::onFetchSpecial()
{
    CTarnwickDoc *doc = activeDocument();
    if (!doc)
        return;
    CItemForm form(m_ui, doc->GetItem(), this);
    if (form.exec() == QDialog::Accepted && form.result())
        m_app.OpenItem(*form.result(), 0, 0);
}

void CMainFrame::onImportBookmarks()
{
    UserInterface::FileDialog ask;
    ask.save = false;
    ask.mustExist = true;
    ask.title = QStringLiteral("Import bookmarks");
    ask.filter = QStringLiteral("Bookmark files (*.html;*.htm;*.txt;gophermap;*.gophermap)"
                                "|*.html;*.htm;*.txt;gophermap;*.gophermap|All Files (*.*)|*.*||");
    const QString path = m_ui.fileDialog(ask);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_ui.messageBox(QByteArray("Couldn't read " + path.toLocal8Bit() + ":\n" + file.errorString().toLocal8Bit()),
                        UserInterface::Exclamation, UserInterface::Ok, Help::None);
        return;
    }
    const BookmarkExchange::ImportResult result = BookmarkExchange::importText(file.readAll());
    const QByteArray category = chooseCategory(CBookmarkStore::SaveBookmarkIn);
    if (category.isEmpty())
        return;
    if (!result.items.isEmpty() && !m_bookmarks->appendToCategory(category, result.items))
        return;
    m_ui.messageBox(QByteArray("Added " + QByteArray::number(result.items.size()) + " bookmarks to '"
                               + category + "', skipped " + QByteArray::number(result.skipped) + " lines"),
                    UserInterface::Information, UserInterface::Ok, Help::None);
}

void CMainFrame::onExportBookmarks()
{
    const QByteArray category = chooseCategory(CBookmarkStore::SelectCategory);
    if (category.isEmpty())
        return;
    UserInterface::FileDialog ask;
    ask.title = QStringLiteral("Export bookmarks");
    ask.filter = QStringLiteral("URL lists (*.txt)|*.txt|Gophermaps (gophermap)|gophermap||");
    ask.initialName = QStringLiteral("bookmarks.txt");
    ask.promptOverwrite = true;
    const QString path = m_ui.fileDialog(ask);
    if (path.isEmpty())
        return;
    // A file named like a gophermap gets one; anything else a URL list.
    const QString name = QFileInfo(path).fileName();
    const bool gophermap = name == QLatin1String("gophermap") || name.endsWith(QLatin1String(".gophermap"));
    const QByteArray text = BookmarkExchange::exportItems(
        m_bookmarks->LoadCategory(category).items(),
        gophermap ? BookmarkExchange::Format::Gophermap : BookmarkExchange::Format::Urls);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
        m_ui.messageBox(QByteArray("Couldn't write " + path.toLocal8Bit() + ":\n" + out.errorString().toLocal8Bit()),
                        UserInterface::Exclamation, UserInterface::Ok, Help::None);
}
