#include "ui/dialogs/aboutdialog.h"

#include "ui/dialogs/fixedsize.h"

#include "ui/programicon.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

AboutDialog::AboutDialog(const QString &settingsFile, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tarnwick"));

    auto *icon = new QLabel;
    icon->setObjectName(QStringLiteral("programIcon"));
    icon->setPixmap(ProgramIcon::icon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto *name = new QLabel(programName());
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    name->setFont(nameFont);
    name->setObjectName(QStringLiteral("programName"));

    auto *version = new QLabel(QStringLiteral("Version %1, released %2")
                                   .arg(AboutDialog::version(),
                                        releaseDate().toString(Qt::ISODate)));
    version->setObjectName(QStringLiteral("version"));
    auto *what = new QLabel(QStringLiteral("A desktop client for Gopher and Gopher+ (RFC 1436)."));

    // Which file holds the settings, and so names the programs started.
    auto *settings = new QLabel(QStringLiteral("Settings file: %1")
                                    .arg(settingsFile.isEmpty() ? QStringLiteral("none")
                                                                : settingsFile));
    settings->setObjectName(QStringLiteral("settingsFile"));
    settings->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *text = new QVBoxLayout;
    text->addWidget(name);
    text->addWidget(version);
    text->addSpacing(6);
    text->addWidget(what);
    text->addWidget(settings);
    text->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &AboutDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(12);
    layout->addWidget(buttons);
    makeFixedSizeDialog(this);
}

QString AboutDialog::programName()
{
    return QStringLiteral("Tarnwick 2.0");
}

QString AboutDialog::version()
{
    return QStringLiteral("2.0.0");
}

QDate AboutDialog::releaseDate()
{
    return QDate(2026, 12, 7);
}
