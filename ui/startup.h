#pragma once

#include <QStringList>

// Starts the program with its windows: finds the settings file, makes the
// main frame, restores its placement, and opens the URL given on the command
// line or the home gopher. Returns the exit code of the event loop.
int runTarnwick(const QStringList &arguments);
