#pragma once

#include <QKeyCombination>
#include <QKeySequence>
#include <QList>

class CMainFrame;

// Where a command sits in the menu bar; None for commands reached only from
// the toolbar, an accelerator or a context menu.
enum class CommandMenu { None, File, Edit, View, Bookmarks, Options, Fonts, Window, Help, Encoding };

// One command of the main frame: everything the menus, the toolbar, the
// accelerators and the enabling need to know about it. CMainFrame::commands()
// holds one row per command; adding a command is adding a row there.
struct Command
{
    using Run = void (CMainFrame::*)();
    using Query = bool (CMainFrame::*)() const;

    int id;
    CommandMenu menu;
    bool separatorBefore;   // a separator line above it in its menu
    const char *text;       // menu text with its mnemonic; nullptr: the id as text
    const char *prompt;     // shown in the status line while the command is pointed at
    QKeyCombination key;    // the accelerator, or NoKey
    const char *icon;       // freedesktop icon name, or nullptr
    int toolbarSlot;        // 0: not on the toolbar; the tens digit is the button group
    const char *buttonText; // the text under a large toolbar button
    Run run;                // nullptr: nothing to run yet
    Query enabled;          // nullptr: always enabled
    Query checked = nullptr; // non-null: the command shows a check mark
    // Further keys for the command, as Linux desktops have them beside the
    // classic accelerator (Ctrl+W beside Esc); the menu shows `key`.
    QKeyCombination moreKeys[2] = {QKeyCombination::fromCombined(0),
                                   QKeyCombination::fromCombined(0)};

    static constexpr QKeyCombination NoKey = QKeyCombination::fromCombined(0);
    bool hasKey() const { return key.toCombined() != 0; }
    // Every key of the command, the menu's first.
    QList<QKeySequence> keys() const
    {
        QList<QKeySequence> all;
        for (const QKeyCombination k : {key, moreKeys[0], moreKeys[1]}) {
            // A slot left out of a row holds Qt's "no key" value.
            if (k.toCombined() != 0 && k.key() != Qt::Key_unknown)
                all.append(QKeySequence(k));
        }
        return all;
    }
};
