// volk: the storage administrator's Fibre Channel command-line program. It
// holds no device logic; everything it shows comes from libtavro.
#include <limits.h>
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

void PrintAdapterList()
{
    const AdapterList *list = TAVRO_GetAdapterList();
    std::printf("%-8s %-4s %-4s %-23s %-16s %-12s %s\n", "Instance", "Port", "Type", "WWPN",
                "Model", "Serial", "Enabled");
    for (const FibreAdapter *a = list->first; a; a = a->next) {
        const uint8_t *w = a->wwpn;
        const char *type = a->portType == TAVRO_PORT_TYPE_VIRTUAL       ? "vprt"
                           : a->portType == TAVRO_PORT_TYPE_FCOE_ENGINE ? "fcoe"
                                                                        : "phys";
        std::printf("%-8d %-4d %-4s %02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X %-16s %-12s %s\n",
                    a->instance, a->portNumber, type, w[0], w[1], w[2], w[3], w[4], w[5], w[6],
                    w[7], a->model, a->serialNumber, a->enabled ? "yes" : "no");
    }
    std::printf("Total ports: %u\n", list->count);
}

} // namespace

int main(int /*argc*/, char ** /*argv*/)
{
    std::string dir = OwnDirectory();
    TAVRO_SetApplicationPath(dir.c_str());
    TAVRO_Initialize(dir.c_str());
    PrintAdapterList();
    TAVRO_Cleanup();
    return 0;
}
