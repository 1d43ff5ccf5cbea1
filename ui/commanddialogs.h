#pragma once

#include <QString>

#include <memory>

struct WinSockInfo;
class CTarnwickApp;
class HomeGopherDialog;
class QWidget;
class UserInterface;
class WinSockInfoDialog;

// The modal forms that menu commands open.

// The environment variable through which ./run names the sample gopherspace
// it serves ("gopher://127.0.0.1:PORT/"); the home-gopher dialog offers it.
inline constexpr const char *SampleServerVariable = "TWK_SAMPLE_SERVER";

// The "Home Gopher Server(s)" dialog as the program shows it.
std::unique_ptr<HomeGopherDialog> makeHomeServerSetup(QWidget *parent, CTarnwickApp &app,
                                                      UserInterface &ui);
// Runs it; true when it was left with OK.
bool runHomeServerSetup(QWidget *parent, CTarnwickApp &app, UserInterface &ui);
void runUserOptions(QWidget *parent, CTarnwickApp &app, UserInterface &ui);
void runDirectories(QWidget *parent, CTarnwickApp &app, UserInterface &ui);
std::unique_ptr<WinSockInfoDialog> makeWinSockInfo(QWidget *parent, const WinSockInfo &info);
void runAbout(QWidget *parent, const QString &settingsFile);
