#pragma once

#include <QString>

class CTarnwickApp;
class CTarnwickDoc;
class ProgramOptions;
class UserInterface;

// `tarnwick --print FILE.pdf URL`: fetches the URL as --dump does and prints
// the document into FILE.pdf. Returns the exit status.
int runPrint(const ProgramOptions &options);

// The printing of --print: the fetched document goes through the same
// CPrintManager as a window's Print, into a PDF file, with the margins,
// switches and fonts of the settings file. Returns the exit status: 0
// printed, 1 not (a document kind that does not print, a declined question,
// a file that cannot be written).
int printDocumentToPdf(CTarnwickDoc &doc, const QString &path, CTarnwickApp &app, UserInterface &ui);
