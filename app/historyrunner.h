#pragma once

class ProgramOptions;

// The history mode of the command line: prints the items the window program
// opened, newest first, as the History window lists them, without touching
// the history:
//   tarnwick [-I DIR] --history [--format urls|gophermap]
// "urls" (the default) writes one gopher URL a line, "gophermap" one menu
// line an item with its title, so the output is a menu a server can serve or
// a list --import-bookmarks reads. Exit status 0 (an empty history prints
// nothing), 1 when the history file cannot be read, 2 for a usage error.
class HistoryRunner
{
public:
    // Runs --history.
    int run(const ProgramOptions &options);
};
