#include "ui/itemtype.h"

#include "items/typetable.h"

#include <QComboBox>

CItemType::CItemType(QComboBox &comboBox)
    : m_comboBox(comboBox)
{
    for (const TypeTable::ChooserRow &row : TypeTable::ChooserRows)
        m_comboBox.addItem(QString::fromLatin1(row.name));
    m_comboBox.setCurrentIndex(m_comboBox.findText(QStringLiteral("Directory")));
    m_type = '1';
}

int CItemType::setType(char type)
{
    const int rowCount = int(TypeTable::ChooserRows.size());
    for (int row = 0; row < rowCount; ++row) {
        if (TypeTable::ChooserRows[row].type == type) {
            m_comboBox.setCurrentIndex(row);
            m_type = type;
            return row;
        }
    }
    return rowCount;
}

char CItemType::type()
{
    const int row = m_comboBox.currentIndex();
    if (row >= 0 && row < int(TypeTable::ChooserRows.size()))
        m_type = TypeTable::ChooserRows[row].type;
    return m_type;
}
