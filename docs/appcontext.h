#pragma once

class CTarnwickApp;
class TransactionEngine;
class UserInterface;
class WindowRegistry;

// A reference that reads like a pointer: made from an object, never null,
// so the code that holds one never checks it.
template <class T>
class Ref
{
public:
    Ref(T &object) : m_object(&object) {}
    T *operator->() const { return m_object; }
    T &operator*() const { return *m_object; }
    T *get() const { return m_object; }

private:
    T *m_object;
};

// The program-wide objects a document reaches; handed to each document when
// it is made, never global. The application object (CTarnwickApp) owns them
// and makes the context.
struct AppContext
{
    Ref<TransactionEngine> engine;
    Ref<WindowRegistry> windows;
    Ref<UserInterface> ui;
    Ref<CTarnwickApp> app;
};
