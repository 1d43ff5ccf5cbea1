#pragma once

#include <QPointer>
#include <QWidget>

class CPhoneText;
class FontManager;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The window of a CSO phone book: a query line, the searchable fields, the
// "  Search  " button and the list of response lines.
class CPhoneView : public QWidget
{
    Q_OBJECT

public:
    CPhoneView(CPhoneText *document, FontManager *fonts, QWidget *parent = nullptr);

    QLineEdit *queryEdit() const { return m_query; }
    QComboBox *fieldList() const { return m_fields; }
    QPushButton *searchButton() const { return m_search; }
    QListWidget *responseList() const { return m_responses; }
    // The selected lines in list order (for Copy and printing).
    QList<int> selectedLines() const;

    void startSearch();

private:
    void onUpdate(int hint, int a);
    // A response line as shown: in the encoding of the phone book's host.
    QString shownLine(int line) const;
    void onEncodingChanged();
    void onFieldChosen(int index);
    void onSelectionChanged();
    void onDoubleClicked(int row);
    void applyFont();

    QPointer<CPhoneText> m_document;
    FontManager *m_fonts = nullptr;
    QLabel *m_searchLabel = nullptr;
    QLineEdit *m_query = nullptr;
    QLabel *m_fieldsLabel = nullptr;
    QComboBox *m_fields = nullptr;
    QPushButton *m_search = nullptr;
    QListWidget *m_responses = nullptr;
    // Document lines already in the lists.
    int m_shown = 0;
    // The lines shown so far went to the field list.
    bool m_listingFields = true;
};
