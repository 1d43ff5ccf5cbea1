#pragma once

#include "documents/tarnwickdoc.h"

// Fetches the Gopher+ attributes of an item opened before they were known
// (the "\t!" request), then opens the item again with them and goes away.
class CExtInfoDoc : public CTarnwickDoc
{
    Q_OBJECT

public:
    // Received attribute text is kept below this many bytes.
    static constexpr int ReceivedLimit = 32767;

    explicit CExtInfoDoc(const AppContext &context, QObject *parent = nullptr);

    bool Fetch(const CBookmark &item) override;
    void requestStarting() override;
    bool endsAtDotLine() const override { return true; }
    void OnReceive() override;
    void OnReceiveDone(int status) override;

    QByteArray receivedText() const { return m_received; }
    // Off: the attributes are only shown (the headless --info), the item is
    // not opened with them.
    void setOpensItem(bool on) { m_opensItem = on; }

protected:
    void sendHomeRequest(const CBookmark &home) override;

private:
    QByteArray m_received;
    QByteArray m_savedSelector;
    bool m_opensItem = true;
    bool m_truncated = false;
};
