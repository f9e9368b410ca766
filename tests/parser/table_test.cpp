// The command table as a whole: every spelling reaches its own row, every row
// has help, and the processor answers every command not built yet.
#include <set>

#include "cli/processor.h"
#include "cli/table.h"
#include "command/table.h"
#include "parser_fixture.h"

namespace {

std::vector<std::string> Spellings(const CommandRow &row)
{
    std::vector<std::string> out{std::string(row.word)};
    for (std::string_view alias : row.aliases)
        if (!alias.empty())
            out.emplace_back(alias);
    return out;
}

// "-word" in its other spellings: two dashes, '/', upper case.
std::vector<std::string> OtherForms(const std::string &spelling)
{
    std::string body = spelling.substr(spelling.find_first_not_of('-'));
    std::string upper = spelling;
    for (char &ch : upper)
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return {"--" + body, "/" + body, upper};
}

TEST_F(ParserTest, EverySpellingReachesItsOwnRowAndNoOther)
{
    std::set<std::string> seen;
    for (const CommandRow &row : CommandTable()) {
        for (const std::string &spelling : Spellings(row)) {
            std::string body = spelling.substr(spelling.find_first_not_of('-'));
            EXPECT_TRUE(seen.insert(body).second) << spelling << " is spelled twice";
            std::vector<std::string> forms = OtherForms(spelling);
            forms.push_back(spelling);
            for (const std::string &form : forms) {
                EXPECT_EQ(FindCommandRow(form), &row) << form;
                // Help after the word stops before the operands: the word alone decides.
                EXPECT_EQ(Parse({form, "-h"}), 0) << form << ": " << Message();
                EXPECT_EQ(Cmd().row, &row) << form;
                EXPECT_EQ(Cmd().command, row.code) << form;
            }
        }
    }
    EXPECT_EQ(FindCommandRow("-nosuchword"), nullptr);
}

TEST_F(ParserTest, EveryRowHasHelpAndEveryCodeItsFirstWord)
{
    for (const CommandRow &row : CommandTable()) {
        ASSERT_NE(row.help, nullptr) << row.word;
        EXPECT_NE(row.help->title, nullptr) << row.word;
        EXPECT_NE(row.help->syntax, nullptr) << row.word;
        EXPECT_NE(row.parse, nullptr) << row.word;
        EXPECT_NE(row.run, nullptr) << row.word;
        EXPECT_NE(FindCommandRow(row.code), nullptr) << row.word;
        EXPECT_EQ(FindCommandRow(FindCommandRow(row.code)->word), FindCommandRow(row.code));
    }
    EXPECT_EQ(FindCommandRow(CommandCode::None), nullptr);
    EXPECT_STREQ(CommandWordOf(CommandCode::None), "");
}

// A run of a command not built yet never reaches an adapter: it answers at
// once, as text or as a whole document, whatever its operands named.
TEST_F(ParserTest, ProcessorAnswersEveryUnbuiltRowOptionDisabled)
{
    size_t unbuilt = 0;
    for (const CommandRow &row : CommandTable()) {
        if (row.run != RunNotBuilt)
            continue;
        ++unbuilt;
        for (bool xml : {false, true}) {
            ResetCommandRecord();
            if (xml)
                SetXmlOutput(1);
            Cmd().row = &row;
            Cmd().command = row.code;
            Cmd().commandSelected = true;
            Cmd().input.adapter.kind = AdapterSelection::Instance;
            Cmd().input.adapter.instance = 64; // no such adapter: never looked up
            ::testing::internal::CaptureStdout();
            int status = ProcessCommand();
            std::string printed = ::testing::internal::GetCapturedStdout();
            EXPECT_EQ(status, 136) << row.word;
            if (xml) {
                EXPECT_NE(printed.find("<Status> 1 </Status>"), std::string::npos) << row.word;
                EXPECT_NE(printed.find("<ErrorMsg> Option is currently disabled! </ErrorMsg>"),
                          std::string::npos)
                    << row.word;
            } else {
                EXPECT_EQ(printed, "Option is currently disabled!\n") << row.word;
            }
        }
    }
    EXPECT_GT(unbuilt, 0u);
    EXPECT_LT(unbuilt, CommandTable().size());
}

// One-adapter rows refuse a run without an adapter before anything is looked up.
TEST_F(ParserTest, ProcessorRefusesAOneAdapterRowWithoutItsAdapter)
{
    const CommandRow *alias = FindCommandRow(CommandCode::AdapterAlias);
    ASSERT_NE(alias, nullptr);
    ASSERT_EQ(alias->adapters, AdapterUse::One);
    Cmd().row = alias;
    Cmd().commandSelected = true;
    ::testing::internal::CaptureStdout();
    int status = ProcessCommand();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Please specify the HBA instance or WWPN number!\n");
    EXPECT_EQ(status, 130);
}

} // namespace
