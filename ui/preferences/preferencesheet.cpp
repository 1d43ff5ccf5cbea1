#include "ui/preferences/preferencesheet.h"

#include "ui/dialogs/directoriesdialog.h"
#include "app/tarnwickapp.h"
#include "ui/dialogs/telnetprogramsdialog.h"
#include "ui/dialogs/useroptionsdialog.h"
#include "ui/dialogs/viewersdialog.h"
#include "settings/viewertable.h"
#include "ui/bookmarks/homegopherdialog.h"
#include "gplus/extendedviewtable.h"
#include "ui/gplus/extviewsdialog.h"
#include "ui/gplus/languagesdialog.h"
#include "gplus/languagetable.h"
#include "ui/preferences/homeviewpage.h"
#include "ui/preferences/networkpage.h"
#include "ui/preferences/toolbarpage.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CPreferenceSheet::CPreferenceSheet(CTarnwickApp &app, UserInterface &ui, QWidget *parent,
                                   const FrameLink &frame)
    : QDialog(parent), m_viewers(std::make_unique<ViewerTable>(app.profile()))
{
    setWindowTitle(QStringLiteral("Tarnwick Preferences"));
    m_tabs = new QTabWidget(this);
    // Nine tabs: every one in sight rather than behind scroll arrows.
    m_tabs->setUsesScrollButtons(false);

    // Tab order: "Home Gopher", "Home View", "General", "Toolbar", "Directories",
    // "Languages", "Telnet", "Viewers", "Extended Viewers".
    auto *home = new HomeGopherDialog(app.profile(), &ui, this);
    home->setPreferencesPage();
    addPage(home, QStringLiteral("Home Gopher"));
    auto *homeView = new CHomeViewPage(app.homeGophers(), &ui, this);
    addPage(homeView, QStringLiteral("Home View"), [homeView, rebuild = frame.rebuildHomeWindow](bool accepted) {
        if (accepted && homeView->changed() && rebuild)
            rebuild();
    });
    addPage(new UserOptionsDialog(app.settings(), &ui, this), QStringLiteral("General"));
    const ToolbarSettings toolbar = frame.toolbar ? frame.toolbar() : app.settings().toolbarSettings();
    addPage(new CToolbarPage(app.settings(), &ui, toolbar, frame.applyToolbar, this),
            QStringLiteral("Toolbar"));
    addPage(new DirectoriesDialog(app.settings(), &ui, this), QStringLiteral("Directories"));
    addPage(new CNetworkPage(app.network(), app.profile(), &ui, this), QStringLiteral("Network"));

    LanguageTable &languages = app.languages();
    auto *languagePage = new CLanguagesDialog(languages, this);
    addPage(languagePage, QStringLiteral("Languages"), [&languages, languagePage](bool accepted) {
        languages.afterDialog(accepted, languagePage->changed());
    });

    addPage(new CTelnetProgramsDialog(app.settings(), ui, this), QStringLiteral("Telnet"));

    ViewerTable *viewers = m_viewers.get();
    addPage(new ViewersDialog(*viewers, this), QStringLiteral("Viewers"), [viewers](bool accepted) {
        // Written at once, so that a "Viewers" dialog opened next reads it;
        // a failure leaves the old section, as when the dialog's table goes.
        if (accepted)
            static_cast<void>(viewers->save());
        else
            viewers->setModified(false);
    });

    ExtendedViewTable &views = app.extendedViews();
    if (!views.isLoaded())
        static_cast<void>(views.Load());
    auto *viewPage = new CExtViewsDialog(views, QByteArray(), 0, this);
    addPage(viewPage, QStringLiteral("Extended Viewers"), [&views, viewPage](bool accepted) {
        views.afterDialog(accepted, viewPage->changed());
    });

    // The sheet has no apply button.
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPreferenceSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CPreferenceSheet::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

CPreferenceSheet::~CPreferenceSheet()
{
    // Closed without OK or Cancel (the window's close box): nothing is kept.
    if (!m_finished)
        finish(false);
}

void CPreferenceSheet::addPage(QDialog *dialog, const QString &tabText,
                               std::function<void(bool)> after)
{
    dialog->setWindowFlags(Qt::Widget);
    // The sheet's own buttons stand for the page's; other buttons (Add,
    // Browse...) stay.
    for (auto *box : dialog->findChildren<QDialogButtonBox *>()) {
        for (auto role : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
            if (QPushButton *button = box->button(role)) {
                button->hide();
                // A hidden default would keep Return from the sheet's OK.
                button->setAutoDefault(false);
                button->setDefault(false);
            }
        }
    }
    // Return in a page is the sheet's OK (a page's own default, such as
    // "Add" on the Viewers page, would be one of several in one window; OK
    // applies a pending entry of that page anyway).
    dialog->installEventFilter(this);
    // Escape in a page leaves the whole sheet.
    connect(dialog, &QDialog::rejected, this, [this, dialog] {
        if (!m_finished) {
            dialog->show();
            reject();
        }
    });
    m_tabs->addTab(dialog, tabText);
    m_pages.push_back({dialog, std::move(after)});
}

bool CPreferenceSheet::eventFilter(QObject *watched, QEvent *event)
{
    // A key the page's focused control left alone reaches the page, which as
    // a QDialog would swallow Return while looking for a default of its own.
    if (event->type() == QEvent::KeyPress && m_ok) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (enter && modifiers == Qt::NoModifier) {
            m_ok->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QDialog *CPreferenceSheet::page(const QString &tabText) const
{
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->tabText(i) == tabText)
            return qobject_cast<QDialog *>(m_tabs->widget(i));
    }
    return nullptr;
}

void CPreferenceSheet::accept()
{
    for (const Page &page : m_pages) {
        page.dialog->setResult(QDialog::Rejected);
        page.dialog->accept();
        // QDialog::accept hides the page; the tab shows it again when chosen.
        if (page.dialog->result() != QDialog::Accepted) {
            m_tabs->setCurrentWidget(page.dialog);
            page.dialog->show();
            return;
        }
    }
    finish(true);
    QDialog::accept();
}

void CPreferenceSheet::reject()
{
    finish(false);
    QDialog::reject();
}

void CPreferenceSheet::finish(bool accepted)
{
    if (m_finished)
        return;
    m_finished = true;
    for (const Page &page : m_pages) {
        if (page.after)
            page.after(accepted);
    }
}
