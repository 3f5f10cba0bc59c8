// main() of every GoogleTest program that runs under Wine.
//
// On a busy machine Wine now and then fails to start a program at all: it
// ends before the program's first line and prints nothing, which ctest would
// report as a failed test. wine-run.sh tells such a start apart from a test
// that ran and failed by the file that this main creates before anything
// else, and starts the program again only when the file is missing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const char* startedFile = std::getenv("WINE_RUN_STARTED_FILE");
    if (startedFile && *startedFile) {
        HANDLE file = CreateFileA(startedFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
