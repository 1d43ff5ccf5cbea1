#pragma once

#include <QIcon>

// Tarnwick's own icon (share/desktop), built into the program so that the
// main window, every dialog, the document windows without an item icon and
// the About box show it whether or not the program is installed.
namespace ProgramIcon {

QIcon icon();

} // namespace ProgramIcon
