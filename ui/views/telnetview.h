#pragma once

#include <QPointer>
#include <QWidget>

class CTelnetText;
class QLabel;
class QPushButton;

// The window of a telnet or tn3270 item: the login hint, the host and port,
// and the Start button that hands the session to the terminal program.
class CTelnetView : public QWidget
{
    Q_OBJECT

public:
    explicit CTelnetView(CTelnetText *document, QWidget *parent = nullptr);

    QLabel *hintLabel() const { return m_hint; }
    QLabel *hostLabel() const { return m_host; }
    QPushButton *startButton() const { return m_start; }

    // Fills the texts from the document's item, once it has one.
    void OnInitialUpdate();

private:
    QPointer<CTelnetText> m_document;
    QLabel *m_hint = nullptr;
    QLabel *m_host = nullptr;
    QPushButton *m_start = nullptr;
};
