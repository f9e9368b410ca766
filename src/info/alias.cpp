#include "info/alias.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "frame/frame.h"
#include "frame/messages.h"
#include "frame/props.h"

namespace {

std::string DashedWwn(const uint8_t *w)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X-%02X-%02X", w[0], w[1], w[2],
                  w[3], w[4], w[5], w[6], w[7]);
    return text;
}

struct FileCloser {
    void operator()(std::FILE *f) const
    {
        if (f)
            std::fclose(f);
    }
};

// A file that does not exist yet is created empty, so that a first alias can be set.
bool EnsureFile(const std::string &path)
{
    std::unique_ptr<std::FILE, FileCloser> fp(std::fopen(path.c_str(), "a"));
    if (!fp)
        AddFailureReason(Format("%s: %s", path.c_str(), std::strerror(errno)));
    return fp != nullptr;
}

} // namespace

std::string AdapterAliasKey(const FibreAdapter &a)
{
    return std::string("host.") + a.serialNumber + ".hba.alias";
}

std::string PortAliasKey(const FibreAdapter &a)
{
    return "adapter.wwnn." + DashedWwn(a.wwnn) + ".wwpn." + DashedWwn(a.wwpn) + ".name";
}

std::string GetAdapterAlias(const FibreAdapter &a, int kind)
{
    const std::string &file = Frame().aliasFile;
    Trace(kLevelDebug, "GetAdapterAlias: Use preference file (%s)", file.c_str());
    std::string key = kind == TAVRO_ALIAS_PORT ? PortAliasKey(a) : AdapterAliasKey(a);
    const char *v = PropertyOfFile(file, key.c_str(), nullptr);
    return v ? v : "";
}

int SetAdapterAlias(const FibreAdapter &a, int kind, const std::string &alias)
{
    FrameState &f = Frame();
    std::string key = kind == TAVRO_ALIAS_PORT ? PortAliasKey(a) : AdapterAliasKey(a);
    // The global file first, then the local one; both must take it.
    int rc = 0;
    for (const std::string &file : {f.globalAliasFile, f.aliasFile}) {
        if (file.empty())
            continue;
        if (!EnsureFile(file)) {
            rc = -1;
            continue;
        }
        int r = VOLKPrefSetProperty(file.c_str(), key.c_str(), alias.c_str(), true);
        if (r != 0)
            rc = r;
        if (file == f.aliasFile && f.globalAliasFile == f.aliasFile)
            break;
    }
    return rc;
}
