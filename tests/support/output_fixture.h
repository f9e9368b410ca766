// Shared set-up of the output tests: default settings, a private directory,
// captured standard output and standard input fed from a pipe.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "frame/frame.h"
#include "render/output.h"
#include "testenv.h"

class OutputTest : public ::testing::Test {
protected:
    void SetUp() override { Defaults(); }
    void TearDown() override { Defaults(); }
    static void Defaults()
    {
        ResetOutputSettings();
        Frame().debugTrace = false;
    }
    // Standard output of fn.
    static std::string Capture(const std::function<void()> &fn)
    {
        ::testing::internal::CaptureStdout();
        fn();
        return ::testing::internal::GetCapturedStdout();
    }
    testenv::TempDir dir;
};

// Replaces standard input with a pipe holding data for the life of the object.
class StdinFeed {
public:
    explicit StdinFeed(const std::string &data)
    {
        int fds[2];
        saved_ = dup(STDIN_FILENO);
        if (pipe(fds) != 0)
            return;
        if (write(fds[1], data.data(), data.size()) != static_cast<ssize_t>(data.size()))
            ADD_FAILURE() << "short write to the input pipe";
        close(fds[1]);
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
    }
    ~StdinFeed()
    {
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }
    // What nobody has read yet.
    static std::string Rest()
    {
        std::string out;
        char buf[256];
        ssize_t n;
        while ((n = read(STDIN_FILENO, buf, sizeof buf)) > 0)
            out.append(buf, static_cast<size_t>(n));
        return out;
    }

private:
    int saved_ = -1;
};
