// Drives the menus of the real volk with a script of answers on standard
// input, on the test's own state file and a one-port machine, and checks the
// result with the command line afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "testenv.h"
#include "volk_fixture.h"

class MenuTreesTest : public VolkFixture {
protected:
    static std::string Machine() { return TAVRO_SOURCE_DIR "/tests/menus/trees_machine.json"; }

    // volk without arguments: the menus, answered line by line from script.
    testenv::RunResult Menus(const std::string &script, const std::string &volk = "")
    {
        return testenv::Run({volk.empty() ? VolkPath() : volk},
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + Machine(),
                             "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")},
                            script);
    }
    testenv::RunResult Cli(const std::vector<std::string> &args, const std::string &volk = "")
    {
        std::vector<std::string> argv = {volk.empty() ? VolkPath() : volk};
        argv.insert(argv.end(), args.begin(), args.end());
        return testenv::Run(argv,
                            {"VNSDM_STATE=" + dir.file("state.db"), "VNSDM_MACHINE=" + Machine(),
                             "TAVRO_CLOCK_SCALE=1000", "TAVRO_HBA_CONF=" + dir.file("hba.conf")});
    }

    // The number a screen shows for the entry with this text ("" when none).
    static std::string Entry(const std::string &screen, const std::string &text)
    {
        std::smatch m;
        std::regex line("(^|\n) *([0-9]+):\t" +
                        std::regex_replace(text, std::regex(R"([()])"), R"(\$&)") + "\n");
        return std::regex_search(screen, m, line) ? m[2].str() : "";
    }
    // The main menu's number of an area, read from a run that only quits.
    std::string Area(const std::string &text)
    {
        auto r = Menus("x\n");
        std::string n = Entry(r.out, text);
        EXPECT_FALSE(n.empty()) << "no main menu entry " << text << "\n" << r.out;
        return n;
    }
    static bool Has(const std::string &out, const std::string &text)
    {
        return out.find(text) != std::string::npos;
    }
    static size_t Count(const std::string &out, const std::string &text)
    {
        size_t n = 0;
        for (size_t at = out.find(text); at != std::string::npos; at = out.find(text, at + 1))
            ++n;
        return n;
    }
    // A private installation (volk, its library and its files) whose
    // menu.properties (and alias file) is the test's own; the build's stays untouched.
    std::string PrivateVolk(const std::string &menuProperties)
    {
        const std::string bin = std::string(TAVRO_BINARY_DIR) + "/bin";
        const std::string cmd = "mkdir -p " + dir.file("inst/bin") + " && cp " + bin + "/volk " +
                                bin + "/*.properties " + bin + "/*.txt " + dir.file("inst/bin") +
                                " && cp -r " + std::string(TAVRO_BINARY_DIR) + "/lib " +
                                dir.file("inst/lib");
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        testenv::WriteFile(dir.file("inst/bin/menu.properties"), menuProperties);
        return dir.file("inst/bin/volk");
    }
};
