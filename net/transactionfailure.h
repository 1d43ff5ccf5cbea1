#pragma once

#include "items/helpcontext.h"

#include <QByteArray>

// How a transaction failed, as a value: the engine builds it where the failure
// is seen and hands it to the document once its own handler has returned, so
// the document shows it (and may start a retry) outside any socket handler.
// The texts are the socket layer's own; the document shows the status line
// first, then the notice, then the box, and then decides what follows.
struct TransactionFailure
{
    enum class Stage {
        Socket,  // no socket could be made; nothing was started
        Lookup,  // the host name could not be turned into an address
        Connect, // the connection was refused or could not be started
        Send,    // the request (or its upload) could not be sent
        Receive, // the reply could not be read to its end
    };

    Stage stage = Stage::Receive;
    int code = 0;          // the socket error code, never 0 (0 reads as a normal end)
    QByteArray host;
    QByteArray status;     // for the document's status line; empty: none
    QByteArray notice;     // a plain box before the main one; empty: none
    QByteArray text;       // the exclamation box
    Help help = Help::None;

    static TransactionFailure socketCreation(int code);
    static TransactionFailure lookup(const QByteArray &host, int code);
    static TransactionFailure lookupWithoutAddress(const QByteArray &host, int code);
    // connect() itself refused to start.
    static TransactionFailure connectRefused(const QByteArray &host, int code);
    // The connection attempt ended with an error.
    static TransactionFailure connectError(const QByteArray &host, int code);
    static TransactionFailure sendError(const QByteArray &host, int code,
                                        const QByteArray &notice = QByteArray());
    static TransactionFailure readError(const QByteArray &host, int code);
};
