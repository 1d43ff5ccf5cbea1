#pragma once

#include "tests/support/testservers.h"

#include <QTemporaryDir>

#include <memory>

// A small tree of text, binary and two directories, served at once by
// gophernicus (plain Gopher) and pygopherd (Gopher+), for the tests that
// browse real servers:
//
//     hello.txt       "Hello\nWorld\n"
//     tabs.txt        "a\tb\\c\n..two dots\n"  (TAB, backslash, leading dots)
//     data.bin        00 01 02
//     docs/inner.txt  "inner\n"
//     more/other.txt  "other\n"
//
// Start it once in initTestCase(); the servers stop with the object.
class ServedTree
{
public:
    // Writes the tree and starts both servers; on failure returns false and
    // TestServer::lastError() says why.
    [[nodiscard]] bool start();
    void stop();

    const TestServer &gophernicus() const { return *m_gophernicus; }
    const TestServer &pygopherd() const { return *m_pygopherd; }

private:
    QTemporaryDir m_root;
    std::unique_ptr<TestServer> m_gophernicus;
    std::unique_ptr<TestServer> m_pygopherd;
};
