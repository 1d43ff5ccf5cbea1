#pragma once

class CTarnwickApp;
class TransactionEngine;
class UserInterface;
class WindowRegistry;

// The program-wide objects a document reaches; handed to each document when
// it is made, never global.
struct AppContext
{
    TransactionEngine *engine = nullptr;
    WindowRegistry *windows = nullptr;
    UserInterface *ui = nullptr;
    CTarnwickApp *app = nullptr;
};
