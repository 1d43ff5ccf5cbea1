#pragma once

#include "documents/tarnwickdoc.h"
#include "gplus/askform.h"

#include <memory>

// A Gopher+ ask form: fetches the item's "+ASK" block unless it is known
// already, builds the form, and on Send submits the answers (and a file, if
// the form asks for one) as a new request whose reply opens like any item.
// Then the form's window goes away.
class CAskText : public CTarnwickDoc
{
    Q_OBJECT

public:
    // Received ask text is kept below this many bytes.
    static constexpr int ReceivedLimit = 32767;
    // Update hints for the form's view.
    enum Hint { FormBuilt = 1, UploadFileChosen = 2 };

    explicit CAskText(const AppContext &context, QObject *parent = nullptr);
    ~CAskText() override;

    bool Fetch(const CBookmark &item) override;
    void requestStarting() override;
    bool endsAtDotLine() const override { return true; }
    void OnReceive() override;
    void OnReceiveDone(int status) override;

    // The form, once the ask lines are known.
    AskForm *form() const { return m_form.get(); }
    QByteArray receivedText() const { return m_received; }
    QByteArray savedSelector() const { return m_savedSelector; }

    // " ... " of a file chooser: asks the user for a file and gives it to
    // every file chooser of the form.
    void chooseUploadFile();
    // Gives the file to every file chooser; false when it was refused.
    bool setUploadFile(const QString &path);
    // "Send": the answers go out as a new request, opened with OpenItem; the
    // form closes. False, with the user told, when the upload file cannot
    // be opened: nothing is sent and the form stays.
    bool SubmitForm();

    // The request that sends the form as it stands, without any upload;
    // what SubmitForm sends when the form has no file chooser.
    QByteArray answerRequest() const;

private:
    void buildForm();

    QByteArray m_received;
    QByteArray m_savedSelector;
    bool m_truncated = false;
    std::unique_ptr<AskForm> m_form;
};
