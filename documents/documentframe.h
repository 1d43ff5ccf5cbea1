#pragma once

#include <QByteArray>

class CTarnwickDoc;

// What a document needs of the window that shows it.
class DocumentFrame
{
public:
    virtual ~DocumentFrame() = default;
    // Plain document windows have a status line of their own; directory
    // windows write to the main status bar.
    virtual bool hasOwnStatusBar() const = 0;
    virtual void setStatusText(const QByteArray &text) = 0;
    // Makes the window the active one, restoring it when minimised.
    virtual void activateFrame() = 0;
    // Closes the window and its views; the document is deleted by its owner.
    virtual void destroyFrame() = 0;
};

// Creates the windows of documents; the headless mode and tests have none.
class FrameFactory
{
public:
    virtual ~FrameFactory() = default;
    // templateId says the kind of document; openMode 1 marks the home window.
    virtual DocumentFrame *createFrame(CTarnwickDoc *document, int templateId, int openMode) = 0;
    // Makes the new window visible once its document has started fetching.
    virtual void initialUpdate(DocumentFrame *frame) = 0;
};
