#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "updater/updateresult.h"

namespace pellwick {

// A file's bytes, left uninitialised until read: a package can be hundreds of megabytes.
struct FileBytes {
    std::unique_ptr<unsigned char[]> data;
    std::size_t size = 0;
    std::span<const unsigned char> bytes() const { return {data.get(), size}; }
};

// The installation directory, held open from the moment it was checked. Every
// file the updater touches is reached from this descriptor, one component at
// a time, so neither the process's current directory nor a symbolic link
// planted inside the installation can send a write somewhere else.
class InstallRoot {
public:
    // Opens an absolute path that names an existing directory. The path
    // itself may pass through links (where the installation was put is the
    // installer's business); nothing below it ever does.
    [[nodiscard]] static Result<InstallRoot> open(const std::string &absolutePath);

    InstallRoot(InstallRoot &&other) noexcept;
    InstallRoot &operator=(InstallRoot &&other) noexcept;
    InstallRoot(const InstallRoot &) = delete;
    InstallRoot &operator=(const InstallRoot &) = delete;
    ~InstallRoot();

    int fd() const { return m_fd; }
    const std::string &path() const { return m_path; }

    // A file directly in the installation directory, read whole; never
    // through a link.
    [[nodiscard]] Result<FileBytes> readFile(const std::string &name) const;

    // Creates a file directly in the installation directory exclusively,
    // after removing whatever an earlier run left under that name. Returns
    // the open descriptor, which the caller closes.
    [[nodiscard]] Result<int> createFresh(const std::string &name) const;

    // Renames within the installation directory; a link at the target is
    // replaced, never followed.
    [[nodiscard]] Status rename(const std::string &from, const std::string &to) const;

    // Removes a file (or a link itself) directly in the installation directory.
    void remove(const std::string &name) const;

    bool exists(const std::string &name) const;

private:
    InstallRoot(int fd, std::string path);

    int m_fd = -1;
    std::string m_path;
};

} // namespace pellwick
