// The menu framework with a script of answers on standard input: answers,
// screens, console input routines and the menu configuration file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "base/text.h"
#include "frame/frame.h"
#include "frame/menuconfig.h"
#include "machine_fixture.h"
#include "menus/console.h"
#include "menus/menu.h"
#include "menus/session.h"
#include "tavro_api.h"
#include "testenv.h"

namespace {

using namespace menus;

// Standard input from a script, standard output into a file, both given back
// at the end of the scope (also when an assertion fails).
class Console {
public:
    explicit Console(const std::string &input)
    {
        std::fflush(stdout);
        savedIn_ = dup(0);
        savedOut_ = dup(1);
        int fds[2];
        if (pipe(fds) == 0) {
            // Small scripts fit the pipe's buffer.
            ssize_t n = write(fds[1], input.data(), input.size());
            (void)n;
            close(fds[1]);
            dup2(fds[0], 0);
            close(fds[0]);
        }
        int out = open(dir_.file("out").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        dup2(out, 1);
        close(out);
        ResetInputEnded();
    }
    ~Console() { Restore(); }
    // What was printed so far.
    std::string Output()
    {
        std::fflush(stdout);
        return testenv::ReadFile(dir_.file("out"));
    }
    void Restore()
    {
        if (savedIn_ < 0)
            return;
        std::fflush(stdout);
        dup2(savedIn_, 0);
        dup2(savedOut_, 1);
        close(savedIn_);
        close(savedOut_);
        savedIn_ = savedOut_ = -1;
        ResetInputEnded();
    }

private:
    testenv::TempDir dir_;
    int savedIn_ = -1;
    int savedOut_ = -1;
};

struct Answer {
    const char *typed;
    int result;
    int selection;
};

TEST(MenuSelection, LettersWordsAndNumbers)
{
    const Answer answers[] = {
        {"m\n", 0, 98},     {"M\n", 0, 98},    {"p\n", 0, 0},    {"P\n", 0, 0},
        {"x\n", 0, 99},     {"X\n", 0, 99},    {"ex\n", 0, 99},  {"EX\n", 0, 99},
        {"3\n", 0, 3},      {"100\n", 0, 100}, {"007\n", 0, 7},  {"exit\n", -1, -1},
        {"1000\n", -1, -1}, {"a\n", -1, -1},   {"1a\n", -1, -1}, {"-1\n", -1, -1},
        {" 1\n", -1, -1},   {"\n", -1, -1},    {"2\r\n", 0, 2},  {"pp\n", -1, -1},
    };
    for (const Answer &a : answers) {
        Console console(a.typed);
        int selection = 12345;
        EXPECT_EQ(GetMenuSelection(selection, 5), a.result) << a.typed;
        EXPECT_EQ(selection, a.selection) << a.typed;
        EXPECT_FALSE(InputEnded()) << a.typed;
    }
}

TEST(MenuSelection, EndOfInputQuits)
{
    Console console("");
    int selection = 0;
    EXPECT_EQ(GetMenuSelection(selection, 5), 0);
    EXPECT_EQ(selection, 99);
    EXPECT_TRUE(InputEnded());
}

// Entries 1 to 3 of four items (the placeholder counts).
Menu ThreeEntries()
{
    Menu menu("Test Menu");
    menu.Add("First", 11).Add("Second", 12).AddReturn();
    return menu;
}

size_t Count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(RunMenu, AnswersMapToCodes)
{
    struct Case {
        const char *typed;
        int code;
        size_t refused;
    };
    const Case cases[] = {
        {"1\n", 11, 0},
        {"2\n", 12, 0},
        {"3\n", kMenuReturn, 0},           // count-1
        {"4\n1\n", 11, 1},                 // the item count itself
        {"100\nexit\n1000\n\n2\n", 12, 4}, // each refused, the menu shown again
        {"0\n", kMenuPrevious, 0},
        {"p\n", kMenuPrevious, 0},
        {"98\n", kMenuMain, 0},
        {"m\n", kMenuMain, 0},
        {"99\n", kMenuQuit, 0},
        {"x\n", kMenuQuit, 0},
        {"ex\n", kMenuQuit, 0},
        {"97\n", kMenuQuit, 1}, // refused, then the script ends: quit
        {"", kMenuQuit, 0},
    };
    for (const Case &c : cases) {
        Console console(c.typed);
        EXPECT_EQ(RunMenu(kNoPort, ThreeEntries()), c.code) << c.typed;
        std::string out = console.Output();
        EXPECT_EQ(Count(out, "Invalid selection!\n"), c.refused) << c.typed << out;
        EXPECT_EQ(Count(out, "Please Enter Selection: "), c.refused + 1) << c.typed;
    }
}

TEST(RunMenu, ActionResultReplacesTheCode)
{
    Console console("1\n2\n");
    int runs = 0;
    Menu menu("Actions");
    menu.Add("Act", 1, [&] { return ++runs * 100; }).Add("Plain", 2);
    EXPECT_EQ(RunMenu(kNoPort, menu), 100);
    EXPECT_EQ(RunMenu(kNoPort, menu), 2);
    EXPECT_EQ(runs, 1);
}

TEST(ShowMenu, ScreenWithoutAdapter)
{
    CoreMenuInfo info;
    info.major = 2;
    info.minor = 3;
    info.subMinor = 0;
    info.build = 12;
    info.title = "Corvane Test";
    RegisterCoreMenuInfo(info);
    Console console("");
    ShowMenu(kNoPort, ThreeEntries());
    EXPECT_EQ(console.Output(), "\n\tCorvane Test\n\n\tVersion 2.3.0 (Build 12)\n\n"
                                "    Test Menu\n\n"
                                "        WWPN: 00-00-00-00-00-00-00-00\n\n"
                                "    1:\tFirst\n    2:\tSecond\n    3:\tReturn to Previous Menu\n"
                                "\n\n\t(p or 0: Previous Menu; m or 98: Main Menu; x or 99: Quit)\n"
                                "\tPlease Enter Selection: ");
}

TEST(RegisterCoreMenuInfo, CopiesTitleAndVersion)
{
    EXPECT_EQ(TAVRO_RegisterCoreMenuInfo(nullptr), -1);
    TAVRO_CoreMenuInfo raw{};
    raw.major = 7;
    raw.minor = 6;
    raw.subMinor = 5;
    raw.build = 4;
    std::snprintf(raw.title, sizeof raw.title, "%s", "Registered Title");
    EXPECT_EQ(TAVRO_RegisterCoreMenuInfo(&raw), 0);
    Console console("");
    ShowMenu(kNoPort, ThreeEntries());
    EXPECT_EQ(console.Output().rfind("\n\tRegistered Title\n\n\tVersion 7.6.5 (Build 4)\n\n", 0),
              0u);
}

TEST(Confirmation, YesNoAndNavigation)
{
    const std::pair<const char *, int> cases[] = {
        {"1\n", 1},         {"2\n", 2},         {"0\n", kMenuPrevious},
        {"m\n", kMenuMain}, {"x\n", kMenuQuit}, {"3\n1\n", 1},
    };
    for (const auto &[typed, code] : cases) {
        Console console(typed);
        EXPECT_EQ(GetConfirmation("Are you sure?"), code) << typed;
        std::string out = console.Output();
        EXPECT_NE(out.find("    Are you sure?\n"), std::string::npos);
        EXPECT_NE(out.find("    1:\tYes\n    2:\tNo\n"), std::string::npos);
        EXPECT_EQ(out.find("If you read this"), std::string::npos);
    }
}

TEST(MultiSelection, KeysOnAndOff)
{
    {
        Console console("10x21 0\nnext\n");
        std::string choices;
        EXPECT_EQ(GetMultiSelection(choices, 5), 0);
        EXPECT_EQ(choices, "1010");
        EXPECT_EQ(console.Output(), "1[x] 2[ ] 3[x] 4[ ] \n");
        // The script's next line is left for the next question.
        std::string line;
        EXPECT_EQ(PromptText("", line), 0);
        EXPECT_EQ(line, "next");
    }
    {
        Console console("1111\n");
        std::string choices;
        EXPECT_EQ(GetMultiSelection(choices, 3), -1);
        EXPECT_EQ(choices, "111");
    }
    {
        Console console("01");
        std::string choices;
        EXPECT_EQ(GetMultiSelection(choices, 3), 0);
        EXPECT_EQ(choices, "01");
        EXPECT_TRUE(InputEnded());
    }
}

// On a terminal: single keys without echo, and the settings given back.
TEST(MultiSelection, TerminalKeysWithoutEcho)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    Console console(""); // standard output to a file
    const int savedIn = dup(0);
    dup2(slave, 0);
    // Typed once the keys are read raw: echo would show now if it were on.
    std::thread typist([master] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ssize_t n = write(master, "1x01\r", 5);
        (void)n;
    });
    std::string choices;
    int rc = GetMultiSelection(choices, 4);
    typist.join();
    dup2(savedIn, 0);
    close(savedIn);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(choices, "101");
    EXPECT_EQ(console.Output(), "1[x] 2[ ] 3[x] \n");
    pollfd p{master, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 200), 0) << "the keys were echoed";
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof before.c_cc), 0);
    close(slave);
    close(master);
}

TEST(ConsoleInput, DefaultMenuUserInput)
{
    struct Case {
        const char *typed;
        int maxLength;
        int result;
        int value;
    };
    const Case cases[] = {
        {"\n", 5, 0, 42}, // bare Enter: the default
        {"17\n", 5, 0, 17},  {"00012\n", 5, 0, 12}, {"123456\n", 5, -1, -1}, {"12a\n", 5, -1, -1},
        {" 1\n", 5, -1, -1}, {"-3\n", 5, -1, -1},   {"", 5, -2, 42}, // end of input
    };
    for (const Case &c : cases) {
        Console console(c.typed);
        int32_t value = 999;
        EXPECT_EQ(TUIX_GetDefaultMenuUserInput(&value, 42, c.maxLength), c.result) << c.typed;
        EXPECT_EQ(value, c.value) << c.typed;
    }
}

TEST(ConsoleInput, StandardUserInput)
{
    struct Case {
        std::string typed;
        int size;
        int result;
        const char *text;
    };
    const Case cases[] = {
        {"hello world\n", 32, 0, "hello world"},
        {"\n", 32, -2, ""},
        {"", 32, -2, ""},
        {"1234567\n", 8, 0, "1234567"},
        {"12345678\n", 8, -1, nullptr},
        {"ab\x01"
         "cd\n",
         32, 0, "ab"},
        {"\ttabbed\n", 32, -2, ""},
        {std::string(600, 'a') + "\n", 1024, -1, nullptr},
    };
    for (const Case &c : cases) {
        Console console(c.typed);
        char buffer[1024];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(TUIX_GetStandardUserInput(buffer, c.size), c.result) << c.typed.size();
        if (c.text) {
            EXPECT_STREQ(buffer, c.text);
        }
    }
}

TEST(ConsoleInput, FilenameAndPrompts)
{
    Console console("/tmp/image.bin\n\n25\n\nxyz\n");
    char name[512];
    EXPECT_EQ(TUIX_GetFilename(name, sizeof name), 0);
    EXPECT_STREQ(name, "/tmp/image.bin");
    std::string path;
    EXPECT_EQ(PromptFilename(path), -2);
    long value = 0;
    EXPECT_EQ(PromptNumber("Count: ", value, 7), 0);
    EXPECT_EQ(value, 25);
    EXPECT_EQ(PromptNumber("Count: ", value, 7), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(PromptNumber("Count: ", value, 7), -1);
    EXPECT_EQ(PromptNumber("Count: ", value, 7), -2);
    EXPECT_TRUE(InputEnded());
    EXPECT_EQ(console.Output(), "Enter a file name or Hit <Enter> to abort: "
                                "Enter a file name or Hit <Enter> to abort: "
                                "Count: Count: Count: Count: ");
}

TEST(ConsoleInput, PressEnterReadsOneLine)
{
    Console console("anything\n1\n");
    PressEnterToContinue();
    int selection = -1;
    EXPECT_EQ(GetMenuSelection(selection, 3), 0);
    EXPECT_EQ(selection, 1);
    EXPECT_EQ(console.Output(), "\n\tPress <Enter> to continue: ");
}

// ---- The menu configuration file ------------------------------------------

class MenuConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Frame().menuFile;
        Frame().menuFile = dir.file("menu.properties");
    }
    void TearDown() override
    {
        Frame().menuFile = saved_;
        BuildAndParseMenuConfigFile();
    }
    testenv::TempDir dir;
    std::string saved_;
};

TEST_F(MenuConfig, LinesCommentsAndValues)
{
    testenv::WriteFile(Frame().menuFile, "menu.first.enable=0\n"
                                         "   # a comment after blanks\n"
                                         "; another comment\n"
                                         "\n"
                                         "  \t  \n"
                                         "  menu.blank.enable=1\n"
                                         "menu.two.numbers=1=2\n"
                                         "menu.tabbed\t7\r\n"
                                         "menu.word=abc\n"
                                         "menu.alone\n");
    EXPECT_EQ(BuildAndParseMenuConfigFile(), 6);
    // The first entry is searched like every other.
    EXPECT_EQ(GetMenuConfigValue("menu.first.enable"), 0);
    EXPECT_EQ(GetMenuConfigValue("menu.blank.enable"), 1);
    EXPECT_EQ(GetMenuConfigValue("MENU.Blank.Enable"), 1);
    EXPECT_EQ(GetMenuConfigValue("menu.two.numbers"), 2);
    EXPECT_EQ(GetMenuConfigValue("menu.tabbed"), 7);
    EXPECT_EQ(GetMenuConfigValue("menu.word"), 0);
    EXPECT_EQ(GetMenuConfigValue("menu.alone"), 0);
    EXPECT_EQ(GetMenuConfigValue("# a comment after blanks"), -1);
    EXPECT_EQ(GetMenuConfigValue("menu.missing"), -1);
    EXPECT_EQ(GetMenuConfigValue(""), -1);
    const auto &entries = MenuSwitches();
    ASSERT_EQ(entries.size(), 6u);
    for (size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(entries[i].index, static_cast<int>(i));
}

TEST_F(MenuConfig, AtMostSixtyEntries)
{
    std::string text;
    for (int i = 0; i < 70; ++i)
        text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    testenv::WriteFile(Frame().menuFile, text);
    EXPECT_EQ(BuildAndParseMenuConfigFile(), 60);
    EXPECT_EQ(GetMenuConfigValue("key59"), 59);
    EXPECT_EQ(GetMenuConfigValue("key60"), -1);
}

TEST_F(MenuConfig, MissingFileLeavesTheTableEmpty)
{
    testenv::WriteFile(Frame().menuFile, "menu.a=3\n");
    EXPECT_EQ(BuildAndParseMenuConfigFile(), 1);
    EXPECT_EQ(GetMenuConfigValue("menu.a"), 3);
    Frame().menuFile = dir.file("absent.properties");
    EXPECT_EQ(BuildAndParseMenuConfigFile(), -1);
    EXPECT_EQ(GetMenuConfigValue("menu.a"), -1);
}

TEST_F(MenuConfig, SwitchesHideMenusTheMachineOffers)
{
    testenv::WriteFile(Frame().menuFile, "menu.hba.parameters.enable=1\n"
                                         "menu.boot.device.enable=0\n"
                                         "menu.persistent.names.enable=1\n");
    BuildAndParseMenuConfigFile();
    EXPECT_EQ(TAVRO_InitFCMenus(), 0);
    EXPECT_TRUE(Frame().interactiveMode);
    Frame().interactiveMode = false;
    EXPECT_EQ(TAVRO_IsHBAParametersMenuEnabled(), 1);
    EXPECT_EQ(TAVRO_IsBootDeviceMenuEnabled(), 0);
    // Switched on, but never offered.
    EXPECT_EQ(TAVRO_IsPersistentNamesMenuEnabled(), 0);
    EXPECT_EQ(TAVRO_IsTargetPersistentBindingMenuEnabled(), 1);
    EXPECT_EQ(TAVRO_IsDriverParametersMenuEnabled(), 1);
    EXPECT_EQ(TAVRO_IsSelectiveLUNsMenuEnabled(), 1);
}

// ---- Screens and flags on a machine ----------------------------------------

class MenuMachine : public MachineTest { };

TEST_F(MenuMachine, AdapterHeaderBlockAndFlags)
{
    UseMachine("");
    Scan();
    auto entries = Entries();
    ASSERT_FALSE(entries.empty());
    const FibreAdapter *a = entries.front();
    Console console("");
    ShowMenu(a->instance, ThreeEntries());
    std::string out = console.Output();
    const std::string rule(55, '=');
    EXPECT_NE(out.find("    Test Menu\n\n" + rule + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" : " + std::to_string(a->instance) + " Port: "), std::string::npos);
    EXPECT_NE(out.find("SN            : " + std::string(a->serialNumber) + "\n"),
              std::string::npos);
    EXPECT_NE(out.find("WWPN          : " + WwnText(a->wwpn, WwnStyle::Dashed) + "\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("FW Version    : "), std::string::npos);
    EXPECT_NE(out.find("Link          : "), std::string::npos);
    EXPECT_NE(out.find(rule + "\n\n    1:\tFirst\n"), std::string::npos);
    EXPECT_EQ(out.find("        WWPN: 00-00"), std::string::npos);

    // The machine's adapters decide the link speed and virtual port menus.
    Frame().menuFile = dir.file("menu.properties");
    testenv::WriteFile(Frame().menuFile, "menu.virtual.port.enable=0\n");
    BuildAndParseMenuConfigFile();
    TAVRO_InitFCMenus();
    Frame().interactiveMode = false;
    EXPECT_EQ(TAVRO_IsVirtualPortMenuEnabled(), 0);
    bool vportCapable = false;
    for (const FibreAdapter *e : entries)
        vportCapable = vportCapable || e->maxVPorts > 0;
    testenv::WriteFile(Frame().menuFile, "; nothing switched off\n");
    BuildAndParseMenuConfigFile();
    TAVRO_InitFCMenus();
    Frame().interactiveMode = false;
    EXPECT_EQ(TAVRO_IsVirtualPortMenuEnabled(), vportCapable ? 1 : 0);
}

TEST_F(MenuMachine, SelectPortListsTheAdapterList)
{
    UseMachine("");
    Scan();
    // Virtual ports and the FCoE engine have menus of their own.
    std::vector<const FibreAdapter *> entries;
    for (const FibreAdapter *e : Entries())
        if (e->portType != TAVRO_PORT_TYPE_VIRTUAL && e->portType != TAVRO_PORT_TYPE_FCOE_ENGINE)
            entries.push_back(e);
    ASSERT_GE(entries.size(), 2u);
    const std::string choice = std::to_string(entries.size() + 1) + "\n"; // "All HBA Ports"
    {
        Console console("2\n");
        EXPECT_EQ(SelectPort("Pick", true), entries[1]->instance);
        std::string out = console.Output();
        EXPECT_NE(out.find("WWPN " + WwnText(entries[0]->wwpn, WwnStyle::Dashed)),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find("All HBA Ports"), std::string::npos);
    }
    {
        Console console(choice);
        EXPECT_EQ(SelectPort("Pick", true), kAllPorts);
    }
    {
        // Without "all", that number is the return entry.
        Console console(choice);
        EXPECT_EQ(SelectPort("Pick", false), kMenuReturn);
        EXPECT_EQ(console.Output().find("All HBA Ports"), std::string::npos);
    }
}

} // namespace
