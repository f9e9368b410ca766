// The shared library exports exactly what its header declares.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "testenv.h"

namespace {

std::set<std::string> ExportedSymbols(const std::string &lib)
{
    std::set<std::string> out;
    std::string cmd = "nm -D --defined-only '" + lib + "'";
    std::FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char line[1024];
    while (std::fgets(line, sizeof line, p)) {
        char addr[64], type[8], name[512];
        if (std::sscanf(line, "%63s %7s %511s", addr, type, name) == 3 &&
            std::string("TDBRVW").find(type[0]) != std::string::npos)
            out.insert(name);
    }
    pclose(p);
    return out;
}

std::set<std::string> DeclaredExports(const std::string &header)
{
    std::set<std::string> out;
    std::string text = testenv::ReadFile(header);
    // The console input routines keep their own prefix.
    std::regex decl("TAVRO_API[^;(]*\\b((?:TAVRO|TUIX)_[A-Za-z0-9_]+)\\s*\\(");
    for (std::sregex_iterator it(text.begin(), text.end(), decl), end; it != end; ++it)
        out.insert((*it)[1]);
    return out;
}

TEST(Exports, LibraryExportsExactlyTheDeclaredFunctions)
{
    auto exported = ExportedSymbols(std::string(TAVRO_BINARY_DIR) + "/lib/libtavro.so");
    auto declared = DeclaredExports(std::string(TAVRO_SOURCE_DIR) + "/include/tavro_api.h");
    ASSERT_FALSE(declared.empty());
    for (const std::string &d : declared)
        EXPECT_TRUE(exported.count(d)) << "declared but not exported: " << d;
    for (const std::string &e : exported)
        EXPECT_TRUE(declared.count(e)) << "exported but not declared: " << e;
}

// The dynamic section's entries of one kind ("NEEDED", "RUNPATH"), as readelf shows them.
std::vector<std::string> DynamicEntries(const std::string &file, const std::string &kind)
{
    std::vector<std::string> out;
    const std::string cmd = "readelf -d '" + file + "'";
    std::FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char line[4096];
    const std::regex entry("\\((" + kind + ")\\)[^\\[]*\\[([^\\]]*)\\]");
    while (std::fgets(line, sizeof line, p)) {
        std::cmatch m;
        if (std::regex_search(line, m, entry))
            out.push_back(m[2]);
    }
    pclose(p);
    return out;
}

// What the loader does at every start: look in our own folders only (never in
// the current directory, which an empty path entry means), and load no
// library that is built in.
TEST(Linking, ProgramsAndLibrariesLookOnlyInTheirOwnFolders)
{
    const std::string build = TAVRO_BINARY_DIR;
    for (const std::string file : {build + "/bin/volk", build + "/lib/libtavro.so",
                                   build + "/lib/libvnsdm.so", build + "/lib/libvnwmi.so"}) {
        const auto runpath = DynamicEntries(file, "RUNPATH");
        ASSERT_EQ(runpath.size(), 1u) << file;
        std::string paths = runpath[0] + ":";
        for (size_t at = 0, colon; (colon = paths.find(':', at)) != std::string::npos;
             at = colon + 1) {
            const std::string path = paths.substr(at, colon - at);
            EXPECT_EQ(path.rfind("$ORIGIN", 0), 0u) << file << ": \"" << path << "\"";
        }
        const auto needed = DynamicEntries(file, "NEEDED");
        EXPECT_FALSE(needed.empty()) << file;
        for (const std::string &lib : needed) {
#if TAVRO_STATIC_SQLITE3
            EXPECT_EQ(lib.find("libsqlite3"), std::string::npos) << file;
#endif
#if TAVRO_STATIC_NETTLE
            EXPECT_EQ(lib.find("libnettle"), std::string::npos) << file;
#endif
#if TAVRO_STATIC_CXX_RUNTIME
            EXPECT_EQ(lib.find("libstdc++"), std::string::npos) << file;
#endif
        }
    }
}

} // namespace
