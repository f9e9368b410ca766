// Helpers shared by the tests: private directories, files and machines.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace testenv {

// A fresh directory under the system temp directory, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void WriteFile(const std::string &path, const std::string &content);
std::string ReadFile(const std::string &path);
// The default machine's description, with the host kind fixed ("efi" or
// "bios") when one is given, so that a test sees the same host everywhere.
std::string DefaultMachineText(const std::string &hostFirmware = "");
bool FileExists(const std::string &path);

// Result of running a program.
struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs argv with extra environment entries ("NAME=value"); stdin from input.
RunResult Run(const std::vector<std::string> &argv, const std::vector<std::string> &env = {},
              const std::string &input = "");

// Runs body in a child process; true when it returned true. For what another
// program does to a file this process holds open: a second copy of SQLite in
// one process would share, and on closing drop, the first one's POSIX locks.
bool InOtherProcess(const std::function<bool()> &body);

} // namespace testenv
