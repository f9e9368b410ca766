// The man page and the completion script the build made from the command
// table: every command word appears in both, and the parts they are made of.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <string>

#include "cli/table.h"
#include "docgen.h"
#include "testenv.h"

namespace {

std::string ManPath() { return std::string(TAVRO_BINARY_DIR) + "/share/man/man1/volk.1"; }
std::string CompletionPath()
{
    return std::string(TAVRO_BINARY_DIR) + "/share/bash-completion/completions/volk";
}

// The page as man shows it: plain text, no hyphenation, wide lines.
std::string RenderedManPage()
{
    testenv::RunResult r = testenv::Run(
        {"/bin/sh", "-c", "groff -t -man -Tutf8 -P-c -P-b -P-u -rLL=200n \"$0\"", ManPath()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "") << "groff warned about the page";
    return r.out;
}

std::string RegexQuoted(const std::string &word)
{
    std::string out;
    for (char c : word)
        out += std::string(std::strchr(".^$|()[]{}*+?\\", c) ? "\\" : "") + c;
    return out;
}

// The completion script's word list (the words "volk -" offers).
std::string CompletionWords(const std::string &script)
{
    size_t start = script.find("_volk_words='");
    EXPECT_NE(start, std::string::npos);
    start += 13;
    return " " + script.substr(start, script.find('\'', start) - start) + " ";
}

} // namespace

TEST(GeneratedDocs, EveryCommandWordAppearsInManPageAndCompletion)
{
    const std::string page = RenderedManPage();
    const std::string words = CompletionWords(testenv::ReadFile(CompletionPath()));
    ASSERT_GT(CommandTable().size(), 30u);
    for (const CommandRow &row : CommandTable()) {
        std::vector<std::string_view> spellings{row.word};
        for (std::string_view a : row.aliases)
            if (!a.empty())
                spellings.push_back(a);
        // The word heads its syntax lines; an alias is named beside them.
        EXPECT_NE(page.find("volk " + std::string(row.word)), std::string::npos)
            << row.word << " not in volk(1)";
        for (std::string_view s : spellings) {
            const std::string word(s);
            EXPECT_TRUE(
                std::regex_search(page, std::regex("(^|[ |,])" + RegexQuoted(word) + "([ |,.]|$)",
                                                   std::regex::multiline)))
                << word << " not in volk(1)";
            EXPECT_NE(words.find(" " + word + " "), std::string::npos)
                << word << " not in the completion";
        }
        EXPECT_NE(page.find(row.help->title), std::string::npos) << row.help->title;
    }
}

TEST(GeneratedDocs, ManPageNamesGlobalOptionsAndTheEightBitExitStatus)
{
    const std::string page = RenderedManPage();
    for (const UsageEntry &o : GlobalOptions())
        EXPECT_NE(page.find(o.syntax), std::string::npos) << o.syntax;
    EXPECT_NE(page.find("--json"), std::string::npos);
    EXPECT_NE(page.find("EXIT STATUS"), std::string::npos);
    // 1101 reaches a shell as 77; the table of codes above 255 says so.
    EXPECT_NE(page.find("1101 arrives as 77"), std::string::npos);
    EXPECT_TRUE(std::regex_search(page, std::regex("\\b287 +31 +31\\b")))
        << page.substr(page.find("EXIT STATUS"));
}

TEST(GeneratedDocs, ExitStatusTableListsCodesThatMeetInTheShell)
{
    const std::string page = docgen::ManPage("8,A,x\n264,B,y\n1101,C,z\n77,D,w\n# 999,E,v\n");
    EXPECT_NE(page.find("264\t8\t8\n"), std::string::npos);
    EXPECT_NE(page.find("1101\t77\t77\n"), std::string::npos);
    EXPECT_EQ(page.find("999"), std::string::npos) << "a comment line was listed";
}

TEST(DocParts, SyntaxTokensKeepPlaceholdersWhole)
{
    EXPECT_EQ(
        docgen::SyntaxTokens("-b <hba instance>|<hba wwpn>|all [-rg all|<region>] <image file>"),
        (std::vector<std::string>{"-b", "<hba instance>|<hba wwpn>|all", "[-rg all|<region>]",
                                  "<image file>"}));
    EXPECT_EQ(docgen::SyntaxTokens("  -g  "), std::vector<std::string>{"-g"});
}

TEST(DocParts, KeywordsAreTheLiteralOperands)
{
    HelpTopic t{"T", "D",
                "-i [all] [vpd]\n-i <hba instance>|<hba wwpn> [vpd|vfc]\n"
                "-x <a>|<b> --<flash area> [<target wwpn> ...] Verify enable|disable",
                nullptr};
    EXPECT_EQ(docgen::Keywords(t),
              (std::vector<std::string>{"all", "vpd", "vfc", "Verify", "enable", "disable"}));
}

TEST(DocParts, FileAfterCountsTheRequiredOperandsBeforeTheFile)
{
    HelpTopic flash{"F", "D", "-b <hba>|all [-rg all|<region>] <image file>\n-b <hba> save <file>",
                    nullptr};
    EXPECT_EQ(docgen::FileAfter(flash), 1);
    HelpTopic driver{"D", "D", "-d <driver file>", nullptr};
    EXPECT_EQ(docgen::FileAfter(driver), 0);
    HelpTopic info{"I", "D", "-i [all] [vpd]", nullptr};
    EXPECT_EQ(docgen::FileAfter(info), -1);
    HelpTopic optional{"O", "D", "-sfp <hba> [--devaddr A0|A2] --save [<file>]", nullptr};
    EXPECT_EQ(docgen::FileAfter(optional), 2);
}

TEST(DocParts, RoffEscapeNeutralisesControlCharacters)
{
    EXPECT_EQ(docgen::RoffEscape("-x a\\b"), "\\-x a\\eb");
    EXPECT_EQ(docgen::RoffEscape(".SH no\n'x"), "\\&.SH no\n\\&'x");
    EXPECT_EQ(docgen::OptionSpellings({"-h, -?, --help", ""}),
              (std::vector<std::string>{"-h", "-?", "--help"}));
    EXPECT_EQ(docgen::OptionSpellings({"-o <file>|system", ""}), std::vector<std::string>{"-o"});
}
