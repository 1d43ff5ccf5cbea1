#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;

// The modeless Find dialog: a text of at most 256 characters, the direction
// and the match-case switch. Every "Find Next" asks the frame to search.
class FindDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxText = 256;

    explicit FindDialog(QWidget *parent = nullptr);

    void setState(const QString &text, bool down, bool matchCase);
    QString text() const;
    bool down() const;
    bool matchCase() const;

Q_SIGNALS:
    void findNext(const QString &text, bool down, bool matchCase);

private:
    QLineEdit *m_text;
    QRadioButton *m_up;
    QRadioButton *m_down;
    QCheckBox *m_matchCase;
};
