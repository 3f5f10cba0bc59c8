// A long run of applies: the plugin program against the stand-in host, each
// apply started from here and waited for (alternately the "Attempt Brightness
// Preservation" command and a CyanRed movement). Prints applies per second
// and the plugin's footprint (private bytes, GDI objects, USER objects)
// before and after, with progress lines on the way and where each figure
// comes from.
//
// Every apply makes two host exchanges (a command and its status request).
// Wine's DDEML keeps a little memory for every status reply; to tell that
// apart from the plugin's own, this program first makes the same exchanges
// itself, with the same DDEML calls, against a host of their own, and
// measures its own growth per exchange.
//
// Under Wine the stand-in host stops answering status requests after 21,844
// command-and-status exchanges in its life, counted over all its
// conversations (21,844 x 3 = 65,532: apparently a 16-bit count in its DDEML
// that grows three times an exchange). One host thus serves at most about
// 10,900 applies; the default run stays below that, and the calibration has
// a host of its own.
// Usage: soak_bench [--applies=N] [--warm-up=N] [--report-every=N]
//                   [--exchanges=N]
//        (defaults 10000, 200, 1000 and 2000)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_support.h"
#include "plugin_process.h"
#include "process_footprint.h"
#include "soak_session.h"
#include "test_support.h"

namespace {

// A status request made as the plugin makes it: a fresh item handle, a
// synchronous XTYP_REQUEST, the reply read and freed.
bool requestStatusAsThePluginDoes() {
    const DdeTestClient& client = ddeTestClient;
    HSZ item = DdeCreateStringHandleA(client.instance, "ImageServerItem", CP_WINANSI);
    HDDEDATA data =
        DdeClientTransaction(nullptr, 0, client.conversation, item, CF_TEXT, XTYP_REQUEST, 1000, nullptr);
    DdeFreeStringHandle(client.instance, item);
    if (!data) return false;
    char reply[101] = "";
    const DWORD size = std::min<DWORD>(DdeGetData(data, nullptr, 0, 0), 100);
    DdeGetData(data, reinterpret_cast<LPBYTE>(reply), size, 0);
    DdeFreeDataHandle(data);
    return std::strncmp(reply, "OK", 2) == 0;
}

// This process's growth in private bytes per host exchange ("SELECTCOLORLAYER"
// and its status request), over `exchanges` of them after a warm-up; a
// negative value when the exchanges failed.
double ownGrowthPerExchange(int exchanges) {
    if (!connectTestClient()) return -1;
    bool answered = true;
    for (int i = 0; i < 200 && answered; ++i)
        answered = executeHostCommand("SELECTCOLORLAYER") && requestStatusAsThePluginDoes();
    ProcessFootprint before, after;
    readProcessFootprint(GetCurrentProcess(), GetCurrentProcessId(), before);
    for (int i = 0; i < exchanges && answered; ++i)
        answered = executeHostCommand("SELECTCOLORLAYER") && requestStatusAsThePluginDoes();
    readProcessFootprint(GetCurrentProcess(), GetCurrentProcessId(), after);
    disconnectTestClient();
    if (!answered) return -1;
    return (double(after.privateBytes) - double(before.privateBytes)) / exchanges;
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
    const int exchanges = std::max(1, numberOption(argc, argv, "--exchanges", 2000));

    startMessageBoxWatcher(true);
    double exchangeGrowth = -1;
    StandInHost calibrationHost;
    if (startStandInHost(calibrationHost, "")) exchangeGrowth = ownGrowthPerExchange(exchanges);
    stopStandInHost(calibrationHost);
    DeleteFileA(calibrationHost.logPath.c_str());

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
        ProcessFootprint before, after;
        pluginFootprint(run, before);
        printf("Soak: %d applies after a warm-up of %d, against the stand-in host\n", applies, warmUp);
        printf("private bytes from %s, GDI objects from %s, USER objects from %s\n", before.privateBytesSource,
               before.gdiObjectsSource, before.userObjectsSource);
        printFootprint("before", before);

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
                ProcessFootprint now;
                pluginFootprint(run, now);
                char label[32];
                snprintf(label, sizeof label, "%d", done);
                printFootprint(label, now);
            }
        }
        if (!answered) fprintf(stderr, "apply %d: the plugin did not answer\n", done);
        if (!quiet) {
            fprintf(stderr, "apply %d showed a message box; the run stops here\n", done);
            waitForMessageBoxes(2, 15000);  // the send's own box follows a status failure
        }
        const double seconds = secondsSince(start);
        const size_t expected = size_t(warmUp + done);
        const bool allReceived = answered && quiet && waitForPalettesReceived(host, expected, 60000);
        pluginFootprint(run, after);
        printFootprint("after", after);

        const size_t received = palettesReceived(host);
        const long long growth = (long long)after.privateBytes - (long long)before.privateBytes;
        printf("\napplies                %d in %.1f s: %.1f applies/s (%d asked)\n", done, seconds, done / seconds,
               applies);
        printf("palettes received      %zu of %zu\n", received, expected);
        printf("private bytes          before %llu, after %llu, growth %lld (%.1f KiB)\n",
               (unsigned long long)before.privateBytes, (unsigned long long)after.privateBytes, growth,
               growth / 1024.0);
        printf("GDI objects            before %ld, after %ld\n", before.gdiObjects, after.gdiObjects);
        printf("USER objects           before %ld, after %ld\n", before.userObjects, after.userObjects);
        printf("message boxes          %zu\n", messageBoxesSeen().size());
        for (const SeenMessageBox& box : messageBoxesSeen())
            printf("  \"%s\": %s\n", box.caption.c_str(), box.text.c_str());
        if (exchangeGrowth >= 0) {
            // Two exchanges an apply.
            const double ddemlShare = 2.0 * done * exchangeGrowth;
            printf("DDE exchanges alone    %.0f bytes each in this process (%d exchanges): %.0f bytes "
                   "(%.1f KiB) for %d applies\n",
                   exchangeGrowth, exchanges, ddemlShare, ddemlShare / 1024, done);
            printf("growth beyond them     %.0f bytes (%.1f KiB)\n", double(growth) - ddemlShare,
                   (double(growth) - ddemlShare) / 1024);
        } else {
            printf("DDE exchanges alone    not measured (the exchanges failed)\n");
        }
        result = allReceived ? 0 : 1;
        if (!allReceived) fprintf(stderr, "the host did not receive every palette\n");
    }
    run.stop();
    stopMessageBoxWatcher();
    stopStandInHost(host);
    DeleteFileA(host.logPath.c_str());  // tens of megabytes after a long run
    return result;
}
