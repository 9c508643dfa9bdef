#pragma once

#include <QString>

#include <functional>

// A file named by makeTempFileName() in the temporary directory, created
// exclusively and for its owner's eyes only (an existing name or a link is
// never opened: another name is tried) and deleted when the object goes, so
// a command leaves none behind whichever way it ends.
class ScopedTempFile {
public:
    ScopedTempFile() = default;
    ~ScopedTempFile();
    ScopedTempFile(const ScopedTempFile &) = delete;
    ScopedTempFile &operator=(const ScopedTempFile &) = delete;

    // Creates the file, empty. On failure returns false and sets `error`
    // to a Korean message naming the directory.
    bool create(const QString &directory, QString *error = nullptr);
    // The same with the candidate names given, one call a try.
    bool create(const QString &directory, const std::function<QString()> &nextName, QString *error);

    // A named pipe in place of the file, made as carefully.
    bool createFifo(const QString &directory, QString *error = nullptr);

    const QString &path() const { return m_path; }
    void remove();

private:
    bool make(const QString &directory, const std::function<QString()> &nextName,
        const std::function<bool(const QString &)> &maker, QString *error);

    QString m_path;
};
