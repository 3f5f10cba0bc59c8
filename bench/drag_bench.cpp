// A synthetic drag of the CyanRed slider against the stand-in host: how many
// slider notifications the plugin handles per second and how many palettes
// reach the host per second. Three ways of dragging:
//   sent    each step is TBM_SETPOS and WM_HSCROLL(TB_THUMBTRACK) sent and
//           waited for, so every step's apply runs to its end;
//   posted  all steps are posted at once, as a fast drag queues them; steps
//           that arrive while an apply waits for the host are dropped;
//   paced   one step posted every 8 ms, about as often as a mouse reports
//           its moves during a drag; again steps are dropped while an apply
//           waits.
// Usage: drag_bench [--steps=N] [--runs=N]   (defaults 200 and 5)
// Prints one line per run and a table of medians.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "plugin_probe.h"
#include "plugin_process.h"
#include "test_support.h"

namespace {

struct DragFigures {
    double seconds = 0;
    double notificationsPerSecond = 0;
    size_t palettes = 0;
    double palettesPerSecond = 0;
};

// The position of step i: a sweep to the right from the middle and back, so
// that neighbouring steps give different palettes.
int stepPosition(int i) {
    const int span = 200;
    const int phase = i % (2 * span);
    return 257 + (phase < span ? phase : 2 * span - 1 - phase);
}

enum class DragKind { Sent, Posted, Paced };

const char* dragKindName(DragKind kind) {
    return kind == DragKind::Sent ? "sent" : kind == DragKind::Posted ? "posted" : "paced 8 ms";
}

constexpr double kPacedStepSeconds = 0.008;

bool dragOnce(PluginBuild build, DragKind kind, int steps, DragFigures& figures) {
    StandInHost host;
    if (!startStandInHost(host, "")) return false;
    PluginRun run;
    bool measured = false;
    if (run.start(build)) {
        HWND cyanRed = run.controls.balanceTrackbars[0];
        const size_t before = hostReceivedPalettes(host).size();
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        bool delivered = true;
        for (int i = 0; i < steps && delivered; ++i) {
            if (kind == DragKind::Paced)
                while (secondsSince(start) < i * kPacedStepSeconds) Sleep(1);
            delivered = kind == DragKind::Sent ? moveTrackbar(run, cyanRed, stepPosition(i))
                                               : postTrackbarMove(run, cyanRed, stepPosition(i));
        }
        if (delivered && kind != DragKind::Sent) {
            // The last step is handled once the info line shows it; its apply,
            // if it ran, has ended once the busy flag is clear.
            const std::string last = infoLineWithCyanRed(All, stepPosition(steps - 1));
            delivered = waitUntil([&] { return windowText(run.controls.infoLine) == last; }, 60000) &&
                        waitUntil(
                            [&] {
                                LRESULT busy = 1;
                                return probeRead(run.probe, kProbeTransformBusy, busy) && busy == 0;
                            },
                            60000);
        }
        figures.seconds = secondsSince(start);
        figures.palettes = hostReceivedPalettes(host).size() - before;
        figures.notificationsPerSecond = steps / figures.seconds;
        figures.palettesPerSecond = double(figures.palettes) / figures.seconds;
        measured = delivered;
    }
    run.stop();
    stopStandInHost(host);
    return measured;
}

}  // namespace

int main(int argc, char** argv) {
    const int steps = std::max(1, numberOption(argc, argv, "--steps", 200));
    const int runs = std::max(1, numberOption(argc, argv, "--runs", 5));
    startMessageBoxWatcher(true);

    // Posted and paced drags need the probe's busy flag to tell when the
    // last step has been handled.
    struct Variant {
        PluginBuild build;
        DragKind kind;
    } variants[] = {{PluginBuild::Real, DragKind::Sent},
                    {PluginBuild::Probed, DragKind::Sent},
                    {PluginBuild::Probed, DragKind::Posted},
                    {PluginBuild::Probed, DragKind::Paced}};
    struct Row {
        std::string name;
        std::vector<double> seconds, notifications, palettes, palettesPerSecond;
    };
    std::vector<Row> rows;
    for (const Variant& variant : variants) {
        Row row;
        row.name = std::string(pluginBuildName(variant.build)) + " " + dragKindName(variant.kind);
        for (int r = 0; r < runs; ++r) {
            DragFigures figures;
            if (!dragOnce(variant.build, variant.kind, steps, figures)) {
                fprintf(stderr, "%s run %d: the drag could not be measured\n", row.name.c_str(), r + 1);
                continue;
            }
            printf("%-26s run %d: %7.1f ms, %7.1f notifications/s, %4zu palettes, %7.1f palettes/s\n",
                   row.name.c_str(), r + 1, figures.seconds * 1000, figures.notificationsPerSecond, figures.palettes,
                   figures.palettesPerSecond);
            fflush(stdout);
            row.seconds.push_back(figures.seconds);
            row.notifications.push_back(figures.notificationsPerSecond);
            row.palettes.push_back(double(figures.palettes));
            row.palettesPerSecond.push_back(figures.palettesPerSecond);
        }
        rows.push_back(row);
    }
    stopMessageBoxWatcher();
    for (const SeenMessageBox& box : messageBoxesSeen())
        fprintf(stderr, "message box seen: %s / %s\n", box.caption.c_str(), box.text.c_str());

    printf("\nDrag of %d TB_THUMBTRACK steps against the stand-in host, medians of %d runs\n", steps, runs);
    printf("%-26s %10s %16s %10s %12s\n", "plugin, drag", "wall ms", "notifications/s", "palettes", "palettes/s");
    bool allMeasured = true;
    for (const Row& row : rows) {
        if (row.seconds.empty()) {
            printf("%-26s %10s\n", row.name.c_str(), "failed");
            allMeasured = false;
            continue;
        }
        printf("%-26s %10.1f %16.1f %10.0f %12.1f\n", row.name.c_str(), median(row.seconds) * 1000,
               median(row.notifications), median(row.palettes), median(row.palettesPerSecond));
    }
    return allMeasured ? 0 : 1;
}
