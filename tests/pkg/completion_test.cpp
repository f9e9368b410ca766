// The generated bash completion, driven through bash's own completion
// variables: what "volk -" offers, keywords after a command, files where a
// command takes one.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "cli/table.h"
#include "testenv.h"

namespace {

std::string CompletionPath()
{
    return std::string(TAVRO_BINARY_DIR) + "/share/bash-completion/completions/volk";
}

class Completion : public ::testing::Test {
protected:
    // Completes the last word of line (split at blanks; a trailing blank
    // starts an empty word) in the test's directory; one candidate a line.
    std::vector<std::string> Complete(const std::string &line)
    {
        const std::string script = "source \"$1\" || exit 9\n"
                                   "cd \"$2\" || exit 9\n"
                                   "read -r -a COMP_WORDS <<<\"$3\"\n"
                                   "[[ $3 == *' ' ]] && COMP_WORDS+=('')\n"
                                   "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                                   "COMP_LINE=$3; COMP_POINT=${#3}\n"
                                   "_volk volk \"${COMP_WORDS[COMP_CWORD]}\" || exit 8\n"
                                   "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
        testenv::RunResult r =
            testenv::Run({"/bin/bash", "-c", script, "bash", CompletionPath(), dir.path(), line});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> words;
        std::istringstream in(r.out);
        for (std::string w; std::getline(in, w);)
            if (!w.empty())
                words.push_back(w);
        return words;
    }
    static bool Has(const std::vector<std::string> &words, const std::string &w)
    {
        return std::find(words.begin(), words.end(), w) != words.end();
    }
    testenv::TempDir dir;
};

} // namespace

TEST_F(Completion, DashListsEveryCommandWordAndTheGlobalOptions)
{
    const std::vector<std::string> words = Complete("volk -");
    for (const CommandRow &row : CommandTable())
        EXPECT_TRUE(Has(words, std::string(row.word))) << row.word;
    for (const char *global : {"-x", "-x2", "--json", "-o", "-s", "-f", "-h", "--help"})
        EXPECT_TRUE(Has(words, global)) << global;
    EXPECT_FALSE(Has(words, "all")) << "a keyword before any command";
}

TEST_F(Completion, PrefixNarrowsTheWords)
{
    const std::vector<std::string> words = Complete("volk -vp");
    EXPECT_TRUE(Has(words, "-vp"));
    EXPECT_FALSE(Has(words, "-i"));
}

TEST_F(Completion, FlashUpdateOffersFilesAfterThePort)
{
    testenv::WriteFile(dir.file("cv2322.bin"), "x");
    std::vector<std::string> words = Complete("volk -b 0 ");
    EXPECT_TRUE(Has(words, "cv2322.bin"));
    EXPECT_TRUE(Has(words, "save")) << "the keywords of -b stay offered";
    // Any spelling of the word, and a prefix of the file name.
    words = Complete("volk --B 0 cv");
    EXPECT_EQ(words, std::vector<std::string>{"cv2322.bin"});
    // Before the port, no file: a port or a keyword comes first.
    words = Complete("volk -b ");
    EXPECT_FALSE(Has(words, "cv2322.bin"));
    EXPECT_TRUE(Has(words, "all"));
}

TEST_F(Completion, KeywordsWithoutFilesForCommandsThatTakeNone)
{
    testenv::WriteFile(dir.file("vpd-notes.txt"), "x");
    const std::vector<std::string> words = Complete("volk -i 0 ");
    EXPECT_TRUE(Has(words, "vpd"));
    EXPECT_TRUE(Has(words, "vfc"));
    EXPECT_FALSE(Has(words, "vpd-notes.txt"));
}

TEST_F(Completion, GlobalOptionsThatTakeAFileOfferFiles)
{
    testenv::WriteFile(dir.file("options.txt"), "-g");
    EXPECT_TRUE(Has(Complete("volk -f "), "options.txt"));
    // The option and its file are skipped when looking for the command.
    const std::vector<std::string> words = Complete("volk -o out.txt -i 0 v");
    EXPECT_TRUE(Has(words, "vpd"));
    EXPECT_FALSE(Has(words, "-i"));
}
