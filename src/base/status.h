// Named status codes: the exit codes a user meets (the installation's
// fcvolk-exitcodes.txt lists them all, with these names). Code never uses the
// bare numbers; add a name here when an area needs one.
#pragma once

enum TavroStatus : int {
    kStatusOk = 0,                    // TAVRO_OK
    kStatusGeneralFailure = 1,        // GENERAL_FAILURE
    kStatusNoAdapter = 8,             // HBA_NOT_FOUND
    kStatusNoMemory = 115,            // OUT_OF_MEMORY
    kStatusDeviceNotFound = 119,      // DEVICE_NOT_FOUND
    kStatusAdapterNotGiven = 130,     // HBA_NOT_SPECIFIED
    kStatusParseFailed = 134,         // OPTION_INPUT_MISSING
    kStatusTooManyOptions = 135,      // TOO_MANY_OPTIONS
    kStatusDisabled = 136,            // OPTION_NOT_ALLOWED
    kStatusUnrecognized = 137,        // OPTION_UNRECOGNIZED
    kStatusInstallFilesMissing = 270, // INSTALL_FILES_MISSING
};
