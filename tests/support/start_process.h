// CreateProcessA that tries again when the start fails for a reason other
// than the program itself. Under Wine a child's start-up now and then fails
// with ERROR_INTERNAL_ERROR while the machine is busy (seen once in a whole
// test run); a second attempt a moment later starts it. A missing or invalid
// program fails at once, as before.
#pragma once

#include <windows.h>

inline bool startProcessRetrying(char* commandLine, bool inheritHandles, STARTUPINFOA& startup,
                                 PROCESS_INFORMATION& started) {
    const int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, inheritHandles ? TRUE : FALSE,
                           0, nullptr, nullptr, &startup, &started))
            return true;
        const DWORD error = GetLastError();
        const bool programIsAtFault = error == ERROR_FILE_NOT_FOUND ||
                                      error == ERROR_PATH_NOT_FOUND ||
                                      error == ERROR_BAD_EXE_FORMAT ||
                                      error == ERROR_ACCESS_DENIED;
        if (programIsAtFault || attempt == attempts) {
            SetLastError(error);
            return false;
        }
        Sleep(250 * attempt);
    }
}
