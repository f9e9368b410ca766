// Runs the parser over argument vectors with a clean command record and a
// private host property file, capturing what it prints.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/cmdrecord.h"
#include "cli/parser.h"
#include "frame/frame.h"
#include "info/commands.h"
#include "nvram/commands.h"
#include "render/output.h"
#include "testenv.h"
#include "vport/commands.h"

class ParserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedPropertyFile_ = Frame().hostPropertyFile;
        savedInstallDir_ = Frame().installDir;
        Frame().hostPropertyFile = dir.file("brask.properties");
        Frame().installDir = dir.path();
        testenv::WriteFile(Frame().hostPropertyFile, "node.hba.diagnostics.fcping.enable=1\n");
        ResetCommandRecord();
    }
    void TearDown() override
    {
        ResetCommandRecord();
        Frame().hostPropertyFile = savedPropertyFile_;
        Frame().installDir = savedInstallDir_;
    }

    // Parses "volk" followed by args; what the parser printed lands in out.
    int Parse(const std::vector<std::string> &args)
    {
        ResetCommandRecord();
        std::vector<const char *> argv{"volk"};
        for (const std::string &a : args)
            argv.push_back(a.c_str());
        ::testing::internal::CaptureStdout();
        int status = ParseArg(int(argv.size()), argv.data());
        out = ::testing::internal::GetCapturedStdout();
        return status;
    }

    static std::string Message() { return Outcome().errorMessage; }

    // The request the command's parser left, of its area's type.
    template <class R> static const R &Request()
    {
        static const R none{};
        const R *request = RequestOf<R>(Cmd().input);
        EXPECT_NE(request, nullptr);
        return request ? *request : none;
    }

    // A failed parse with this status and message.
    ::testing::AssertionResult ParseFails(const std::vector<std::string> &args, int status,
                                          const std::string &message)
    {
        int got = Parse(args);
        if (got == status && Outcome().parseError && Message() == message)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "status " << got << " (want " << status << "), parse error "
               << Outcome().parseError << ", message \"" << Message() << "\" (want \"" << message
               << "\")";
    }

    testenv::TempDir dir;
    std::string out;

private:
    std::string savedPropertyFile_;
    std::string savedInstallDir_;
};

#define EXPECT_PARSE_FAILS(args, status, message)                                                  \
    EXPECT_TRUE(ParseFails((args), (status), (message)))

using Args = std::vector<std::string>;
