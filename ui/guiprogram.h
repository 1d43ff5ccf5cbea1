#pragma once

#include "app/tarnwickapp.h"
#include "ui/qtuserinterface.h"

// The program with windows: the Qt user interface and the application object
// (which owns the network engine and the window register) wired to it. main
// makes one, the main frame works on it, and so do the widget tests.
class GuiProgram
{
public:
    GuiProgram() : m_app(m_ui) {}
    GuiProgram(const GuiProgram &) = delete;
    GuiProgram &operator=(const GuiProgram &) = delete;

    QtUserInterface &ui() { return m_ui; }
    CTarnwickApp &app() { return m_app; }

private:
    QtUserInterface m_ui;
    CTarnwickApp m_app;
};
