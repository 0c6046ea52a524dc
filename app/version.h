// The program's version, one place for the code and the Windows resources
// (which the resource compiler reads with its own preprocessor: #defines only).
#pragma once

#define VELTRANE_VERSION_TEXT "1.0"
#define VELTRANE_VERSION_MAJOR 1
#define VELTRANE_VERSION_MINOR 0
// The number of this build in the update scheme; the update check compares it.
#define VELTRANE_UPDATE_NUMBER 6
#define VELTRANE_UPDATE_NUMBER_TEXT "6"
