// volk: the storage administrator's Fibre Channel command-line program. It
// holds no device logic: one command line goes to libtavro's command-line
// processor, whose status is the exit code.
#include <limits.h>
#include <signal.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tavro_api.h"

namespace {

std::string OwnDirectory()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    buf[n] = '\0';
    std::string path(buf);
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Interactive(int argc, char **argv) { return argc < 2 || strcasecmp(argv[1], "int") == 0; }

// A write that did not reach standard output fails the run: nobody saw its result.
int Flushed(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return status == 0 ? 1 : status;
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    // A reader that went away (volk ... | head -1) makes writes fail instead of
    // killing volk before its clean-up.
    signal(SIGPIPE, SIG_IGN);
    std::string dir = OwnDirectory();
    TAVRO_SetApplicationPath(dir.c_str());
    if (Interactive(argc, argv)) {
        std::puts("The interactive menus are not available in this version of volk.");
        std::puts("Run \"volk -h\" for the command line.");
        return Flushed(0);
    }
    return Flushed(TAVRO_FC_CommandLineProcessor(argc, const_cast<const char **>(argv)));
}
