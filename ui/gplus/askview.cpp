#include "ui/gplus/askview.h"

#include "gplus/asktext.h"
#include "items/displaytext.h"
#include "ui/fontmanager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

// Server texts on buttons and boxes: an "&" is shown, never a mnemonic.
QString buttonText(const QByteArray &bytes)
{
    QString text = displayText(bytes);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return text;
}

QLabel *plainLabel(const QByteArray &bytes, QWidget *parent)
{
    auto *label = new QLabel(displayText(bytes), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

// The radio buttons of a "choose" question, in as many equal columns as
// the form's width holds: each as wide as the widest choice and five of
// the widest characters.
class CAskView::ChoiceBox : public QGroupBox
{
public:
    ChoiceBox(const QString &title, QWidget *parent) : QGroupBox(title, parent)
    {
        m_grid = new QGridLayout(this);
    }

    void addChoice(QRadioButton *button) { m_buttons.append(button); }

    void reflow(int width)
    {
        if (m_buttons.isEmpty())
            return;
        const QFontMetrics metrics(font());
        int widest = 0;
        for (QRadioButton *button : std::as_const(m_buttons))
            widest = qMax(widest, metrics.horizontalAdvance(button->text()));
        const int column = widest + 5 * metrics.maxWidth();
        const int columns = qMax(1, width / qMax(1, column));
        if (columns == m_columns)
            return;
        m_columns = columns;
        for (QRadioButton *button : std::as_const(m_buttons))
            m_grid->removeWidget(button);
        for (int i = 0; i < m_buttons.size(); ++i)
            m_grid->addWidget(m_buttons.at(i), i / columns, i % columns);
        for (int c = 0; c < m_grid->columnCount(); ++c)
            m_grid->setColumnStretch(c, c < columns ? 1 : 0);
    }

private:
    QGridLayout *m_grid;
    QList<QRadioButton *> m_buttons;
    int m_columns = 0;
};

CAskView::CAskView(CAskText *document, FontManager *fonts, QWidget *parent)
    : QScrollArea(parent), m_document(document), m_fonts(fonts)
{
    setObjectName(QStringLiteral("askView"));
    setWidgetResizable(true);
    setFocusPolicy(Qt::StrongFocus);
    if (m_fonts) {
        setFont(m_fonts->font(FontManager::AskFont));
        connect(m_fonts, &FontManager::fontChanged, this, [this](int kind) {
            if (kind == FontManager::AskFont && m_fonts) {
                setFont(m_fonts->font(FontManager::AskFont));
                buildForm();
            }
        });
    }
    connect(document, &CTarnwickDoc::updateAllViews, this, [this](int hint) {
        if (hint == CAskText::FormBuilt)
            buildForm();
        else if (hint == CAskText::UploadFileChosen)
            showChosenFiles();
    });
    // The form may be known before the window is (ask lines from a menu).
    buildForm();
}

CAskView::~CAskView() = default;

int CAskView::usableWidth() const
{
    const int margin = QFontMetrics(font()).maxWidth();
    return viewport()->width() - 2 * margin;
}

void CAskView::buildForm()
{
    m_choosers.clear();
    m_choiceBoxes.clear();
    m_focusOrder.clear();
    m_send = nullptr;
    delete takeWidget();
    if (!m_document || !m_document->form())
        return;

    const QFontMetrics metrics(font());
    auto *form = new QWidget;
    form->setObjectName(QStringLiteral("askForm"));
    // The form is drawn in the colour of buttons, as dialogs are.
    form->setBackgroundRole(QPalette::Button);
    form->setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(form);
    const int margin = metrics.maxWidth();
    layout->setContentsMargins(margin, metrics.height() / 2, margin, metrics.height() / 2);
    layout->setSpacing(metrics.lineSpacing() / 2);

    AskForm *model = m_document->form();
    for (int i = 0; i < model->count(); ++i)
        addItem(model->item(i), layout);

    m_send = new QPushButton(QStringLiteral("  Send  "), form);
    m_send->setObjectName(QStringLiteral("sendButton"));
    // The blanks widen the button; a reader says its word.
    m_send->setAccessibleName(QStringLiteral("Send"));
    // Enter on the button itself presses it, as in a dialog.
    m_send->setAutoDefault(true);
    connect(m_send, &QPushButton::clicked, this, &CAskView::send);
    layout->addWidget(m_send, 0, Qt::AlignLeft);
    layout->addStretch(1);
    m_focusOrder.append(m_send);

    setWidget(form);
    for (qsizetype i = 1; i < m_focusOrder.size(); ++i)
        QWidget::setTabOrder(m_focusOrder.at(i - 1), m_focusOrder.at(i));
    reflowChoices();
    showChosenFiles();
    if (!m_focusOrder.isEmpty() && hasFocus())
        m_focusOrder.constFirst()->setFocus();
    setFocusProxy(m_focusOrder.isEmpty() ? nullptr : m_focusOrder.constFirst());
}

void CAskView::addItem(CAskItem *item, QVBoxLayout *layout)
{
    QWidget *form = layout->parentWidget();
    const QFontMetrics metrics(font());
    switch (item->kind()) {
    case CAskItem::Note: {
        auto *box = new QVBoxLayout;
        box->setSpacing(0);
        for (const QByteArray &line : static_cast<CAINote *>(item)->lines())
            box->addWidget(plainLabel(line, form));
        layout->addLayout(box);
        break;
    }
    case CAskItem::Ask:
    case CAskItem::AskF:
    case CAskItem::AskP: {
        auto *ask = static_cast<CAIAsk *>(item);
        layout->addWidget(plainLabel(item->prompt(), form));
        auto *field = new QLineEdit(displayText(ask->text()), form);
        field->setAccessibleName(displayText(item->prompt()));
        if (item->kind() == CAskItem::AskP)
            field->setEchoMode(QLineEdit::Password);
        field->setMinimumHeight(metrics.lineSpacing() * 3 / 2);
        connect(field, &QLineEdit::textEdited, this,
                [ask](const QString &text) { ask->setText(textBytes(text)); });
        connect(field, &QLineEdit::returnPressed, this, &CAskView::send);
        layout->addWidget(field);
        m_focusOrder.append(field);
        break;
    }
    case CAskItem::AskL: {
        auto *ask = static_cast<CAIAsk *>(item);
        layout->addWidget(plainLabel(item->prompt(), form));
        auto *field = new QPlainTextEdit(displayText(ask->text()), form);
        field->setAccessibleName(displayText(item->prompt()));
        // Tab moves on through the form; Enter starts a new line.
        field->setTabChangesFocus(true);
        field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        const int frame = 2 * field->frameWidth() + int(field->document()->documentMargin() * 2);
        field->setFixedHeight(metrics.lineSpacing() * 9 / 2 + frame);
        connect(field, &QPlainTextEdit::textChanged, this,
                [ask, field] { ask->setText(textBytes(field->toPlainText())); });
        layout->addWidget(field);
        m_focusOrder.append(field);
        break;
    }
    case CAskItem::Select: {
        auto *select = static_cast<CAISelect *>(item);
        auto *box = new QCheckBox(buttonText(item->prompt()), form);
        box->setChecked(select->isChecked());
        connect(box, &QCheckBox::toggled, this,
                [select](bool checked) { select->setChecked(checked); });
        layout->addWidget(box, 0, Qt::AlignLeft);
        m_focusOrder.append(box);
        break;
    }
    case CAskItem::Choose: {
        auto *choose = static_cast<CAIChoose *>(item);
        auto *box = new ChoiceBox(buttonText(item->prompt()), form);
        if (choose->choices().isEmpty()) {
            box->layout()->addWidget(plainLabel("<No useful choices provided>", box));
        } else {
            auto *group = new QButtonGroup(box);
            for (int i = 0; i < choose->choices().size(); ++i) {
                auto *button = new QRadioButton(buttonText(choose->choices().at(i)), box);
                button->setChecked(i == choose->selected());
                group->addButton(button, i);
                box->addChoice(button);
                m_focusOrder.append(button);
            }
            connect(group, &QButtonGroup::idToggled, this, [choose](int id, bool checked) {
                if (checked)
                    choose->setSelected(id);
            });
            m_choiceBoxes.append(box);
        }
        layout->addWidget(box);
        break;
    }
    case CAskItem::ChooseF: {
        auto *chooser = static_cast<CAIChooseF *>(item);
        layout->addWidget(plainLabel(item->prompt(), form));
        auto *row = new QHBoxLayout;
        auto *browse = new QPushButton(QStringLiteral(" ... "), form);
        browse->setAccessibleName(displayText(item->prompt()));
        connect(browse, &QPushButton::clicked, this, [this] {
            if (m_document)
                m_document->chooseUploadFile();
        });
        auto *file = new QLabel(form);
        file->setTextFormat(Qt::PlainText);
        auto *modeBox = new QGroupBox(form);
        // The box has no title on screen; a reader hears what its choice is.
        modeBox->setAccessibleName(QStringLiteral("Send the file as"));
        auto *modeRow = new QHBoxLayout(modeBox);
        auto *text = new QRadioButton(QStringLiteral("Text"), modeBox);
        auto *binary = new QRadioButton(QStringLiteral("Binary"), modeBox);
        auto *group = new QButtonGroup(modeBox);
        group->addButton(text, CAIChooseF::Text);
        group->addButton(binary, CAIChooseF::Binary);
        modeRow->addWidget(text);
        modeRow->addWidget(binary);
        connect(group, &QButtonGroup::idToggled, this, [chooser](int id, bool checked) {
            if (checked)
                chooser->setMode(CAIChooseF::Mode(id));
        });
        row->addWidget(browse);
        row->addWidget(file, 1);
        row->addWidget(modeBox);
        layout->addLayout(row);
        m_choosers.append({chooser, file, text, binary});
        m_focusOrder << browse << text << binary;
        break;
    }
    }
}

void CAskView::showChosenFiles()
{
    for (const Chooser &c : std::as_const(m_choosers)) {
        c.file->setText(c.item->path().isEmpty() ? QStringLiteral("<none>") : c.item->path());
        // Neither mode is checked until there is a file.
        for (QRadioButton *button : {c.text, c.binary}) {
            button->group()->setExclusive(false);
            button->setChecked(false);
            button->group()->setExclusive(true);
        }
        if (c.item->mode() == CAIChooseF::Text)
            c.text->setChecked(true);
        else if (c.item->mode() == CAIChooseF::Binary)
            c.binary->setChecked(true);
    }
}

void CAskView::send()
{
    if (m_document)
        m_document->SubmitForm();
}

void CAskView::reflowChoices()
{
    const int width = usableWidth();
    for (ChoiceBox *box : std::as_const(m_choiceBoxes))
        box->reflow(width);
}

void CAskView::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    reflowChoices();
}

void CAskView::keyPressEvent(QKeyEvent *event)
{
    // Keys the fields leave alone scroll the form.
    QScrollBar *bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Home:
        bar->setValue(bar->minimum());
        return;
    case Qt::Key_End:
        bar->setValue(bar->maximum());
        return;
    default:
        QScrollArea::keyPressEvent(event);
    }
}
