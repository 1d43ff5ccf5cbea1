#pragma once

#include <QList>
#include <QPointer>
#include <QScrollArea>

class CAIChooseF;
class CAskItem;
class CAskText;
class FontManager;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

// The window of an ask form: one control group per question in line order,
// then "  Send  ". The controls write the answers into the document's items
// as the user works, so a rebuilt form (a new font) keeps them. Tab walks
// the questions in line order; Enter sends from single-line fields only.
class CAskView : public QScrollArea
{
    Q_OBJECT

public:
    CAskView(CAskText *document, FontManager *fonts, QWidget *parent = nullptr);
    ~CAskView() override;

    QPushButton *sendButton() const { return m_send; }
    // The focus chain of the form, in line order.
    const QList<QWidget *> &focusOrder() const { return m_focusOrder; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class ChoiceBox;
    struct Chooser
    {
        CAIChooseF *item;
        QLabel *file;
        QRadioButton *text;
        QRadioButton *binary;
    };

    void buildForm();
    void addItem(CAskItem *item, QVBoxLayout *layout);
    void showChosenFiles();
    void send();
    void reflowChoices();
    int usableWidth() const;

    QPointer<CAskText> m_document;
    FontManager *m_fonts;
    QPushButton *m_send = nullptr;
    QList<Chooser> m_choosers;
    QList<ChoiceBox *> m_choiceBoxes;
    QList<QWidget *> m_focusOrder;
};
