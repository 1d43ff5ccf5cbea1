#pragma once

#include <QByteArray>
#include <QStringList>

// The headless mode: `tarnwick [-I DIR] --dump URL` opens the URL exactly as
// a window would be opened, runs until the transfer has ended, and prints the
// document on standard output; status texts and message boxes go to standard
// error as they happen. Exit status 0 when the document finished normally, 1
// when the transfer failed or the server reported an error, 2 for a usage
// error or when nothing was opened. The bookmark modes (BookmarkRunner) are
// headless too and are dispatched from here.
class DumpRunner
{
public:
    static bool wantsDump(const QStringList &arguments);
    int run(const QStringList &arguments);

    // Backslash, CR, LF and TAB written as \\, \r, \n and \t.
    static QByteArray escaped(const QByteArray &text);
};
