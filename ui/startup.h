#pragma once

#include <QByteArrayList>
#include <QProcessEnvironment>

class CMainFrame;
class CTarnwickApp;
class ProgramOptions;

// Starts the program with its windows: hands the URLs to a running program
// when there is one, else finds the settings file, makes the main frame,
// restores its placement, and opens the URLs given on the command line or
// the home gopher. Returns the exit status.
int runTarnwick(const ProgramOptions &options);

// What start-up does once the main frame is shown: opens the gopher URLs of
// the command line, or the home gopher (asking for one first when none is
// configured), and puts the directory keys into the settings file.
void openFirstDocuments(CTarnwickApp &app, CMainFrame &frame, const QByteArrayList &urls,
                        const QProcessEnvironment &env);
