#include "ui/preferences/homeviewpage.h"

#include "bookmarks/homegophers.h"
#include "documents/userinterface.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QRadioButton>
#include <QToolButton>

namespace {

struct Pane
{
    char name; // D list, T navigator, B bookmarks
    double x, y, w, h;
};

QColor mixed(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * share,
                            a.greenF() + (b.greenF() - a.greenF()) * share,
                            a.blueF() + (b.blueF() - a.blueF()) * share);
}

// A small drawing of a home window's panes; the arrangements are the ones
// the directory window builds. Its colours are the palette's: the panes are
// the base colour tinted three ways, lines and letters the text colour.
QPixmap layoutPicture(int layout, const QPalette &palette)
{
    static const QList<QList<Pane>> layouts{
        {{'T', 0, 0, .5, 1}, {'D', .5, 0, .5, 1}},
        {{'T', 0, 0, 1, .5}, {'D', 0, .5, 1, .5}},
        {{'B', 0, 0, .5, .5}, {'T', 0, .5, .5, .5}, {'D', .5, 0, .5, 1}},
        {{'B', 0, 0, 1. / 3, 1}, {'T', 1. / 3, 0, 1. / 3, 1}, {'D', 2. / 3, 0, 1. / 3, 1}},
        {{'D', 0, 0, .5, 1}, {'T', .5, 0, .5, 1}},
        {{'D', 0, 0, 1, .5}, {'T', 0, .5, 1, .5}},
        {{'T', 0, 0, .5, .5}, {'B', 0, .5, .5, .5}, {'D', .5, 0, .5, 1}},
        {{'B', 0, 0, 1, 1. / 3}, {'T', 0, 1. / 3, 1, 1. / 3}, {'D', 0, 2. / 3, 1, 1. / 3}},
    };
    const QSize size(60, 42);
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const QColor list = mixed(base, palette.color(QPalette::Active, QPalette::Highlight), 0.25);
    const QColor tree = mixed(base, palette.color(QPalette::Active, QPalette::Link), 0.15);
    const QColor marks = mixed(base, text, 0.12);
    QPixmap picture(size);
    picture.fill(base);
    QPainter painter(&picture);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    for (const Pane &pane : layouts.value(layout)) {
        const QRectF r(pane.x * (size.width() - 1), pane.y * (size.height() - 1),
                       pane.w * (size.width() - 1), pane.h * (size.height() - 1));
        painter.fillRect(r, pane.name == 'D' ? list : pane.name == 'T' ? tree : marks);
        painter.setPen(text);
        painter.drawRect(r);
        painter.drawText(r, Qt::AlignCenter, QString(QLatin1Char(pane.name)));
    }
    return picture;
}

} // namespace

CHomeViewPage::CHomeViewPage(HomeGophers &home, UserInterface *ui, QWidget *parent)
    : QDialog(parent), m_home(home), m_ui(ui), m_layouts(new QButtonGroup(this))
{
    setWindowTitle(QStringLiteral("Home View"));
    auto *grid = new QGridLayout(this);
    for (int n = 0; n < 8; ++n) {
        auto *radio = new QRadioButton(QStringLiteral("Layout &%1").arg(n + 1), this);
        m_layouts->addButton(radio, n);
        auto *picture = new QToolButton(this);
        picture->setObjectName(QStringLiteral("LAYOUT%1").arg(n + 1));
        picture->setAccessibleName(radio->text().remove(QLatin1Char('&')));
        picture->setIcon(layoutPicture(n, palette()));
        picture->setIconSize(QSize(60, 42));
        connect(picture, &QToolButton::clicked, radio, [radio] { radio->setChecked(true); });
        // Two columns of four, each a radio button beside its picture.
        grid->addWidget(radio, n % 4, (n / 4) * 3);
        grid->addWidget(picture, n % 4, (n / 4) * 3 + 1);
    }
    grid->addWidget(new QLabel(QStringLiteral("D: directory list, T: navigator, B: bookmarks"), this),
                    4, 0, 1, 6);
    grid->setColumnMinimumWidth(2, 24);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(5, 1);
    const int stored = m_home.GetHomeType();
    QAbstractButton *start = m_layouts->button(stored);
    (start ? start : m_layouts->button(0))->setChecked(true);
}

int CHomeViewPage::layout() const
{
    return m_layouts->checkedId();
}

void CHomeViewPage::accept()
{
    const int chosen = layout();
    if (chosen != m_home.GetHomeType()) {
        if (!m_home.SetHomeType(chosen)) {
            if (m_ui)
                m_ui->messageBox(QByteArray("The home view could not be saved."));
            return;
        }
        m_changed = true;
    }
    QDialog::accept();
}
