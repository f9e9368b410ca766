#include "frame/frame.h"

#include <system_error>

#include "frame/messages.h"

#include <cstring>

FrameState &Frame()
{
    static FrameState state;
    return state;
}

int OSSEnterCriticalSection()
{
    try {
        Frame().critSection.lock();
        return 0;
    } catch (const std::system_error &e) {
        PrintWithLevel(kLevelError, "OSSEnterCriticalSection: Failed with (%s)\n", e.what());
        return -1;
    }
}

int OSSLeaveCriticalSection()
{
    Frame().critSection.unlock();
    return 0;
}
