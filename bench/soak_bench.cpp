// A long run of applies: the plugin program against the stand-in host, each
// apply a forced one started by the "Attempt Brightness Preservation" command
// and waited for. Prints applies per second and the plugin's footprint
// (private bytes, GDI objects, USER objects) before and after, with progress
// lines on the way and where each figure comes from.
// Usage: soak_bench [--applies=N] [--warm-up=N] [--report-every=N]
//        (defaults 10000, 200 and 1000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugin_process.h"
#include "process_footprint.h"
#include "soak_session.h"
#include "test_support.h"

namespace {

int numberOption(int argc, char** argv, const char* name, int fallback) {
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') return std::atoi(argv[i] + length + 1);
    return fallback;
}

double secondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

void printFootprint(const char* label, const ProcessFootprint& f) {
    printf("%-12s private %10.1f KiB  GDI %5ld  USER %5ld\n", label, double(f.privateBytes) / 1024, f.gdiObjects,
           f.userObjects);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int applies = std::max(2, numberOption(argc, argv, "--applies", 10000)) & ~1;
    const int warmUp = std::max(0, numberOption(argc, argv, "--warm-up", 200)) & ~1;
    const int reportEvery = std::max(2, numberOption(argc, argv, "--report-every", 1000)) & ~1;

    StandInHost host;
    if (!startStandInHost(host, "")) {
        fprintf(stderr, "the stand-in host did not start\n");
        return 1;
    }
    startMessageBoxWatcher(true);
    int result = 1;
    PluginRun run;
    if (!run.start(PluginBuild::Real)) {
        fprintf(stderr, "the plugin window did not open\n");
    } else if (!runApplies(run, warmUp) || !waitForPalettesReceived(host, size_t(warmUp), 60000)) {
        fprintf(stderr, "the warm-up did not complete\n");
    } else {
        ProcessFootprint before, after;
        pluginFootprint(run, before);
        printf("Soak: %d forced applies after a warm-up of %d, against the stand-in host\n", applies, warmUp);
        printf("private bytes from %s, GDI objects from %s, USER objects from %s\n", before.privateBytesSource,
               before.gdiObjectsSource, before.userObjectsSource);
        printFootprint("before", before);

        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        bool answered = true;
        for (int done = 0; done < applies && answered;) {
            const int step = std::min(reportEvery, applies - done);
            answered = runApplies(run, step);
            done += step;
            ProcessFootprint now;
            pluginFootprint(run, now);
            char label[32];
            snprintf(label, sizeof label, "%d", done);
            printFootprint(label, now);
        }
        const double seconds = secondsSince(start);
        const size_t expected = size_t(warmUp + applies);
        const bool allReceived = answered && waitForPalettesReceived(host, expected, 60000);
        pluginFootprint(run, after);
        printFootprint("after", after);

        const size_t received = palettesReceived(host);
        const long long growth = (long long)after.privateBytes - (long long)before.privateBytes;
        printf("\napplies                %d in %.1f s: %.1f applies/s\n", applies, seconds, applies / seconds);
        printf("palettes received      %zu of %zu\n", received, expected);
        printf("private bytes          before %llu, after %llu, growth %lld (%.1f KiB)\n",
               (unsigned long long)before.privateBytes, (unsigned long long)after.privateBytes, growth,
               growth / 1024.0);
        printf("GDI objects            before %ld, after %ld\n", before.gdiObjects, after.gdiObjects);
        printf("USER objects           before %ld, after %ld\n", before.userObjects, after.userObjects);
        printf("message boxes          %zu\n", messageBoxesSeen().size());
        result = allReceived ? 0 : 1;
        if (!allReceived) fprintf(stderr, "the host did not receive every palette\n");
    }
    run.stop();
    stopMessageBoxWatcher();
    stopStandInHost(host);
    DeleteFileA(host.logPath.c_str());  // tens of megabytes after a long run
    return result;
}
