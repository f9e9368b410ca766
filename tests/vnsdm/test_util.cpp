#include "test_util.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vnsdm_test {

Wwn ParseWwn(const std::string &text)
{
    Wwn w{};
    size_t k = 0;
    for (size_t i = 0; i + 1 < text.size() && k < 8; i += 3)
        w[k++] = uint8_t(std::stoul(text.substr(i, 2), nullptr, 16));
    return w;
}

namespace {

int Spawn(const std::vector<std::string> &args, int outFd)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (outFd >= 0) {
            dup2(outFd, STDOUT_FILENO);
            close(outFd);
        }
        std::vector<char *> argv;
        std::string helper = VNSDM_HELPER;
        argv.push_back(helper.data());
        std::vector<std::string> copy = args;
        for (auto &a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(helper.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

} // namespace

int StartHelper(const std::vector<std::string> &args) { return Spawn(args, -1); }

int WaitHelper(int pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

HelperResult RunHelper(const std::vector<std::string> &args)
{
    int fds[2];
    HelperResult r;
    if (pipe(fds) != 0)
        return r;
    const int pid = Spawn(args, fds[1]);
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        r.output.append(buf, size_t(n));
    close(fds[0]);
    r.exitCode = WaitHelper(pid);
    return r;
}

void SimTest::SetUp()
{
    ASSERT_FALSE(dir_.path().empty());
    statePath_ = dir_.file("state.db");
    setenv("VNSDM_STATE", statePath_.c_str(), 1);
    ASSERT_EQ(UseDefaultMachine(), SD_OK);
}

void SimTest::TearDown()
{
    unsetenv("VNSDM_MACHINE");
    unsetenv("VNSDM_STATE");
}

SD_STATUS SimTest::UseMachine(const std::string &json)
{
    const std::string path = dir_.file("machine.json");
    WriteFile(path, json);
    setenv("VNSDM_MACHINE", path.c_str(), 1);
    return VNSimReloadMachine();
}

SD_STATUS SimTest::UseDefaultMachine()
{
    unsetenv("VNSDM_MACHINE");
    return VNSimReloadMachine();
}

uint32_t SimTest::Open(uint32_t instance)
{
    uint32_t handle = 0;
    EXPECT_EQ(SDOpenDevice(instance, &handle), SD_OK) << "instance " << instance;
    return handle;
}

std::string MinimalInstance(const std::string &wwpn, const std::string &extra)
{
    return R"({ "chip": { "device_id": "0x7190" }, "node": { "model": "CV-2162" }, "port": { "wwpn": ")" +
           wwpn + "\" }" + (extra.empty() ? "" : ", " + extra) + " }";
}

} // namespace vnsdm_test
