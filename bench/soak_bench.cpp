// A long run of applies: the plugin program against the stand-in host, each
// apply started from here and waited for (alternately the "Attempt Brightness
// Preservation" command and a CyanRed movement). Prints applies per second,
// the first failure if there is one, and the footprint of both programs
// (private bytes and movable memory handles; GDI and USER objects of the
// plugin) before, every --report-every applies and after, with where each
// figure comes from.
//
// Every apply makes two host exchanges (a command and its status request).
// Under Wine a process has room for 65,536 movable memory handles, and
// Wine's DDEML keeps some on every exchange unless the plugin and the host
// free them (their Wine compatibility code); the handle counts show that
// neither side keeps any. The footprint reads the GDI and handle tables
// before the memory counters: under Wine the first read of those tables
// makes 2.5 MB of them resident in the process read, which once showed as a
// one-off step of the plugin's private bytes after the warm-up.
// Usage: soak_bench [--applies=N] [--warm-up=N] [--report-every=N]
//        (defaults 100000, 200 and 10000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "plugin_process.h"
#include "process_footprint.h"
#include "soak_session.h"
#include "test_support.h"

namespace {

struct SoakFootprint {
    ProcessFootprint plugin;
    ProcessFootprint host;
};

// One program's footprint; false, with the reason on stderr, when its memory
// counters or (under Wine) its movable handles could not be read, since a
// figure left at 0 or -1 would read as a program that shrank. Wine takes
// another process's private bytes from the wineserver, which reads them
// from /proc/PID/status: it fails when it cannot open that file, and
// answers 0 for a process that has ended, whose status has no memory lines.
bool readOneFootprint(const char* name, const char* when, HANDLE process, DWORD processId,
                      ProcessFootprint& footprint) {
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE) {
        fprintf(stderr, "%s %s: it has ended (exit code %lu)\n", name, when, exitCode);
        footprint = ProcessFootprint();
        return false;
    }
    bool memoryRead = readProcessFootprint(process, processId, footprint);
    const DWORD error = GetLastError();
    if (!memoryRead)
        fprintf(stderr, "%s %s: its memory counters could not be read (GetProcessMemoryInfo error %lu)\n", name, when,
                error);
    else if (footprint.privateBytes == 0)
        fprintf(stderr, "%s %s: its private bytes read as 0, which no running program has\n", name, when);
    memoryRead = memoryRead && footprint.privateBytes != 0;
    const bool handlesRead = footprint.movableHandles >= 0 || !runningUnderWine();
    if (!handlesRead) fprintf(stderr, "%s %s: its movable handles could not be counted\n", name, when);
    return memoryRead && handlesRead;
}

bool readFootprints(const PluginRun& run, const StandInHost& host, const char* when, SoakFootprint& footprint) {
    const bool plugin = readOneFootprint("plugin", when, run.process.hProcess, run.process.dwProcessId,
                                         footprint.plugin);
    const bool standInHost = readOneFootprint("host", when, host.process, host.processId, footprint.host);
    return plugin && standInHost;
}

void printFootprintLine(const char* label, const SoakFootprint& f) {
    printf("%-8s %12.1f %8ld %12.1f %8ld %5ld %5ld\n", label, double(f.plugin.privateBytes) / 1024,
           f.plugin.movableHandles, double(f.host.privateBytes) / 1024, f.host.movableHandles, f.plugin.gdiObjects,
           f.plugin.userObjects);
    fflush(stdout);
}

// "<name> private bytes" and "<name> movable handles" lines: before, after,
// growth, and the growth scaled to 100,000 applies.
void printGrowth(const char* name, const ProcessFootprint& before, const ProcessFootprint& after, int applies) {
    const long long growth = (long long)after.privateBytes - (long long)before.privateBytes;
    const double per100k = applies ? growth * 100000.0 / applies : 0;
    printf("%-6s private bytes   before %llu, after %llu, growth %lld (%.1f KiB); per 100,000 applies %.1f KiB\n",
           name, (unsigned long long)before.privateBytes, (unsigned long long)after.privateBytes, growth,
           growth / 1024.0, per100k / 1024);
    printf("%-6s movable handles before %ld, after %ld\n", name, before.movableHandles, after.movableHandles);
}

}  // namespace

int main(int argc, char** argv) {
    const int applies = std::max(2, numberOption(argc, argv, "--applies", 100000)) & ~1;
    const int warmUp = std::max(0, numberOption(argc, argv, "--warm-up", 200)) & ~1;
    const int reportEvery = std::max(2, numberOption(argc, argv, "--report-every", 10000)) & ~1;

    startMessageBoxWatcher(true);
    StandInHost host;
    if (!startStandInHost(host, "")) {
        fprintf(stderr, "the stand-in host did not start\n");
        stopMessageBoxWatcher();
        return 1;
    }
    int result = 1;
    PluginRun run;
    if (!run.start(PluginBuild::Real)) {
        fprintf(stderr, "the plugin window did not open\n");
    } else if (!runApplies(run, warmUp) || !waitForPalettesReceived(host, size_t(warmUp), 60000)) {
        fprintf(stderr, "the warm-up did not complete\n");
    } else {
        SoakFootprint before, after;
        int unreadFootprints = readFootprints(run, host, "before", before) ? 0 : 1;
        printf("Soak: %d applies after a warm-up of %d, against the stand-in host\n", applies, warmUp);
        printf("private bytes from %s; movable handles from %s (room for 65,536 a process); plugin GDI objects "
               "from %s, USER objects from %s\n",
               before.plugin.privateBytesSource,
               before.plugin.movableHandles >= 0 ? "Wine's handle table" : "nowhere (-1: not under Wine)",
               before.plugin.gdiObjectsSource, before.plugin.userObjectsSource);
        printf("%-8s %12s %8s %12s %8s %5s %5s\n", "applies", "plugin KiB", "movable", "host KiB", "movable", "GDI",
               "USER");
        printFootprintLine("before", before);

        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        // Each apply must reach the host: the run stops at the first message
        // box, which tells that one did not.
        int done = 0;
        bool answered = true, quiet = true;
        while (done < applies && answered && quiet) {
            answered = runApply(run, warmUp + done);
            quiet = messageBoxesSeen().empty();
            if (++done % reportEvery == 0 || done == applies) {
                SoakFootprint now;
                const std::string label = std::to_string(done);
                if (!readFootprints(run, host, ("after " + label + " applies").c_str(), now)) ++unreadFootprints;
                printFootprintLine(label.c_str(), now);
            }
        }
        const double seconds = secondsSince(start);
        if (!quiet) waitForMessageBoxes(2, 15000);  // the send's own box follows a status failure
        const size_t expected = size_t(warmUp + done);
        const bool allReceived = answered && quiet && waitForPalettesReceived(host, expected, 60000);
        if (!readFootprints(run, host, "after the run", after)) ++unreadFootprints;
        printFootprintLine("after", after);

        printf("\napplies                %d in %.1f s: %.1f applies/s (%d asked)\n", done, seconds, done / seconds,
               applies);
        if (!answered)
            printf("first failure          apply %d: the plugin did not answer\n", done);
        else if (!quiet)
            printf("first failure          apply %d: \"%s\": %s\n", done, messageBoxesSeen()[0].caption.c_str(),
                   messageBoxesSeen()[0].text.c_str());
        else
            printf("first failure          none\n");
        printf("palettes received      %zu of %zu\n", palettesReceived(host), expected);
        printGrowth("plugin", before.plugin, after.plugin, done);
        printGrowth("host", before.host, after.host, done);
        printf("plugin GDI objects     before %ld, after %ld\n", before.plugin.gdiObjects, after.plugin.gdiObjects);
        printf("plugin USER objects    before %ld, after %ld\n", before.plugin.userObjects, after.plugin.userObjects);
        printf("message boxes          %zu\n", messageBoxesSeen().size());
        for (const SeenMessageBox& box : messageBoxesSeen())
            printf("  \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
        printf("footprints unread      %d\n", unreadFootprints);
        result = allReceived && unreadFootprints == 0 ? 0 : 1;
        if (!allReceived) fprintf(stderr, "the host did not receive every palette\n");
        if (unreadFootprints) fprintf(stderr, "%d footprint readings failed; their figures are not growth\n", unreadFootprints);
    }
    run.stop();
    stopMessageBoxWatcher();
    stopStandInHost(host);
    DeleteFileA(host.logPath.c_str());  // hundreds of megabytes after a long run
    return result;
}
