#include "updater/packageinstaller.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pellwick {

namespace {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    Fd(Fd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd &operator=(Fd &&other) noexcept
    {
        reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes and reports the error close() found (a delayed write error).
    int close()
    {
        const int rc = ::close(std::exchange(m_fd, -1));
        return rc == 0 ? 0 : errno;
    }

private:
    int m_fd = -1;
};

// ---- paths below the installation directory ----

// A location as components below the installation directory: the folder
// and the last name. An empty name is the base folder itself.
struct Place {
    std::vector<std::string> parent;
    std::string name;
    std::string shown; // as the script wrote it, for messages
};

std::string joined(const std::vector<std::string> &parts, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i)
            text += '/';
        text += parts[i];
    }
    return text;
}

std::string joined(const std::vector<std::string> &parts)
{
    return joined(parts, parts.size());
}

std::vector<std::string> split(std::string_view path)
{
    std::vector<std::string> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        // "..": refused when the package was read; "." and empty parts name nothing new.
        if (!part.empty() && part != ".")
            parts.emplace_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

Place placeOf(const ScriptLocation &where)
{
    std::vector<std::string> parts;
    std::string shown;
    switch (where.base) {
    case ScriptBase::Current:
        shown = "ae:";
        break;
    case ScriptBase::Windows:
        parts = {"lib"};
        shown = "wd:";
        break;
    case ScriptBase::Idn:
        parts = {"lib", "idn"};
        shown = "id:";
        break;
    case ScriptBase::Unknown:
        break;
    }
    for (char c : where.path)
        shown.push_back(c == '/' ? '\\' : c);
    for (std::string &part : split(where.path))
        parts.push_back(std::move(part));
    Place place;
    place.shown = std::move(shown);
    if (!parts.empty()) {
        place.name = std::move(parts.back());
        parts.pop_back();
    }
    place.parent = std::move(parts);
    return place;
}

struct Walk {
    Fd fd; // the folder, when reached
    int error = 0; // errno of the component that stopped the walk
    bool link = false; // that component is a symbolic link
    std::size_t reached = 0; // components opened
};

// Opens a folder below the root one component at a time, never following a link.
Walk walk(int rootFd, const std::vector<std::string> &dirs)
{
    Walk result;
    result.fd.reset(::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!result.fd.valid()) {
        result.error = errno;
        return result;
    }
    for (const std::string &dir : dirs) {
        const int next
            = ::openat(result.fd.get(), dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            result.error = errno;
            struct stat info { };
            if (::fstatat(result.fd.get(), dir.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0
                && S_ISLNK(info.st_mode))
                result.link = true;
            result.fd.reset();
            return result;
        }
        result.fd.reset(next);
        ++result.reached;
    }
    return result;
}

Walk walk(int rootFd, std::string_view folder)
{
    return walk(rootFd, split(folder));
}

std::optional<struct stat> statAt(int dirFd, const std::string &name)
{
    struct stat info { };
    if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return info;
}

bool isEmptyDirectory(int dirFd, const std::string &name)
{
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool empty = true;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (entryName != "." && entryName != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

// Renames without replacing anything already there.
int renameKeeping(int dirFd, const std::string &from, const std::string &to)
{
    if (::renameat2(dirFd, from.c_str(), dirFd, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without RENAME_NOREPLACE: the hidden name is ours alone.
    if (statAt(dirFd, to))
        return EEXIST;
    return ::renameat(dirFd, from.c_str(), dirFd, to.c_str()) == 0 ? 0 : errno;
}

// ---- the journal ----
//
// One line per change, written and synced before the change is made: a
// header, the version, then "md", "del", "rd", "new" and "put" lines, and
// "done" once every new file is in place. Names are hex-encoded, so any byte
// a script may hold survives.

constexpr char kJournalHeader[] = "pellwick-journal 1";

std::string hex(std::string_view text)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out = text.empty() ? "-" : "";
    for (unsigned char c : text) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::optional<std::string> unhex(std::string_view text)
{
    if (text == "-")
        return std::string();
    if (text.size() % 2)
        return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = value(text[i]);
        const int low = value(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
    }
    return out;
}

struct Entry {
    std::string kind; // md, del, rd, new, put, done
    std::string folder; // relative to the root, '/'-separated
    std::string name; // md, del, rd, put: the target
    std::string temp; // new, put: the hidden new file
    std::string backup; // del, rd, put: the hidden old one; empty when nothing was replaced
};

std::string lineOf(const Entry &e)
{
    if (e.kind == "done")
        return "done\n";
    if (e.kind == "md")
        return "md " + hex(e.folder) + " " + hex(e.name) + "\n";
    if (e.kind == "new")
        return "new " + hex(e.folder) + " " + hex(e.temp) + "\n";
    if (e.kind == "put")
        return "put " + hex(e.folder) + " " + hex(e.temp) + " " + hex(e.name) + " " + hex(e.backup) + "\n";
    return e.kind + " " + hex(e.folder) + " " + hex(e.name) + " " + hex(e.backup) + "\n";
}

struct JournalText {
    std::uint32_t version = 0;
    std::vector<Entry> entries;
    bool done = false;
};

std::optional<JournalText> parseJournal(std::string_view text)
{
    JournalText journal;
    bool header = false;
    bool version = false;
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        if (feed == std::string_view::npos)
            break; // a line cut short by the crash: the change it announced never began
        const std::string_view line = text.substr(0, feed);
        text.remove_prefix(feed + 1);
        std::vector<std::string_view> fields;
        for (std::string_view rest = line; !rest.empty();) {
            const std::size_t space = rest.find(' ');
            fields.push_back(rest.substr(0, space));
            if (space == std::string_view::npos)
                break;
            rest.remove_prefix(space + 1);
        }
        if (!header) {
            if (line != kJournalHeader)
                return std::nullopt;
            header = true;
            continue;
        }
        if (fields.empty())
            return std::nullopt;
        const std::string_view kind = fields[0];
        if (kind == "version" && fields.size() == 2) {
            journal.version = static_cast<std::uint32_t>(std::stoul(std::string(fields[1])));
            version = true;
            continue;
        }
        if (kind == "done" && fields.size() == 1) {
            journal.done = true;
            continue;
        }
        Entry entry;
        entry.kind = std::string(kind);
        std::vector<std::string> values;
        for (std::size_t i = 1; i < fields.size(); ++i) {
            std::optional<std::string> value = unhex(fields[i]);
            if (!value)
                return std::nullopt;
            values.push_back(std::move(*value));
        }
        if ((kind == "md" || kind == "new") && values.size() == 2) {
            entry.folder = values[0];
            (kind == "md" ? entry.name : entry.temp) = values[1];
        } else if ((kind == "del" || kind == "rd") && values.size() == 3) {
            entry.folder = values[0];
            entry.name = values[1];
            entry.backup = values[2];
        } else if (kind == "put" && values.size() == 4) {
            entry.folder = values[0];
            entry.temp = values[1];
            entry.name = values[2];
            entry.backup = values[3];
        } else {
            return std::nullopt;
        }
        journal.entries.push_back(std::move(entry));
    }
    if (!header || !version)
        return std::nullopt;
    return journal;
}

void syncFolder(int rootFd, const std::string &folder)
{
    Walk w = walk(rootFd, folder);
    if (w.fd.valid())
        ::fsync(w.fd.get());
}

// Puts back what the journal's changes replaced, newest first. Every step
// looks before it acts, so running it again after a crash is harmless.
void rollBack(int rootFd, const std::vector<Entry> &entries)
{
    std::set<std::string> folders;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const Entry &e = *it;
        Walk w = walk(rootFd, e.folder);
        if (!w.fd.valid())
            continue;
        const int dir = w.fd.get();
        folders.insert(e.folder);
        if (e.kind == "put") {
            if (!e.backup.empty()) {
                const std::optional<struct stat> kept = statAt(dir, e.backup);
                const std::optional<struct stat> current = statAt(dir, e.name);
                // Still the same file (the hard link was made, the rename not):
                // rename() would leave both names, so drop the extra one.
                if (kept && current && kept->st_dev == current->st_dev && kept->st_ino == current->st_ino)
                    ::unlinkat(dir, e.backup.c_str(), 0);
                else if (kept)
                    ::renameat(dir, e.backup.c_str(), dir, e.name.c_str());
                ::unlinkat(dir, e.temp.c_str(), 0);
            } else if (statAt(dir, e.temp)) {
                ::unlinkat(dir, e.temp.c_str(), 0);
            } else if (const auto info = statAt(dir, e.name); info && !S_ISDIR(info->st_mode)) {
                ::unlinkat(dir, e.name.c_str(), 0); // it was new: there was nothing before it
            }
        } else if (e.kind == "new") {
            ::unlinkat(dir, e.temp.c_str(), 0);
        } else if (e.kind == "md") {
            ::unlinkat(dir, e.name.c_str(), AT_REMOVEDIR);
        } else if ((e.kind == "del" || e.kind == "rd") && statAt(dir, e.backup)) {
            ::renameat(dir, e.backup.c_str(), dir, e.name.c_str());
        }
    }
    for (const std::string &folder : folders)
        syncFolder(rootFd, folder);
}

class Transaction {
public:
    Transaction(const InstallRoot &root, const InstallOptions &options)
        : m_root(root)
        , m_options(options)
    {
        std::random_device random;
        static constexpr char digits[] = "0123456789abcdef";
        for (int i = 0; i < 8; ++i)
            m_nonce.push_back(digits[random() & 15]);
    }

    Status run(const PackageImage &image);

    // The kill hook of the tests: a real SIGKILL, so nothing gets to tidy up.
    void step()
    {
        if (m_options.killAt > 0 && ++m_steps == m_options.killAt)
            std::raise(SIGKILL);
    }

    // After "done": record the install, then drop what it replaced.
    Status finish(const std::vector<Entry> &entries, std::uint32_t version);

private:
    struct Planned {
        ScriptOpKind kind;
        Place place;
        std::size_t offset = 0; // write: start of its data in the payload
        std::size_t size = 0;
        bool superseded = false; // a later write replaces the same file
    };
    struct Staged {
        Fd folder;
        std::string folderPath;
        std::string name;
        std::string temp;
        std::string backup;
        const Planned *op = nullptr;
    };

    // The steps of run(), in order. Each one from runDirectoryCommands() on
    // rolls back everything logged so far when it fails.
    Result<std::vector<Planned>> makePlan(const PackageImage &image) const;
    Status openJournal();
    Status runDirectoryCommands(const std::vector<Planned> &plan);
    Status stageAll(
        const std::vector<Planned> &plan, const std::vector<char> &payload, std::vector<Staged> &files);
    Status putAll(const std::vector<Staged> &files);
    Status commit();

    Status put(const Staged &file);
    Status check(const std::vector<Planned> &plan) const;
    Status log(const std::vector<Entry> &entries);
    Status runDirectoryCommand(const Planned &op);
    Status stage(Staged &file, const std::vector<char> &payload);
    Status abort(Failure failure);
    std::string hiddenName() { return ".pellwick-" + m_nonce + "-" + std::to_string(++m_names); }

    const InstallRoot &m_root;
    const InstallOptions &m_options;
    Fd m_journal;
    std::string m_pendingHeader;
    std::vector<Entry> m_logged;
    std::string m_nonce;
    int m_names = 0;
    int m_steps = 0;
};

Status Transaction::log(const std::vector<Entry> &entries)
{
    std::string text = std::move(m_pendingHeader);
    m_pendingHeader.clear();
    const bool first = !text.empty();
    for (const Entry &e : entries)
        text += lineOf(e);
    std::string_view rest = text;
    while (!rest.empty()) {
        const ssize_t wrote = ::write(m_journal.get(), rest.data(), rest.size());
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return fail(FailureKind::Disk,
                std::string("설치 기록을 쓸 수 없습니다: ") + kJournalFileName + " (" + describeErrno(errno)
                    + ")");
        rest.remove_prefix(static_cast<std::size_t>(wrote));
    }
    if (::fdatasync(m_journal.get()) != 0)
        return fail(FailureKind::Disk,
            std::string("설치 기록을 쓸 수 없습니다: ") + kJournalFileName + " (" + describeErrno(errno)
                + ")");
    // The journal's own name must be on disk before the change it announces.
    if (first && ::fsync(m_root.fd()) != 0)
        return fail(FailureKind::Disk,
            std::string("설치 기록을 쓸 수 없습니다: ") + kJournalFileName + " (" + describeErrno(errno)
                + ")");
    m_logged.insert(m_logged.end(), entries.begin(), entries.end());
    return {};
}

Status Transaction::abort(Failure failure)
{
    rollBack(m_root.fd(), m_logged);
    m_journal.reset();
    ::unlinkat(m_root.fd(), kJournalFileName, 0);
    ::fsync(m_root.fd());
    return tl::unexpected<Failure>(std::move(failure));
}

Status Transaction::check(const std::vector<Planned> &plan) const
{
    // Folders an "md" will have made before the writes, wherever it stands in the script.
    std::set<std::string> made;
    for (const Planned &op : plan) {
        if (op.kind == ScriptOpKind::MakeDir && !op.place.name.empty()) {
            std::vector<std::string> full = op.place.parent;
            full.push_back(op.place.name);
            made.insert(joined(full));
        }
    }
    for (const Planned &op : plan) {
        const Place &place = op.place;
        if (place.parent.empty() // only "ae:" names reach the top of the installation
            && std::find(std::begin(kUpdaterFiles), std::end(kUpdaterFiles), place.name)
                != std::end(kUpdaterFiles))
            return fail(FailureKind::BadPackage,
                "업데이트 프로그램의 파일은 패키지가 건드릴 수 없습니다: " + place.shown);
        Walk w = walk(m_root.fd(), place.parent);
        if (w.link)
            return fail(FailureKind::LinkOnPath,
                "설치 폴더 안의 심볼릭 링크는 따라가지 않습니다: " + place.shown + " ("
                    + joined(place.parent, w.reached + 1) + ")");
        std::optional<struct stat> target;
        if (w.fd.valid() && !place.name.empty()) {
            target = statAt(w.fd.get(), place.name);
            if (target && S_ISLNK(target->st_mode))
                return fail(FailureKind::LinkOnPath,
                    "설치 폴더 안의 심볼릭 링크는 따라가지 않습니다: " + place.shown);
        }
        if (op.kind != ScriptOpKind::Write || op.superseded)
            continue;
        if (place.name.empty())
            return fail(FailureKind::BadPackage, "파일 이름이 없는 write 줄입니다: " + place.shown);
        if (!w.fd.valid() && !(w.error == ENOENT && made.count(joined(place.parent))))
            return fail(FailureKind::BadPackage,
                "쓸 폴더가 없습니다: " + place.shown
                    + (w.error == ENOENT ? "" : " (" + describeErrno(w.error) + ")"));
        if (target && S_ISDIR(target->st_mode))
            return fail(
                FailureKind::BadPackage, "같은 이름의 폴더가 있어 파일을 쓸 수 없습니다: " + place.shown);
    }
    return {};
}

Status Transaction::runDirectoryCommand(const Planned &op)
{
    const Place &place = op.place;
    if (place.name.empty())
        return {}; // the base folder itself is never removed, and always there
    Walk w = walk(m_root.fd(), place.parent);
    if (w.link)
        return fail(
            FailureKind::LinkOnPath, "설치 폴더 안의 심볼릭 링크는 따라가지 않습니다: " + place.shown);
    if (!w.fd.valid())
        return {}; // a missing folder: the command fails on its own, as it always did
    const int dir = w.fd.get();
    const std::optional<struct stat> target = statAt(dir, place.name);
    if (target && S_ISLNK(target->st_mode))
        return fail(
            FailureKind::LinkOnPath, "설치 폴더 안의 심볼릭 링크는 따라가지 않습니다: " + place.shown);

    Entry entry;
    entry.folder = joined(place.parent);
    entry.name = place.name;
    switch (op.kind) {
    case ScriptOpKind::Delete:
        if (!target || S_ISDIR(target->st_mode))
            return {};
        entry.kind = "del";
        entry.backup = hiddenName();
        break;
    case ScriptOpKind::RemoveDir:
        if (!target || !S_ISDIR(target->st_mode) || !isEmptyDirectory(dir, place.name))
            return {};
        entry.kind = "rd";
        entry.backup = hiddenName();
        break;
    case ScriptOpKind::MakeDir:
        if (target)
            return {};
        entry.kind = "md";
        break;
    case ScriptOpKind::Write:
        return {};
    }
    if (Status logged = log({entry}); !logged)
        return logged;
    step();
    // Errors of these commands are the package's own business and are let
    // pass, as they always were; a write that then lacks its folder fails.
    if (entry.kind == "md")
        ::mkdirat(dir, place.name.c_str(), 0777);
    else
        renameKeeping(dir, place.name, entry.backup);
    return {};
}

Status Transaction::stage(Staged &file, const std::vector<char> &payload)
{
    const Place &place = file.op->place;
    Walk w = walk(m_root.fd(), place.parent);
    if (w.link)
        return fail(
            FailureKind::LinkOnPath, "설치 폴더 안의 심볼릭 링크는 따라가지 않습니다: " + place.shown);
    if (!w.fd.valid())
        return fail(FailureKind::BadPackage,
            "쓸 폴더가 없습니다: " + place.shown
                + (w.error == ENOENT ? "" : " (" + describeErrno(w.error) + ")"));
    file.folder = std::move(w.fd);
    const int dir = file.folder.get();
    const std::optional<struct stat> old = statAt(dir, place.name);
    if (old && S_ISLNK(old->st_mode))
        return fail(
            FailureKind::LinkOnPath, "설치 폴더 안의 심볼릭 링크는 따라가지 않습니다: " + place.shown);
    if (old && S_ISDIR(old->st_mode))
        return fail(FailureKind::BadPackage, "같은 이름의 폴더가 있어 파일을 쓸 수 없습니다: " + place.shown);
    if (old)
        file.backup = hiddenName();

    step();
    Fd out(::openat(
        dir, file.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, old ? 0600 : 0666));
    auto failed = [&](int error) {
        return fail(
            FailureKind::Disk, "파일을 쓸 수 없습니다: " + place.shown + " (" + describeErrno(error) + ")");
    };
    if (!out.valid())
        return failed(errno);
    const char *data = payload.data() + file.op->offset;
    std::size_t left = file.op->size;
    while (left > 0) {
        const ssize_t wrote = ::write(out.get(), data, left);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return failed(wrote < 0 ? errno : ENOSPC);
        data += wrote;
        left -= static_cast<std::size_t>(wrote);
    }
    if (old) {
        // The replaced file's owner, group and mode stay; only root may give
        // a file away, so a failed chown is no reason to stop.
        [[maybe_unused]] const int owned = ::fchown(out.get(), old->st_uid, old->st_gid);
        if (::fchmod(out.get(), old->st_mode & 07777) != 0)
            return failed(errno);
    }
    if (::fdatasync(out.get()) != 0)
        return failed(errno);
    if (const int error = out.close())
        return failed(error);
    return {};
}

Status Transaction::finish(const std::vector<Entry> &entries, std::uint32_t version)
{
    if (m_options.recordInstalled && !m_options.recordInstalled(version))
        return fail(FailureKind::NotRecorded,
            "파일은 모두 바꾸었지만 설치된 버전을 기록할 수 없습니다. 다음 시작 때 다시 기록합니다.");
    for (const Entry &e : entries) {
        if (e.backup.empty() && e.kind != "new")
            continue;
        Walk w = walk(m_root.fd(), e.folder);
        if (!w.fd.valid())
            continue;
        step();
        if (e.kind == "new")
            ::unlinkat(
                w.fd.get(), e.temp.c_str(), 0); // renamed into place already; nothing left in a good run
        else
            ::unlinkat(w.fd.get(), e.backup.c_str(), e.kind == "rd" ? AT_REMOVEDIR : 0);
    }
    step();
    ::unlinkat(m_root.fd(), kPackageFileName, 0);
    step();
    // Not synced: should the removal be lost, the next start finds "done" and tidies again.
    ::unlinkat(m_root.fd(), kJournalFileName, 0);
    return {};
}

Result<std::vector<Transaction::Planned>> Transaction::makePlan(const PackageImage &image) const
{
    // Nothing runs until the whole script has been read and found sound.
    if (image.plan.end == ScriptEnd::TooManyWrites)
        return fail(FailureKind::BadPackage, "스크립트의 write 줄이 100개 이상입니다.");
    if (image.plan.end != ScriptEnd::EndMarker)
        return fail(FailureKind::BadPackage, "스크립트가 \"en\"으로 끝나지 않습니다.");

    std::vector<Planned> plan;
    std::size_t cursor = image.dataOffset;
    std::map<std::string, std::size_t> lastWrite;
    for (const ScriptOp &op : image.plan.ops) {
        if (op.where.base == ScriptBase::Unknown)
            continue; // an unknown prefix names nothing: the command fails on its own
        if (!staysInsideBase(op.where))
            return fail(
                FailureKind::BadPackage, "경로가 설치 폴더 밖을 가리킵니다: " + placeOf(op.where).shown);
        Planned planned {op.kind, placeOf(op.where)};
        if (op.kind == ScriptOpKind::Write) {
            const auto size = static_cast<std::size_t>(op.size);
            if (op.size < 0 || cursor > image.payload.size() || size > image.payload.size() - cursor)
                return fail(FailureKind::BadPackage, "패키지의 파일 크기가 데이터와 맞지 않습니다.");
            planned.offset = cursor;
            planned.size = size;
            cursor += size;
            std::vector<std::string> full = planned.place.parent;
            full.push_back(planned.place.name);
            const std::string key = joined(full);
            if (const auto earlier = lastWrite.find(key); earlier != lastWrite.end())
                plan[earlier->second].superseded = true;
            lastWrite[key] = plan.size();
        }
        plan.push_back(std::move(planned));
    }
    if (Status checked = check(plan); !checked)
        return tl::unexpected(checked.error());
    return plan;
}

Status Transaction::openJournal()
{
    step();
    m_journal.reset(::openat(m_root.fd(), kJournalFileName,
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_APPEND, 0644));
    if (!m_journal.valid())
        return fail(FailureKind::Disk,
            std::string("설치 기록을 만들 수 없습니다: ") + kJournalFileName + " (" + describeErrno(errno)
                + ")");
    // The header goes out with the first change's line, in the same sync.
    m_pendingHeader = std::string(kJournalHeader) + "\nversion " + std::to_string(m_options.version) + "\n";
    return {};
}

Status Transaction::runDirectoryCommands(const std::vector<Planned> &plan)
{
    // Deletions and directory commands first, in script order, as the package format has it.
    for (const Planned &op : plan) {
        if (op.kind == ScriptOpKind::Write)
            continue;
        if (Status done = runDirectoryCommand(op); !done)
            return abort(done.error());
    }
    return {};
}

Status Transaction::stageAll(
    const std::vector<Planned> &plan, const std::vector<char> &payload, std::vector<Staged> &files)
{
    // Every new file under a hidden name beside its target.
    std::vector<Entry> news;
    for (const Planned &op : plan) {
        if (op.kind != ScriptOpKind::Write || op.superseded)
            continue;
        Staged file;
        file.op = &op;
        file.folderPath = joined(op.place.parent);
        file.name = op.place.name;
        file.temp = hiddenName();
        news.push_back(Entry {"new", file.folderPath, {}, file.temp, {}});
        files.push_back(std::move(file));
    }
    if (!news.empty()) {
        if (Status logged = log(news); !logged)
            return abort(logged.error());
    }
    for (Staged &file : files) {
        if (Status staged = stage(file, payload); !staged)
            return abort(staged.error());
    }
    return {};
}

Status Transaction::put(const Staged &file)
{
    const int dir = file.folder.get();
    if (!file.backup.empty()) {
        step();
        if (::linkat(dir, file.name.c_str(), dir, file.backup.c_str(), 0) != 0) {
            // Without hard links the old file moves aside for a moment; the journal covers that too.
            step();
            if (const int error = renameKeeping(dir, file.name, file.backup))
                return fail(FailureKind::Disk,
                    "이전 파일을 보관할 수 없습니다: " + file.op->place.shown + " (" + describeErrno(error)
                        + ")");
        }
    }
    step();
    if (::renameat(dir, file.temp.c_str(), dir, file.name.c_str()) != 0)
        return fail(FailureKind::Disk,
            "파일을 제자리에 놓을 수 없습니다: " + file.op->place.shown + " (" + describeErrno(errno) + ")");
    return {};
}

Status Transaction::putAll(const std::vector<Staged> &files)
{
    // All of them into place, the replaced files kept under their hidden names.
    std::vector<Entry> puts;
    for (const Staged &file : files)
        puts.push_back(Entry {"put", file.folderPath, file.name, file.temp, file.backup});
    if (!puts.empty()) {
        if (Status logged = log(puts); !logged)
            return abort(logged.error());
    }
    for (const Staged &file : files) {
        if (Status placed = put(file); !placed)
            return abort(placed.error());
    }
    return {};
}

Status Transaction::commit()
{
    // The renames reach the disk before the journal says "done"; each folder once.
    std::set<std::string> changedFolders;
    for (const Entry &e : m_logged)
        changedFolders.insert(e.folder);
    for (const std::string &folder : changedFolders)
        syncFolder(m_root.fd(), folder);

    if (Status logged = log({Entry {"done", {}, {}, {}, {}}}); !logged)
        return abort(logged.error());
    m_journal.reset();
    step();
    return finish(m_logged, m_options.version);
}

Status Transaction::run(const PackageImage &image)
{
    const Result<std::vector<Planned>> plan = makePlan(image);
    if (!plan)
        return tl::unexpected(plan.error());
    // From the journal's first line on, a failing step rolls back what the earlier ones changed.
    std::vector<Staged> files;
    Status result = openJournal();
    if (result)
        result = runDirectoryCommands(*plan);
    if (result)
        result = stageAll(*plan, image.payload, files);
    if (result)
        result = putAll(files);
    if (result)
        result = commit();
    return result;
}

} // namespace

Status installPackage(const PackageImage &image, const InstallRoot &root, const InstallOptions &options)
{
    Transaction transaction(root, options);
    return transaction.run(image);
}

Result<Recovery> recoverInterruptedInstall(const InstallRoot &root, const InstallOptions &options)
{
    Result<FileBytes> bytes = root.readFile(kJournalFileName);
    if (!bytes) {
        if (bytes.error().kind == FailureKind::PackageMissing)
            return Recovery::Nothing;
        return fail(FailureKind::Disk, "중단된 설치의 기록을 읽을 수 없습니다: " + bytes.error().message);
    }
    std::optional<JournalText> journal;
    try {
        journal
            = parseJournal(std::string_view(reinterpret_cast<const char *>(bytes->data.get()), bytes->size));
    } catch (const std::exception &) { // a version number out of range
        journal.reset();
    }
    if (!journal) {
        // The header is synced before the first change; without it nothing was changed.
        if (bytes->size < sizeof kJournalHeader) {
            root.remove(kJournalFileName);
            return Recovery::RolledBack;
        }
        return fail(FailureKind::Disk,
            std::string("중단된 설치의 기록이 손상되어 되돌릴 수 없습니다: ") + kJournalFileName);
    }
    if (journal->done) {
        Transaction transaction(root, options);
        if (Status finished = transaction.finish(journal->entries, journal->version); !finished)
            return tl::unexpected(finished.error());
        return Recovery::Completed;
    }
    rollBack(root.fd(), journal->entries);
    root.remove(kJournalFileName);
    ::fsync(root.fd());
    return Recovery::RolledBack;
}

} // namespace pellwick
