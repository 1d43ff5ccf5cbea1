#include "ui/dialogs/telnetprogramsdialog.h"

#include "ui/accessiblename.h"
#include "settings/appsettings.h"
#include "settings/commandline.h"
#include "settings/profilefile.h"
#include "documents/userinterface.h"
#include "items/displaytext.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int MaxProgramLength = 64;

} // namespace

CTelnetProgramsDialog::CTelnetProgramsDialog(AppSettings &settings, UserInterface &ui,
                                             QWidget *parent)
    : QDialog(parent), m_settings(settings), m_ui(ui)
{
    setWindowTitle(QStringLiteral("Edit Path to Telnet & 3270 Programs"));

    const auto makeEdit = [this](const QString &name, const QByteArray &text) {
        auto *edit = new QLineEdit(displayText(text));
        edit->setObjectName(name);
        edit->setMaxLength(MaxProgramLength);
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 48);
        edit->installEventFilter(this);
        return edit;
    };
    const auto makeBrowse = [this](const QString &name, void (CTelnetProgramsDialog::*slot)()) {
        auto *button = new QPushButton(QStringLiteral("..."));
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        return button;
    };
    m_telnet = makeEdit(QStringLiteral("telnetProgram"), m_settings.telnetProgram());
    m_tn3270 = makeEdit(QStringLiteral("tn3270Program"), m_settings.tn3270Program());
    m_viewProgram = makeEdit(QStringLiteral("viewProgram"), QByteArray());

    auto *grid = new QGridLayout;
    auto *telnetLabel = new QLabel(QStringLiteral("Telnet program:"));
    labelField(telnetLabel, m_telnet);
    grid->addWidget(telnetLabel, 0, 0);
    grid->addWidget(m_telnet, 0, 1);
    grid->addWidget(makeBrowse(QStringLiteral("browseTelnet"), &CTelnetProgramsDialog::OnBrowseTelnet), 0, 2);
    auto *tn3270Label = new QLabel(QStringLiteral("3270 program:"));
    labelField(tn3270Label, m_tn3270);
    grid->addWidget(tn3270Label, 1, 0);
    grid->addWidget(m_tn3270, 1, 1);
    grid->addWidget(makeBrowse(QStringLiteral("browse3270"), &CTelnetProgramsDialog::OnBrowse3270), 1, 2);

    // The extended views of the telnet and terminal kinds come with the
    // extended-view table; until a server names one, the list is empty.
    auto *views = new QGroupBox(QStringLiteral("Extended telnet views:"));
    auto *viewsLayout = new QGridLayout(views);
    m_views = new QListWidget;
    m_views->setObjectName(QStringLiteral("viewList"));
    auto *viewsLabel = new QLabel(QStringLiteral("Select a view:"));
    labelField(viewsLabel, m_views);
    m_views->setAccessibleName(QStringLiteral("Extended telnet views"));
    viewsLayout->addWidget(viewsLabel, 0, 0, 1, 2);
    viewsLayout->addWidget(m_views, 1, 0, 1, 2);
    viewsLayout->addWidget(m_viewProgram, 2, 0);
    viewsLayout->addWidget(makeBrowse(QStringLiteral("browseView"), &CTelnetProgramsDialog::OnBrowseView), 2, 1);

    auto *host = new QPushButton(QStringLiteral("Host"));
    host->setObjectName(QStringLiteral("hostButton"));
    host->setAutoDefault(false);
    connect(host, &QPushButton::clicked, this, &CTelnetProgramsDialog::OnHost);
    auto *port = new QPushButton(QStringLiteral("Port"));
    port->setObjectName(QStringLiteral("portButton"));
    port->setAutoDefault(false);
    connect(port, &QPushButton::clicked, this, &CTelnetProgramsDialog::OnPort);
    auto *placeholders = new QHBoxLayout;
    placeholders->addWidget(host);
    placeholders->addWidget(port);
    placeholders->addStretch(1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                         | QDialogButtonBox::Help);
    // Greyed until the manual is attached (QtUserInterface::attachHelp).
    buttons->button(QDialogButtonBox::Help)->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTelnetProgramsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTelnetProgramsDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(views);
    layout->addLayout(placeholders);
    layout->addWidget(buttons);
}

bool CTelnetProgramsDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *edit = qobject_cast<QLineEdit *>(watched))
            m_current = edit;
    }
    return QDialog::eventFilter(watched, event);
}

void CTelnetProgramsDialog::appendPlaceholder(const char *placeholder)
{
    if (!m_current) {
        m_ui.messageBox(QByteArray("Please click in path text window first!"));
        return;
    }
    m_current->setText(m_current->text() + u' ' + QLatin1String(placeholder));
}

void CTelnetProgramsDialog::OnHost()
{
    appendPlaceholder("%host%");
}

void CTelnetProgramsDialog::OnPort()
{
    appendPlaceholder("%port%");
}

void CTelnetProgramsDialog::browseInto(QLineEdit *edit, const QString &title)
{
    UserInterface::FileDialog dialog;
    dialog.save = false;
    dialog.title = title;
    dialog.filter = QStringLiteral("Programs|*|All Files (*.*)|*.*||");
    dialog.mustExist = true;
    const QString chosen = m_ui.fileDialog(dialog);
    if (chosen.isEmpty())
        return;
    // A path with blanks or quotes stays one program name when split.
    edit->setText(CommandLine::join({chosen}));
    m_current = edit;
}

void CTelnetProgramsDialog::OnBrowseTelnet()
{
    browseInto(m_telnet, QStringLiteral("Telnet Program"));
}

void CTelnetProgramsDialog::OnBrowse3270()
{
    browseInto(m_tn3270, QStringLiteral("3270 Emulator"));
}

void CTelnetProgramsDialog::OnBrowseView()
{
    QListWidgetItem *view = m_views->currentItem();
    if (!view) {
        m_ui.messageBox(QByteArray("Please select a view first"));
        return;
    }
    browseInto(m_viewProgram, view->text());
}

void CTelnetProgramsDialog::accept()
{
    ProfileFile::Edit edit(m_settings.file());
    if (!m_settings.setTelnetProgram(textBytes(m_telnet->text()))
        || !m_settings.setTn3270Program(textBytes(m_tn3270->text())) || !edit.commit()) {
        m_ui.messageBox(QByteArray("The programs could not be saved.\n")
                        + textBytes(m_settings.file().lastError()));
        return;
    }
    QDialog::accept();
}
