#pragma once

#include "documents/picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <functional>

class CTarnwickApp;
class CTarnwickDoc;
class ProgramOptions;
class QProcessEnvironment;
class UserInterface;

// The headless mode: `tarnwick [-I DIR] [--timeout SECONDS] --dump URL` opens
// the URL exactly as a window would be opened, runs until the transfer has
// ended, and prints the document on standard output; status texts and message
// boxes go to standard error as they happen. Exit status 0 when the document
// finished normally, 1 when the transfer failed, the server reported an error,
// the server stayed silent for the timeout, or SIGINT, SIGTERM or SIGHUP
// stopped it;
// 2 for a usage error or when nothing was opened.
//
// An item with an ask form prints its form, one line per ask line: "ask",
// the keyword, the prompt, then the field's first text or the choices, all
// separated by tabs (and escaped). `--answer TEXT`, given once per question
// in form order (a file's path for a file chooser), sends the answers and
// dumps the reply after the form.
//
// A download is saved and its path printed ("file", TAB, the path); a
// picture follows with "image", TAB, WIDTHxHEIGHT, TAB, the format, or says
// why it cannot be read in a "message:" line.
//
// `--print FILE.pdf URL` fetches the same way and hands the document to the
// printer given with setPrinter (the widget library's printing) instead of
// writing it out.
class DumpRunner
{
public:
    // Seconds without data from the server before the transfer is given up.
    static constexpr int DefaultTimeout = 60;

    // Prints the document into the file; the exit status (0 printed, 1 not).
    using Printer = std::function<int(CTarnwickDoc &doc, const QString &path, CTarnwickApp &app,
                                      UserInterface &ui)>;

    void setPrinter(Printer printer) { m_printer = std::move(printer); }
    // Reads a downloaded picture for its "image" line: the picture window's
    // own reader, from the widget library. Without one no line is printed.
    void setPictureReader(PictureReader reader) { m_pictureReader = std::move(reader); }
    // Runs the --dump mode, or --print with a printer set.
    int run(const ProgramOptions &options);

    // Backslash, CR, LF and TAB written as \\, \r, \n and \t.
    static QByteArray escaped(const QByteArray &text);

    // The text with every control character except TAB written as "?", so
    // that a server cannot drive the terminal: C0 controls, DEL and the C1
    // controls. On a UTF-8 terminal C1 controls are the code points U+0080 to
    // U+009F, and bytes that are not part of a valid sequence are taken one by
    // one; on an 8-bit terminal every byte from 0x80 to 0x9F is a C1 control.
    static QByteArray terminalSafe(QByteArrayView text, bool utf8Terminal);
    // The stop signal (SIGINT, SIGTERM, SIGHUP) that came during the run, or
    // 0; async-signal-safe to set, cheap to read between printed pages.
    static int stopSignal();
    // Whether the locale in the environment expects UTF-8 on the terminal.
    static bool localeIsUtf8(const QProcessEnvironment &env);

private:
    Printer m_printer;
    PictureReader m_pictureReader;
};
