// What parsing one command line came to: the first failure and its message, or
// a help request. Every operand parser, the command line's and each area's,
// reports through here.
#pragma once

#include <cstddef>

#include "base/text.h"

constexpr size_t kErrorMessageSize = 256;

// Parse status codes.
enum : int {
    kParseOk = 0,
    kParseFileError = 1,
    kParseTooLarge = 15,
    kParseNoMemory = 115,
    kParseNoAdapter = 130,
    kParseBadWwn = 132,
    kParseBadLun = 133,
    kParseMissingInput = 134,
    kParseTooMany = 135, // also an operand that does not parse
    kParseNotCombinable = 136,
    kParseUnrecognized = 137,
    // Range codes of the parameter parsers.
    kParseBadDiagValue = 48,
    kParseBadParameter = 60, // adapter (NVRAM) and diagnostics parameters
    kParseDuplicateTargetId = 110,
    kParseBadTargetId = 111,
    kParseBadVportValue = 282,
    kParseBadMonitorValue = 602,
};

struct ParseOutcome {
    bool parseError = false;
    int parseStatus = 0;
    char errorMessage[kErrorMessageSize] = {};
    bool helpRequested = false;
};

ParseOutcome &Outcome();
void ResetParseOutcome();

// Records a failure: parse error set, status kept, message formatted into the
// 256-byte buffer. The first failure of a run is the one reported. Answers status.
int SetParseError(int status, const char *format, ...) TAVRO_PRINTF(2, 3);
// A failure whose message someone else already wrote (or that has none).
int SetParseErrorStatus(int status);
void SetHelpRequested();
