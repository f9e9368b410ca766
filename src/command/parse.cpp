#include "command/parse.h"

#include <cstdarg>
#include <cstdio>

#include "session/lifecycle.h"

ParseOutcome &Outcome()
{
    static ParseOutcome outcome;
    return outcome;
}

void ResetParseOutcome() { Outcome() = ParseOutcome{}; }

int SetParseError(int status, const char *format, ...)
{
    ParseOutcome &c = Outcome();
    if (!c.parseError) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(c.errorMessage, sizeof c.errorMessage, format, args);
        va_end(args);
        c.parseStatus = status;
    }
    c.parseError = true;
    SetCleanupBlocked(c.helpRequested, true);
    return c.parseStatus;
}

int SetParseErrorStatus(int status)
{
    ParseOutcome &c = Outcome();
    if (!c.parseError)
        c.parseStatus = status;
    c.parseError = true;
    SetCleanupBlocked(c.helpRequested, true);
    return c.parseStatus;
}

void SetHelpRequested()
{
    ParseOutcome &c = Outcome();
    c.helpRequested = true;
    SetCleanupBlocked(true, c.parseError);
}
