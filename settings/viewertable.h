#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>

class ProfileFile;
class QObject;

// File extension to viewer program, kept in the "Viewers" section. A table
// lives as long as the operation that needs it: it reads the section when
// made and writes it back, as one group, when released with changes.
class ViewerTable
{
public:
    explicit ViewerTable(ProfileFile &file);
    ~ViewerTable();
    ViewerTable(const ViewerTable &) = delete;
    ViewerTable &operator=(const ViewerTable &) = delete;

    void SetViewer(const QByteArray &extension, const QByteArray &program);
    void RemoveViewer(const QByteArray &extension);
    void ReplaceViewer(const QByteArray &extension, const QByteArray &program);
    bool HasViewer(const QByteArray &extension) const { return m_viewers.contains(extension); }
    QByteArray GetViewer(const QByteArray &extension) const { return m_viewers.value(extension); }
    // "EXT<TAB>program" per entry, in the table's order.
    QList<QByteArray> lines() const;

    // Told the program for a file (empty when there is none).
    using ViewerFound = std::function<void(const QByteArray &program)>;
    // Lets the user enter a viewer for the extension in the table; true when
    // the dialog was accepted.
    using EditViewers = std::function<bool(ViewerTable &table, const QByteArray &extension)>;
    // The program for a file: the table's entry for the extension (compared
    // exactly; callers pass it in upper case), else the desktop's application
    // for the file, else what the user enters in the Viewers dialog. `found`
    // is called at once when the table answers; asking the desktop runs a
    // child process the window does not wait for, and `found` follows when it
    // ends, unless `context` (when given) is gone by then.
    static void FindViewer(ProfileFile &file, const QByteArray &extension, const QString &path,
                           EditViewers editViewers, QObject *context, ViewerFound found);

    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    // Writes the section now when it changed; false when the file could not
    // be written.
    [[nodiscard]] bool save();

    // Tells the program that opens a file with the desktop's default
    // application for its type ("xdg-open"), or empty when the desktop has
    // none. Tests replace it.
    static std::function<void(const QString &path, QObject *context, ViewerFound found)>
        associatedProgram;
    static void desktopAssociatedProgram(const QString &path, QObject *context, ViewerFound found);

private:
    ProfileFile &m_file;
    QMap<QByteArray, QByteArray> m_viewers;
    bool m_modified = false;
};
