#pragma once

#include <cstddef>
#include <string>

// The record of each pass: "pellwick.log" in the installation directory,
// kept to its last megabyte, and the system log (syslog, ident "Pellwick").
// Until the installation directory is known only the system log gets lines.
// The file is pellwick::kLogFileName.
class PellwickLog {
public:
    static constexpr std::size_t kKeepBytes = 1024 * 1024;

    PellwickLog();
    ~PellwickLog();
    PellwickLog(const PellwickLog &) = delete;
    PellwickLog &operator=(const PellwickLog &) = delete;

    // Starts writing to the log file in this directory (never through a link).
    void attach(int installDirFd);

    void info(const std::string &text); // UTF-8
    void error(const std::string &text);

private:
    void write(int priority, const std::string &text);
    void trim();

    int m_dirFd = -1;
    int m_fd = -1;
};
