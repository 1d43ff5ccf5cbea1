#pragma once

#include <QPointer>
#include <QWidget>

class CSearchText;
class QLineEdit;
class QPushButton;

// The form of an index search: the words to search for and the Search button.
class CSearchView : public QWidget
{
    Q_OBJECT

public:
    explicit CSearchView(CSearchText *document, QWidget *parent = nullptr);

    QLineEdit *wordsEdit() const { return m_edit; }
    QPushButton *searchButton() const { return m_search; }

    // Shows the document's words.
    void OnUpdate();
    // The Search button: the words typed become the document's, and a
    // search runs.
    void OnSearch();

private:
    void onWordsEdited(const QString &text);

    QPointer<CSearchText> m_document;
    QLineEdit *m_edit = nullptr;
    QPushButton *m_search = nullptr;
};
