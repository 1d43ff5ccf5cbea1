#pragma once

#include "settings/appsettings.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class CTarnwickApp;
class QPushButton;
class QTabWidget;
class UserInterface;
class ViewerTable;

// "Tarnwick Preferences": one tabbed sheet over the settings that also have
// dialogs of their own. Each page is the stand-alone dialog itself, embedded
// without its OK and Cancel buttons, so every field limit and every write
// stays in one place. OK writes page by page in tab order; a page that
// refuses (a field out of range, a file that cannot be written) is brought
// forward and the sheet stays open.
class CPreferenceSheet : public QDialog
{
    Q_OBJECT

public:
    // What the "Toolbar" and "Home View" pages change in the main frame;
    // without a frame they only write the settings.
    struct FrameLink
    {
        std::function<ToolbarSettings()> toolbar;
        std::function<void(const ToolbarSettings &)> applyToolbar;
        std::function<void()> rebuildHomeWindow;
    };

    CPreferenceSheet(CTarnwickApp &app, UserInterface &ui, QWidget *parent = nullptr,
                     const FrameLink &frame = {});
    ~CPreferenceSheet() override;

    QTabWidget *tabs() const { return m_tabs; }
    // The page under a tab text, or nullptr.
    QDialog *page(const QString &tabText) const;
    template<class T> T *page(const QString &tabText) const
    {
        return qobject_cast<T *>(page(tabText));
    }

    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Page
    {
        QDialog *dialog = nullptr;
        // What the page's owner does once the sheet closes: true for OK.
        std::function<void(bool)> after;
    };
    void addPage(QDialog *dialog, const QString &tabText, std::function<void(bool)> after = {});
    void finish(bool accepted);

    QTabWidget *m_tabs = nullptr;
    QPushButton *m_ok = nullptr;
    std::vector<Page> m_pages;
    std::unique_ptr<ViewerTable> m_viewers;
    bool m_finished = false;
};
