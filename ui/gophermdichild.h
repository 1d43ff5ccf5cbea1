#pragma once

#include "documents/documentframe.h"

#include <QMdiSubWindow>
#include <QPointer>

#include <functional>

class CTarnwickDoc;
class QLabel;

// A document window with one view and a status line of its own.
class CGopherMDIChild : public QMdiSubWindow, public DocumentFrame
{
    Q_OBJECT

public:
    CGopherMDIChild(CTarnwickDoc *document, QWidget *parent = nullptr);

    void setView(QWidget *view);
    QWidget *view() const { return m_view; }
    CTarnwickDoc *document() const { return m_document; }
    QString statusText() const;

    // Asked when the user closes the window; false keeps it open.
    void setCloseQuestion(std::function<bool()> question) { m_closeQuestion = std::move(question); }

    bool hasOwnStatusBar() const override { return true; }
    void setStatusText(const QByteArray &text) override;
    void activateFrame() override;
    void destroyFrame() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<CTarnwickDoc> m_document;
    QWidget *m_view = nullptr;
    QWidget *m_body = nullptr;
    QLabel *m_status = nullptr;
    bool m_destroying = false;
    std::function<bool()> m_closeQuestion;
};

// Shared by the document windows: closing the window closes its document and
// stops its transfer.
void closeDocumentOfFrame(CTarnwickDoc *document);
