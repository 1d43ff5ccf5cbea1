#pragma once

class QComboBox;

// The type chooser of the item forms: fills one combo box (not owned) with the
// chooser rows of the type table and keeps the chosen type character.
class CItemType
{
public:
    // Fills the combo box and selects "Directory".
    explicit CItemType(QComboBox &comboBox);

    // Selects the row of the type and makes it current; a type without a row
    // changes nothing. Returns the row, or the row count when there is none.
    int setType(char type);

    // The type of the selected row, or the last current type when no row is
    // selected.
    char type();

private:
    QComboBox &m_comboBox;
    char m_type = '1';
};
