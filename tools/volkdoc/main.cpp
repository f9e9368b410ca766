// volkdoc: writes volk(1) and the bash completion from the command table.
//   volkdoc <exit codes file> <man page out> <completion out>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "docgen.h"

namespace {

bool Write(const char *path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "volkdoc: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: volkdoc <exit codes file> <man page> <completion script>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "volkdoc: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::stringstream codes;
    codes << in.rdbuf();
    bool ok = Write(argv[2], docgen::ManPage(codes.str()));
    ok = Write(argv[3], docgen::BashCompletion()) && ok;
    return ok ? 0 : 1;
}
