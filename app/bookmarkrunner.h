#pragma once

class ProgramOptions;

// The bookmark modes of the command line, run without a window over the same
// store the windows use (so bookmarks of the old layout are converted here
// too, its message boxes going to standard error):
//   tarnwick [-I DIR] --export-bookmarks [--category NAME|'*'] [--format urls|gophermap]
//   tarnwick [-I DIR] --import-bookmarks FILE [--category NAME|'*']
// An import with --category '*' restores a backup of every category: each
// heading of the file ("# NAME", a gophermap information line) names the
// category its bookmarks go to.
// Exit status 0 on success, 1 when the file or category could not be read or
// written, 2 for a usage error.
class BookmarkRunner
{
public:
    // Runs --export-bookmarks or --import-bookmarks.
    int run(const ProgramOptions &options);
};
