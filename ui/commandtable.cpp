// The commands of the main frame, one row each. The menus, the toolbar, the
// accelerators and the enabling are all built from this table: a new command
// is a new row (with the functions it names in framecommands.cpp).

#include "ui/mainframe.h"

#include <algorithm>

namespace {

using M = CommandMenu;
using F = CMainFrame;
constexpr QKeyCombination NoKey = Command::NoKey;

} // namespace

std::span<const Command> CMainFrame::commands()
{
    static const Command rows[] = {
        // id, menu, separator above, text, prompt, key, icon, toolbar slot, button text,
        // run, enabled[, checked]
        {ID_NEW_ITEM, M::File, false, "&New Gopher Item...",
         "Fetch a Gopher item by its host, port, type and selector", Qt::CTRL | Qt::Key_N,
         nullptr, 0, nullptr, &F::onNewItem, nullptr},
        {ID_HOME, M::File, false, "&Home Gopher", "Fetch the home Gopher directory",
         Qt::CTRL | Qt::Key_H, "go-home", 11, "Home", &F::OnHomeGopher, nullptr},
        {ID_INFO, M::File, true, "&Info on Item...", "Show Gopher+ information for the current item",
         Qt::CTRL | Qt::Key_I, "dialog-information", 21, "Info", &F::OnItemInfo, &F::hasDocument},
        {ID_RELOAD, M::File, false, "&Reload", "Fetch the current item again from the network",
         Qt::Key_F5, "view-refresh", 14, "Reload", &F::onReload, &F::canReload},
        {ID_STOP, M::File, false, "St&op", "Cancel network activity for the current window", NoKey,
         "process-stop", 15, "Stop", &F::OnStop, &F::canStop},
        {ID_FILE_SAVE, M::File, true, "Save Ite&m", "Save the active document to a disk file",
         Qt::CTRL | Qt::Key_S, "document-save", 24, "Save", &F::onSave, &F::canSave},
        {ID_DELETE_FILES, M::File, false, "&Delete Files...", "Delete downloaded files", NoKey,
         nullptr, 0, nullptr, &F::onDeleteFiles, nullptr},
        {ID_PRINT, M::File, true, "&Print...", "Print the active document", Qt::CTRL | Qt::Key_P,
         "document-print", 25, "Print", &F::onPrint, &F::canPrint},
        {ID_PRINT_PREVIEW, M::File, false, "Print Pre&view", "Display full pages", NoKey,
         "document-print-preview", 0, nullptr, &F::onPrintPreview, &F::canPrint},
        {ID_PRINT_SETUP, M::File, false, "Print &Setup...",
         "Change the printer and printing options", NoKey, nullptr, 0, nullptr, &F::onPrintSetup,
         nullptr},
        {ID_PAGE_SETUP, M::File, false, "Page Set&up...", "Change the margins, header and footer",
         NoKey, nullptr, 0, nullptr, &F::onPageSetup, nullptr},
        {ID_SEND, M::File, true, "S&end...", "Send the active document through electronic mail",
         NoKey, nullptr, 0, nullptr, &F::onSend, nullptr},
        {ID_EXIT, M::File, true, "E&xit", "Quit the application", NoKey, "application-exit", 0,
         nullptr, &F::onExit, nullptr},

        {ID_EDIT_COPY, M::Edit, false, "&Copy", "Copy the selection or the document to the clipboard",
         Qt::CTRL | Qt::Key_C, "edit-copy", 23, "Copy", &F::onCopy, &F::canCopy},
        {ID_FIND, M::Edit, true, "&Find...", "Find text", Qt::CTRL | Qt::Key_F, "edit-find", 22,
         "Find", &F::OnFind, &F::canFind},
        {ID_FIND_AGAIN, M::Edit, false, "Find &again", "Repeat the last search",
         Qt::Key_F3, nullptr, 0, nullptr, &F::OnFindAgain, &F::canFindAgain},

        {ID_VIEW_TOOLBAR, M::View, false, "Tool&bar", "Show or hide the toolbar", NoKey, nullptr,
         0, nullptr, &F::onToggleToolbar, nullptr, &F::isToolbarShown},
        {ID_VIEW_STATUS_BAR, M::View, false, "&Status Bar", "Show or hide the status bar", NoKey,
         nullptr, 0, nullptr, &F::onToggleStatusBar, nullptr, &F::isStatusBarShown},
        {ID_MENU_AS_AUTHORED, M::View, true, "Menu as &Authored",
         "Show every item of a directory in the server's order, as its author laid it out", NoKey,
         nullptr, 0, nullptr, &F::onToggleMenuAsAuthored, nullptr, &F::isMenuAsAuthored},

        {ID_FETCH_BOOKMARK, M::Bookmarks, false, "&Fetch...", "Fetch a stored bookmark", NoKey,
         nullptr, 0, nullptr, &F::onFetchBookmark, nullptr},
        {ID_ADD_BOOKMARK, M::Bookmarks, false, "&Add Bookmark...",
         "Add this location to the bookmark list", Qt::ALT | Qt::Key_S, "bookmark-new", 31,
         "Add", &F::onAddBookmark, &F::canAddBookmark},
        {ID_ADD_DIR_BOOKMARK, M::Bookmarks, false, "Add Directory Bookmark...",
         "Add bookmark for the directory window", NoKey, nullptr, 0, nullptr, &F::onAddDirBookmark,
         &F::canAddDirBookmark},
        {ID_EDIT_BOOKMARKS, M::Bookmarks, false, "&Edit Bookmarks...", "Edit the bookmark list",
         Qt::CTRL | Qt::Key_E, "bookmarks-organize", 32, "Bookmarks", &F::onEditBookmarks, nullptr},
        {ID_GO_TOP, M::Bookmarks, false, "Get Bookmark &Root",
         "Go to the top of this Gopher's outline", NoKey, "go-top", 13, "Root", &F::onGoTop,
         &F::hasDocument},
        {ID_CATEGORIES, M::Bookmarks, false, "&Categories...", "Edit the bookmark categories",
         NoKey, nullptr, 0, nullptr, &F::onCategories, nullptr},
        {ID_IMPORT_BOOKMARKS, M::Bookmarks, true, "Import bookmarks...",
         "Add the gopher links of a lynx bookmark file or a URL list to a category", NoKey,
         nullptr, 0, nullptr, &F::onImportBookmarks, nullptr},
        {ID_EXPORT_BOOKMARKS, M::Bookmarks, false, "Export bookmarks...",
         "Write a category as a list of gopher URLs or as a gophermap", NoKey, nullptr, 0,
         nullptr, &F::onExportBookmarks, nullptr},

        {ID_PREFERENCES, M::Options, false, "&Preferences...",
         "Change all settings on one tabbed sheet", NoKey, nullptr, 0, nullptr,
         &F::onPreferences, nullptr},
        {ID_HOME_SETUP, M::Options, true, "&Home Gopher Server(s)...", "Set the home Gopher servers",
         NoKey, nullptr, 0, nullptr, &F::onHomeSetup, nullptr},
        {ID_OPTIONS, M::Options, false, "User &Options...", "Change the user options", NoKey,
         nullptr, 0, nullptr, &F::onUserOptions, nullptr},
        {ID_DIRECTORIES, M::Options, false, "Gopher &Directories...",
         "Set the directories for temporary and downloaded files", NoKey, nullptr, 0, nullptr,
         &F::onDirectories, nullptr},
        {ID_TELNET_PROGRAMS, M::Options, false, "&Telnet Programs...",
         "Set the path for your telnet and 3270 emulator programs", NoKey, nullptr, 0, nullptr,
         &F::onTelnetPrograms, nullptr},
        {ID_EDIT_VIEWS, M::Options, true, "E&xtended Views...",
         "Define the views of Gopher+ items and how each is shown", NoKey, nullptr, 0, nullptr,
         &F::onEditViews, nullptr},
        {ID_RANK_VIEWS, M::Options, false, "&Rank Extended Views...",
         "Rank the views of Gopher+ items by preference", NoKey, nullptr, 0, nullptr,
         &F::onRankViews, nullptr},
        {ID_EDIT_LANGUAGES, M::Options, false, "&Languages...",
         "Name the languages of Gopher+ views", NoKey, nullptr, 0, nullptr, &F::onEditLanguages,
         nullptr},
        {ID_DEFAULT_GOPHER, M::Options, true, "Make Tarnwick the default Gopher program",
         "Open gopher: links from other programs in Tarnwick", NoKey, nullptr, 0, nullptr,
         &F::onMakeDefaultGopher, &F::canMakeDefaultGopher},
        {ID_DIR_FONT, M::Fonts, false, "D&irectory List...", "Change the font of directory lists",
         NoKey, nullptr, 0, nullptr, &F::onDirFont, nullptr},
        {ID_DOCUMENT_FONT, M::Fonts, false, "&Document List...",
         "Change the font of the document list", NoKey, nullptr, 0, nullptr, &F::onTreeFont,
         nullptr},
        {ID_BM_FONT, M::Fonts, false, "&Bookmark List...", "Change the font of the bookmark view",
         NoKey, nullptr, 0, nullptr, &F::onBookmarkFont, nullptr},
        {ID_TEXT_FONT, M::Fonts, false, "&Text Window...", "Change the font of text windows",
         NoKey, nullptr, 0, nullptr, &F::onTextFont, nullptr},
        {ID_PHONE_FONT, M::Fonts, false, "P&hone Window...",
         "Change the font of phone-book windows", NoKey, nullptr, 0, nullptr, &F::onPhoneFont,
         nullptr},
        {ID_ASK_FONT, M::Fonts, false, "&Ask Form...", "Change the font of ask forms", NoKey,
         nullptr, 0, nullptr, &F::onAskFont, nullptr},
        {ID_PRINTER_FONT, M::Fonts, false, "&Printer...", "Change the printer font", NoKey,
         nullptr, 0, nullptr, &F::onPrinterFont, nullptr},
        {ID_USE_PRINTER_FONT, M::Fonts, false, "&Use Printer Font", "Print with the printer font",
         NoKey, nullptr, 0, nullptr, &F::onUsePrinterFont, &F::printerFontStored, &F::usesPrinterFont},

        {ID_CASCADE, M::Window, false, "&Cascade", "Arrange windows so they overlap", NoKey,
         nullptr, 0, nullptr, &F::onCascade, nullptr},
        {ID_TILE, M::Window, false, "&Tile", "Arrange windows as non-overlapping tiles", NoKey,
         nullptr, 0, nullptr, &F::onTile, nullptr},
        {ID_ARRANGE, M::Window, false, "&Arrange Icons", "Arrange icons at the bottom of the window",
         NoKey, nullptr, 0, nullptr, &F::onArrangeIcons, nullptr},

        {ID_HELP_INDEX, M::Help, false, "&Index", "List Help topics", NoKey,
         "help-contents", 0, nullptr, &F::onHelpIndex, nullptr},
        {ID_HELP_USING, M::Help, false, "&Using Help",
         "Display instructions about how to use help", NoKey, nullptr, 0, nullptr,
         &F::onHelpUsing, nullptr},
        {ID_CONTEXT_HELP, M::Help, false, "&Context help",
         "Display help for clicked on buttons, menus and windows", Qt::SHIFT | Qt::Key_F1,
         nullptr, 0, nullptr, &F::onHelp, nullptr},
        {ID_WINSOCK_INFO, M::Help, true, "Show &WinSock Info...",
         "Show information provided by the WinSock vendor, including version, vendor ID, etc.",
         NoKey, nullptr, 0, nullptr, &F::onWinSockInfo, nullptr},
        {ID_ABOUT, M::Help, false, "&About Tarnwick...",
         "Display program information, version number and copyright", NoKey, "help-about", 0,
         nullptr, &F::onAbout, nullptr},

        // Reached from the toolbar, accelerators and context menus only.
        {ID_STOP_ALL, M::None, false, "Stop All", "Cancel all network activity currently in progress",
         NoKey, "process-stop-all", 16, "Stop All", &F::OnStopAll, &F::canStopAll},
        {ID_FETCH, M::None, false, "Fetch",
         "Fetch the selected item, perform a search, or submit a form", NoKey, "go-jump", 17,
         "Fetch", &F::onFetch, &F::canFetch},
        {ID_BACK, M::None, false, "Back", "Backtrack one level in this Gopher's outline", NoKey,
         "go-previous", 12, "Back", &F::onBack, &F::canGoBack},
        {ID_FETCH_SPECIAL, M::None, false, "Fetch Special",
         "Fetch an item with control over the item type, etc.", NoKey, nullptr, 0, nullptr,
         &F::onFetchSpecial, &F::hasDocument},
        {ID_FILE_CLOSE, M::None, false, "Close", "Close the active document",
         Qt::Key_Escape, "window-close", 0, nullptr, &F::OnCloseActiveDocument,
         &F::hasDocument},
        {ID_NEXT_PANE, M::None, false, "Next Pane", "Switch to the next window pane",
         Qt::Key_F6, nullptr, 0, nullptr, &F::onNextPane, &F::hasDocument},
        {ID_PREV_PANE, M::None, false, "Previous Pane", "Switch back to the previous window pane",
         Qt::SHIFT | Qt::Key_F6, nullptr, 0, nullptr, &F::onPreviousPane, &F::hasDocument},
        {ID_HELP, M::None, false, "Help", "Display help for the active window", Qt::Key_F1,
         nullptr, 0, nullptr, &F::onHelp, nullptr},
        {ID_VIEWERS, M::None, false, "Viewers",
         "Edit paths for viewers (you can also use the Windows File Manager)", NoKey, nullptr, 0,
         nullptr, &F::onViewers, nullptr},
    };
    return rows;
}

const Command *CMainFrame::command(int id)
{
    const std::span<const Command> all = commands();
    const auto it = std::find_if(all.begin(), all.end(), [id](const Command &c) { return c.id == id; });
    return it == all.end() ? nullptr : &*it;
}
