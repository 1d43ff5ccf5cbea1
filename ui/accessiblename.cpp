#include "ui/accessiblename.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QString>

QString nameFromLabel(QString text)
{
    // "&&" is a shown ampersand; a single "&" marks the mnemonic.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(1), QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

void labelField(QLabel *label, QWidget *field)
{
    label->setBuddy(field);
    if (qobject_cast<QAbstractItemView *>(field) && field->accessibleName().isEmpty())
        field->setAccessibleName(nameFromLabel(label->text()));
}
