#pragma once

struct WinSockInfo;
class CTarnwickApp;
class QWidget;
class UserInterface;

// The modal forms that menu commands open.
void runHomeServerSetup(QWidget *parent, CTarnwickApp &app, UserInterface &ui);
void runUserOptions(QWidget *parent, CTarnwickApp &app, UserInterface &ui);
void runDirectories(QWidget *parent, CTarnwickApp &app, UserInterface &ui);
void runWinSockInfo(QWidget *parent, const WinSockInfo &info);
void runAbout(QWidget *parent);
