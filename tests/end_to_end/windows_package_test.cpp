// The Windows package as a user unpacks it (the WindowsPackage.BuildAndUnpack
// step before these tests builds the zip and unpacks it afresh): the three
// programs and the read-me are there, and the plugin from it opens its window
// against the stand-in host from it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin_process.h"

#ifndef UNPACKED_PACKAGE_UNIX_PATH
#error "UNPACKED_PACKAGE_UNIX_PATH must name the folder the package unpacks to"
#endif

namespace {

// The Windows path (Z:\...) of a file in the unpacked package.
std::string packaged(const char* name) {
    std::string path = std::string("Z:") + UNPACKED_PACKAGE_UNIX_PATH + "/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string fileText(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

TEST(WindowsPackage, HoldsTheProgramsAndAReadMeWithWindowsLineEnds) {
    for (const char* name : {"ColorBalancePlugin.exe", "palette-balance.exe", "StandInKavrin.exe", "ReadMe.txt",
                             "samples\\dawn.gpl", "samples\\sprites.bmp", "samples\\dusk.balance"})
        EXPECT_NE(GetFileAttributesA(packaged(name).c_str()), INVALID_FILE_ATTRIBUTES) << name;

    const std::string readMe = fileText(packaged("ReadMe.txt"));
    ASSERT_FALSE(readMe.empty());
    size_t bareLineFeeds = 0;
    for (size_t i = 0; i < readMe.size(); ++i)
        if (readMe[i] == '\n' && (i == 0 || readMe[i - 1] != '\r')) ++bareLineFeeds;
    EXPECT_EQ(bareLineFeeds, 0u) << "ReadMe.txt has line ends without CR";

    DWORD exitCode = 1;
    std::string output;
    ASSERT_TRUE(runProcess("\"" + packaged("palette-balance.exe") + "\" --help", 10000, exitCode, output));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(output.rfind("Usage: palette-balance", 0), 0u) << output;
}

// The read-me's palette-balance examples: every line that begins with
// palette-balance.exe (cmd) or .\palette-balance.exe (PowerShell; cmd takes
// it too) and an option, in the read-me's order.
std::vector<std::string> readMeExamples(const std::string& readMe) {
    std::vector<std::string> examples;
    for (size_t begin = 0, end; begin < readMe.size(); begin = end + 1) {
        end = std::min(readMe.find('\n', begin), readMe.size());
        std::string line = readMe.substr(begin, end - begin);
        line.erase(0, line.find_first_not_of(' '));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("palette-balance.exe --", 0) == 0 || line.rfind(".\\palette-balance.exe --", 0) == 0)
            examples.push_back(line);
    }
    return examples;
}

// Each example runs as written through cmd in the unpacked folder, on the
// package's samples, and succeeds.
TEST(WindowsPackage, ReadMeExamplesRunAsWrittenInTheUnpackedFolder) {
    const std::vector<std::string> examples = readMeExamples(fileText(packaged("ReadMe.txt")));
    EXPECT_GE(examples.size(), 8u) << "the read-me's examples were not found";
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof before, before);
    ASSERT_TRUE(SetCurrentDirectoryA(packaged("").c_str()));
    for (const std::string& example : examples) {
        DWORD exitCode = 99;
        std::string output;
        ASSERT_TRUE(runProcess("cmd /c " + example, 30000, exitCode, output)) << example;
        EXPECT_EQ(exitCode, 0u) << example << "\n" << output;
        std::printf("ran: %s\n", example.c_str());
    }
    SetCurrentDirectoryA(before);
}

TEST(WindowsPackage, PluginFromItOpensItsWindowAgainstTheStandInHostFromItAndExitsWithZero) {
    StandInHost host;
    host.program = packaged("StandInKavrin.exe");
    ASSERT_TRUE(startStandInHost(host, ""));

    PluginRun run;
    run.program = packaged("ColorBalancePlugin.exe");
    EXPECT_TRUE(run.start(PluginBuild::Real)) << "no filled plugin window from " << run.program;
    EXPECT_TRUE(run.window && IsWindowVisible(run.window));

    DWORD exitCode = 99;
    if (run.window) PostMessageA(run.window, WM_COMMAND, 105 /* E&xit Plugin */, 0);
    EXPECT_TRUE(run.waitForExit(10000, exitCode));
    EXPECT_EQ(exitCode, 0u);
    stopStandInHost(host);
}

}  // namespace
