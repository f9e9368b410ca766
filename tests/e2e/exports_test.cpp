// The shared library exports exactly what its header declares.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <string>

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

} // namespace
