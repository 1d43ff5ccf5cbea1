#pragma once

#include <Qt>

class QWidget;

// A dialog whose size follows its contents is a dialog, not a window to
// maximise: its layout fixes the size, and the window manager is asked for a
// title bar with a close button only (without the request, window managers
// such as Openbox offer minimise and maximise buttons on every dialog).
void makeFixedSizeDialog(QWidget *dialog);

// The window flags of such a dialog (a message box keeps its own layout).
Qt::WindowFlags fixedSizeDialogFlags();
