#pragma once

#include <QProcessEnvironment>
#include <QStringList>

class CMainFrame;
class CTarnwickApp;

// Starts the program with its windows: finds the settings file, makes the
// main frame, restores its placement, and opens the URL given on the command
// line or the home gopher. Returns the exit code of the event loop.
int runTarnwick(const QStringList &arguments);

// What start-up does once the main frame is shown: opens the gopher URL of
// the command line, or the home gopher (asking for one first when none is
// configured), and puts the directory keys into the settings file.
void openFirstDocuments(CTarnwickApp &app, CMainFrame &frame, const QStringList &arguments,
                        const QProcessEnvironment &env);
