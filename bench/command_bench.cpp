// Whole-command timings: each case runs as its own process, several times, and
// reports the CPU it used (user + system, from wait4) and its peak memory.
// The machine load and volk on the default machine and on a generated
// 256-port fabric machine, beside an empty C++ process for scale.
//
// The target: volk -i all on the default machine within 4 times the CPU of the
// empty process. CPU time on a busy machine is noisy; --instructions also
// counts each case's instructions once under callgrind (valgrind), which is not.
//
//   command_bench [--runs N] [--instructions]
//   command_bench --write-machine FILE [PORTS]   (writes the generated machine)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fabric_machine.h"

namespace {

struct Sample {
    double cpuMs = 0, wallMs = 0;
    long maxRssKiB = 0;
    int status = -1;
};

double Ms(const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; }

double NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// errPath: where standard error goes (default: nowhere).
Sample RunOnce(const std::vector<std::string> &args, const std::vector<std::string> &env,
               const std::string &errPath = "/dev/null")
{
    Sample s;
    const double start = NowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(null, STDOUT_FILENO);
        dup2(err < 0 ? null : err, STDERR_FILENO);
        for (const auto &e : env)
            putenv(const_cast<char *>(e.c_str()));
        std::vector<char *> argv;
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid)
        return s;
    s.wallMs = NowMs() - start;
    s.cpuMs = Ms(ru.ru_utime) + Ms(ru.ru_stime);
    s.maxRssKiB = ru.ru_maxrss;
    s.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return s;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

constexpr const char *kTarget = "volk -i all, default machine";

struct Case {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::string> env;
};

// Instructions the case executes, counted by callgrind; 0 when it cannot be run.
double Instructions(const Case &c, const std::string &dir)
{
    std::vector<std::string> args = {"/usr/bin/valgrind", "--tool=callgrind",
                                     "--callgrind-out-file=/dev/null"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const std::string log = dir + "/callgrind.log";
    if (RunOnce(args, c.env, log).status != 0)
        return 0;
    std::FILE *f = std::fopen(log.c_str(), "r");
    if (!f)
        return 0;
    char line[512];
    double count = 0;
    while (std::fgets(line, sizeof line, f))
        if (const char *at = std::strstr(line, "Collected :"))
            count = std::strtod(at + std::strlen("Collected :"), nullptr);
    std::fclose(f);
    return count;
}

bool WriteFile(const std::string &path, const std::string &text)
{
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    int runs = 10;
    bool instructions = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--instructions")) {
            instructions = access("/usr/bin/valgrind", X_OK) == 0;
            if (!instructions)
                std::fprintf(stderr, "no /usr/bin/valgrind: CPU time only\n");
        } else if (!std::strcmp(argv[i], "--write-machine") && i + 1 < argc) {
            const int ports = i + 2 < argc ? std::atoi(argv[i + 2]) : 256;
            return WriteFile(argv[i + 1], bench::FabricMachineJson(ports)) ? 0 : 1;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--runs N] [--instructions] | --write-machine FILE [PORTS]\n",
                         argv[0]);
            return 2;
        }
    }
    char tmpl[] = "/tmp/command-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    const std::string fabric = dir + "/fabric256.json";
    if (!WriteFile(fabric, bench::FabricMachineJson(256)))
        return 1;
    // Each case has a state file of its own, kept across its runs as a user's would be.
    auto env = [&](const std::string &name, const std::string &machine) {
        return std::vector<std::string>{"VNSDM_STATE=" + dir + "/" + name + ".db",
                                        "VNSDM_MACHINE=" + machine};
    };
    const std::vector<Case> cases = {
        {"empty C++ process", {EMPTY_MAIN}, {}},
        {"C++ process with libstdc++", {EMPTY_CXX_MAIN}, {}},
        {"volk -v", {VOLK, "-v"}, env("volk-v", "")},
        {"machine load, default machine", {MACHINE_LOAD}, env("load-default", "")},
        {"machine load, 256-port fabric", {MACHINE_LOAD}, env("load-fabric", fabric)},
        {"volk -i all, default machine", {VOLK, "-i", "all"}, env("volk-default", "")},
        {"volk -i all, 256-port fabric", {VOLK, "-i", "all"}, env("volk-fabric", fabric)},
        {"volk -g, 256-port fabric", {VOLK, "-g"}, env("volk-g-fabric", fabric)},
    };
    std::printf("%-34s %10s %8s %10s %12s", "command", "CPU ms", "x empty", "wall ms",
                "peak RSS KiB");
    if (instructions)
        std::printf(" %10s %8s", "M instr", "x empty");
    std::printf("  (median of %d rounds)\n", runs);
    // Rounds run every case once, in turn, so that a change in the machine's
    // load falls on all of them alike; the target's ratio is the median of
    // its per-round ratios to the empty process.
    struct Samples {
        std::vector<double> cpu, wall;
        long rss = 0;
        int status = 0;
    };
    std::vector<Samples> samples(cases.size());
    for (const auto &c : cases)
        RunOnce(c.args, c.env); // warm the page cache and the state files
    for (int r = 0; r < runs; ++r)
        for (size_t i = 0; i < cases.size(); ++i) {
            const Sample s = RunOnce(cases[i].args, cases[i].env);
            samples[i].cpu.push_back(s.cpuMs);
            samples[i].wall.push_back(s.wallMs);
            samples[i].rss = std::max(samples[i].rss, s.maxRssKiB);
            samples[i].status = std::max(samples[i].status, s.status);
        }
    std::vector<double> targetRatios;
    double emptyInstr = 0, targetInstr = 0;
    int failed = 0;
    const double emptyCpu = Median(samples[0].cpu);
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case &c = cases[i];
        const Samples &m = samples[i];
        std::printf("%-34s %10.2f %8.1f %10.2f %12ld", c.name.c_str(), Median(m.cpu),
                    emptyCpu > 0 ? Median(m.cpu) / emptyCpu : 0.0, Median(m.wall), m.rss);
        if (instructions) {
            const double count = Instructions(c, dir);
            if (emptyInstr == 0)
                emptyInstr = count;
            std::printf(" %10.2f %8.1f", count / 1e6, emptyInstr > 0 ? count / emptyInstr : 0.0);
            if (c.name == kTarget)
                targetInstr = count;
        }
        if (c.name == kTarget)
            for (int r = 0; r < runs; ++r)
                if (samples[0].cpu[r] > 0)
                    targetRatios.push_back(m.cpu[r] / samples[0].cpu[r]);
        std::printf("%s\n", m.status ? "  (failed)" : "");
        failed += m.status != 0;
    }
    std::printf("\n%s: %.1f times the CPU of the empty process (median of %d rounds; target: "
                "at most 4)\n",
                kTarget, Median(targetRatios), runs);
    if (instructions && emptyInstr > 0)
        std::printf("%s: %.1f times its instructions\n", kTarget, targetInstr / emptyInstr);
    const std::string cleanup = "rm -rf '" + dir + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    return failed ? 1 : 0;
}
