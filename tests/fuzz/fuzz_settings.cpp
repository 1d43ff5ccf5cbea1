// The settings file: whatever a file holds, writing or deleting one key (or
// deleting one section) leaves every other key reading as before, and the
// key written reads back as written: blanks and quotes at its ends, and a
// NUL or any other byte inside it, included. A write that is refused leaves
// the file as it was.

#include "tests/fuzz/fuzzcheck.h"

#include "settings/profilefile.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

using Settings = QMap<std::pair<QByteArray, QByteArray>, QByteArray>;

// Names compare without regard to ASCII case, after blanks are trimmed.
QByteArray nameKey(QByteArrayView name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (begin < end && blank(name[begin]))
        ++begin;
    while (end > begin && blank(name[end - 1]))
        --end;
    return name.sliced(begin, end - begin).toByteArray().toLower();
}

Settings readAll(const QString &path)
{
    const ProfileFile file(path);
    Settings settings;
    for (const QByteArray &section : file.sections()) {
        for (const QByteArray &key : file.keys(section))
            settings.insert({nameKey(section), nameKey(key)}, file.getString(section, key));
    }
    return settings;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray text(FuzzedDataProvider &input, size_t maxLength)
{
    const std::string bytes = input.ConsumeRandomLengthString(maxLength);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QString settingsPath()
{
    // On a RAM disk when there is one: every input writes the file twice.
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        if (QFileInfo(shm).isWritable())
            return std::make_unique<QTemporaryDir>(shm + QStringLiteral("/twk-fuzz-XXXXXX"));
        return std::make_unique<QTemporaryDir>();
    }();
    return dir->filePath(QStringLiteral("tarnwick.ini"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    enum Operation { WriteKey, WriteNewKey, WriteNewSection, DeleteKey, DeleteSection, Count };
    const int operation = input.ConsumeIntegralInRange<int>(0, Count - 1);
    const size_t pick = input.ConsumeIntegral<uint16_t>();
    QByteArray newSection = text(input, 16);
    QByteArray newKey = text(input, 16);
    QByteArray value = text(input, 64);
    value.replace('\r', ' ');
    value.replace('\n', ' ');
    const std::string content = input.ConsumeRemainingBytesAsString();

    const QString path = settingsPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(content.data(), qint64(content.size()));
    }
    const Settings before = readAll(path);
    const QByteArray bytesBefore = fileBytes(path);

    // The section and key the operation works on.
    QByteArray section = newSection;
    QByteArray key = newKey;
    const QList<std::pair<QByteArray, QByteArray>> existing = before.keys();
    if (operation != WriteNewSection && !existing.isEmpty()) {
        const ProfileFile file(path);
        const QList<QByteArray> sections = file.sections();
        const auto &[sectionKey, keyKey] = existing.at(qsizetype(pick % size_t(existing.size())));
        for (const QByteArray &name : sections) {
            if (nameKey(name) == sectionKey)
                section = name;
        }
        if (operation != WriteNewKey)
            key = keyKey;
    }

    ProfileFile file(path);
    bool done = false;
    switch (operation) {
    case DeleteKey: done = file.deleteKey(section, key); break;
    case DeleteSection: done = file.deleteSection(section); break;
    default: done = file.writeString(section, key, value); break;
    }
    if (!done) {
        fuzzCompare("a refused change leaves the file as it was", bytesBefore, fileBytes(path));
        return 0;
    }

    const Settings after = readAll(path);
    const QByteArray sectionName = nameKey(section);
    const QByteArray keyName = nameKey(key);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        const bool inSection = it.key().first == sectionName;
        if (inSection && (operation == DeleteSection || it.key().second == keyName))
            continue;
        const QByteArray where = "key kept: [" + it.key().first + "] " + it.key().second;
        fuzzCheck(after.contains(it.key()), where.constData());
        fuzzCompare(where.constData(), it.value(), after.value(it.key()));
    }
    const ProfileFile reread(path);
    switch (operation) {
    case DeleteKey:
        fuzzCheck(!reread.hasKey(section, key), "deleted key gone");
        break;
    case DeleteSection:
        fuzzCheck(!reread.hasSection(section), "deleted section gone");
        break;
    default: {
        // Blanks and quotes at the ends are kept inside one more pair of
        // quotes: the value reads back as it was written.
        const QByteArray expected = value.left(ProfileFile::MaxValueLength);
        fuzzCompare("written value", expected, reread.getString(section, key, "<absent>"));
        break;
    }
    }
    return 0;
}
