// volk: the storage administrator's Fibre Channel command-line program. It
// holds no device logic: one command line goes to libtavro's command-line
// processor, whose status is the exit code; without arguments (or with "int")
// it runs libtavro's interactive menus.
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
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

#ifndef TAVRO_INSTALL_DIR_REL
#define TAVRO_INSTALL_DIR_REL "../etc/volk"
#endif

bool HasFile(const std::string &dir, const char *name)
{
    return access((dir + "/" + name).c_str(), F_OK) == 0;
}

// The installation directory: the program's own directory in a build tree
// (its files are staged beside it), else the configuration directory of the
// installation, found relative to the program so that a staged (DESTDIR) or
// relocated installation finds its own.
std::string InstallationDirectory()
{
    const std::string own = OwnDirectory();
    if (HasFile(own, "adapters.properties"))
        return own;
    const std::string installed = own + "/" + TAVRO_INSTALL_DIR_REL;
    char resolved[PATH_MAX];
    if (HasFile(installed, "adapters.properties") && realpath(installed.c_str(), resolved))
        return resolved;
    return own;
}

bool Interactive(int argc, char **argv) { return argc < 2 || strcasecmp(argv[1], "int") == 0; }

// A write that did not reach standard output fails the run: nobody saw its result.
int Flushed(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return status == 0 ? 1 : status;
    return status;
}

#ifndef VOLK_VERSION_MAJOR
#define VOLK_VERSION_MAJOR 0
#define VOLK_VERSION_MINOR 0
#define VOLK_VERSION_PATCH 0
#define VOLK_VERSION_TWEAK 0
#endif

// The menus: one session from start-up to clean-up; quitting them is success.
int RunMenus(const std::string &dir)
{
    TAVRO_Initialize(dir.c_str());
    TAVRO_InitFCMenus();
    TAVRO_CoreMenuInfo info{};
    info.major = VOLK_VERSION_MAJOR;
    info.minor = VOLK_VERSION_MINOR;
    info.subMinor = VOLK_VERSION_PATCH;
    info.build = VOLK_VERSION_TWEAK;
    std::snprintf(info.title, sizeof info.title, "%s",
                  "Vantor Corvane Fibre Channel Adapter Management (volk)");
    TAVRO_RegisterCoreMenuInfo(&info);
    TAVRO_MainMenu();
    TAVRO_Cleanup();
    std::puts("");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // A reader that went away (volk ... | head -1) makes writes fail instead of
    // killing volk before its clean-up.
    signal(SIGPIPE, SIG_IGN);
    std::string dir = InstallationDirectory();
    TAVRO_SetApplicationPath(dir.c_str());
    if (Interactive(argc, argv))
        return Flushed(RunMenus(dir));
    return Flushed(TAVRO_FC_CommandLineProcessor(argc, const_cast<const char **>(argv)));
}
