#pragma once

#include <QPointer>
#include <QWidget>

class CGopherXferDoc;
class QCheckBox;
class QLabel;

// The small form of a download window: the file's path, the byte count and
// the transfer rate, and two check boxes: view the file when it is complete,
// keep it after the program exits.
class CXferView : public QWidget
{
    Q_OBJECT

public:
    CXferView(CGopherXferDoc *document, bool viewWhenDone, QWidget *parent = nullptr);

    QString pathText() const;
    QString bytesText() const;
    QString rateText() const;
    QCheckBox *viewBox() const { return m_view; }
    QCheckBox *keepBox() const { return m_keep; }

private:
    void onUpdate(int hint);
    void onViewToggled(bool on);
    void onKeepToggled(bool on);

    QPointer<CGopherXferDoc> m_document;
    QLabel *m_path = nullptr;
    QLabel *m_bytes = nullptr;
    QLabel *m_rate = nullptr;
    QCheckBox *m_view = nullptr;
    QCheckBox *m_keep = nullptr;
};
