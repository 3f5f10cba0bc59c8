// A synthetic drag of the CyanRed slider against the stand-in host: how many
// slider notifications the plugin handles per second, how many palettes
// reach the host per second, whether the host's last palette is that of the
// slider's final position, and how long after the last notification the
// host has it. Three ways of dragging:
//   sent    each step is TBM_SETPOS and WM_HSCROLL(TB_THUMBTRACK) sent and
//           waited for, its apply included, so every step's apply runs to
//           its end;
//   posted  all steps are posted at once, as a fast drag queues them; steps
//           that arrive while an apply waits for the host are sent together
//           by the apply that follows it;
//   paced   one step posted every 8 ms, about as often as a mouse reports
//           its moves during a drag.
// Then a click sent right after a movement, as automation sends them, against
// a host slow to answer its status requests: the click comes while the
// movement's apply waits. Counted: the failure boxes, and the commands the
// host saw arrive while another was held (both must be 0).
// With --mouse-rounds=N it measures real-mouse drags instead: the pointer
// takes the CyanRed thumb and sweeps it to and fro with SendInput moves at
// 125 Hz and at 1000 Hz for 3 s, then releases it. Reported: palettes per
// second during the drag, the time from the release to the host's last
// palette (which must be that of the resting place), that time against one
// apply (a sent step), and palettes equal to the one before them. With
// --baseline=PATH (the Windows path of another probed plugin program, such
// as an earlier build) each round runs both programs, alternating which goes
// first, and the medians are set side by side.
// Usage: drag_bench [--steps=N] [--runs=N]   (defaults 200 and 5; --runs=0
// measures only the click after a movement)
//        drag_bench --mouse-rounds=N [--baseline=PATH]
// Prints one line per run and a table of medians.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "byte_fields.h"
#include "palette_transform.h"
#include "plugin_probe.h"
#include "plugin_process.h"
#include "slider_state.h"
#include "test_support.h"

namespace {

struct DragFigures {
    double seconds = 0;
    double notificationsPerSecond = 0;
    size_t palettes = 0;
    double palettesPerSecond = 0;
    bool lastMatches = false;    // the host's last palette is the final position's
    double finalLatencyMs = -1;  // last notification to the final palette at the host
    double finalAfterHandledMs = -1;  // the last step handled to the final palette
};

// The position of step i: a sweep to the right from the middle and back, so
// that neighbouring steps give different palettes.
int stepPosition(int i) {
    const int span = 200;
    const int phase = i % (2 * span);
    return 257 + (phase < span ? phase : 2 * span - 1 - phase);
}

// The colour table, as the host logs it (8 lowercase hex digits a colour),
// that the host must hold with CyanRed at `position` and all else at its
// start-up value.
std::string tableTextFor(const std::vector<uint8_t>& source, int position) {
    SliderState state = {0.2f, 0.8f, {}};
    state.balance[All][CyanRed] = balanceFromPosition(position);
    std::vector<uint8_t> working = source;
    rebalancePalette(source.data(), working.data(), int32_t(source.size()), state, true);
    const uint32_t colours = readU32LE(source.data() + 32);
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 40; i < 40 + 4 * size_t(colours) && i < working.size(); ++i) {
        text += digits[working[i] >> 4];
        text += digits[working[i] & 15];
    }
    return text;
}

// The host's log read as it grows, so that a palette's arrival is seen
// within a millisecond or two without reading the whole log each time.
struct HostLogTail {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string partial;  // an unfinished last line
};

bool openHostLogTail(const StandInHost& host, HostLogTail& tail) {
    tail.file = CreateFileA(host.logPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (tail.file == INVALID_HANDLE_VALUE) return false;
    // Only what is written from now on.
    LARGE_INTEGER end = {};
    return SetFilePointerEx(tail.file, end, nullptr, FILE_END) != 0;
}

void closeHostLogTail(HostLogTail& tail) {
    if (tail.file != INVALID_HANDLE_VALUE) CloseHandle(tail.file);
    tail.file = INVALID_HANDLE_VALUE;
}

// The colour tables of the palettes received since the last call.
std::vector<std::string> newlyReceivedTables(HostLogTail& tail) {
    std::vector<std::string> tables;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(tail.file, buffer, sizeof buffer, &read, nullptr) && read) tail.partial.append(buffer, read);
    size_t start = 0;
    for (size_t end; (end = tail.partial.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = tail.partial.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t table = line.find(" table=");
        if (line.compare(0, 9, "RECEIVED ") == 0 && table != std::string::npos) tables.push_back(line.substr(table + 7));
    }
    tail.partial.erase(0, start);
    return tables;
}

// True when the probe reads `item` as 0, or knows no such item.
bool probeReadsZero(HWND probe, unsigned item) {
    LRESULT value = 1;
    if (!probeRead(probe, item, value)) return value == kProbeNoSuchItem;
    return value == 0;
}

enum class DragKind { Sent, Posted, Paced };

const char* dragKindName(DragKind kind) {
    return kind == DragKind::Sent ? "sent" : kind == DragKind::Posted ? "posted" : "paced 8 ms";
}

constexpr double kPacedStepSeconds = 0.008;

// True once the plugin has handled the step to `finalPosition`. The probed
// plugin is asked for the stored value: the info line's two decimals show
// neighbouring positions alike, and would pass the step before the last.
bool finalStepHandled(const PluginRun& run, int finalPosition) {
    if (!run.probe) return windowText(run.controls.infoLine) == infoLineWithCyanRed(All, finalPosition);
    LRESULT stored = 0;
    return probeRead(run.probe, probeBalanceItem(0, All, CyanRed), stored) &&
           uint32_t(stored) == floatBits(balanceFromPosition(finalPosition));
}

// Waits until the last step has been handled and no apply runs or is owed,
// watching the host's log meanwhile for the final position's palette. The
// time to it is taken from the last notification's sending, and from the
// moment the plugin has handled the last step (a posted burst is handled
// only after those before it).
bool followToTheEnd(PluginRun& run, HostLogTail& tail, int finalPosition, const std::string& finalTable,
                    const LARGE_INTEGER& lastNotification, DragFigures& figures) {
    std::string lastTable;
    LARGE_INTEGER handled = {};
    bool lastStepHandled = false;
    auto takeNewPalettes = [&] {
        for (const std::string& table : newlyReceivedTables(tail)) {
            figures.palettes += 1;
            lastTable = table;
            if (table == finalTable && figures.finalLatencyMs < 0) {
                figures.finalLatencyMs = millisecondsSince(lastNotification);
                if (lastStepHandled) figures.finalAfterHandledMs = millisecondsSince(handled);
            }
        }
    };
    auto idle = [&] {
        if (!run.probe) return waitForSliderApplies(run, 0);
        return probeReadsZero(run.probe, kProbeTransformBusy) && probeReadsZero(run.probe, kProbeHostWorkPending);
    };
    const DWORD start = GetTickCount();
    DWORD lastCheck = 0;
    bool settled = false;
    while (!settled && GetTickCount() - start < 60000) {
        takeNewPalettes();
        // Asking the plugin costs it time: every 2 ms until it has handled
        // the last step, then every 20 ms.
        if (GetTickCount() - lastCheck >= (lastStepHandled ? 20u : 2u)) {
            lastCheck = GetTickCount();
            if (!lastStepHandled && finalStepHandled(run, finalPosition)) {
                QueryPerformanceCounter(&handled);
                lastStepHandled = true;
            }
            settled = lastStepHandled && idle();
        }
        if (!settled) Sleep(1);
    }
    takeNewPalettes();
    figures.lastMatches = lastTable == finalTable;
    if (!figures.lastMatches) figures.finalLatencyMs = figures.finalAfterHandledMs = -1;
    return settled;
}

// The stand-in host's palette as the plugin will fetch it, read before the
// plugin starts.
bool readHostPalette(std::vector<uint8_t>& source) {
    const bool read = connectTestClient() && fetchHostPalette(source) && source.size() >= 40;
    disconnectTestClient();
    return read;
}

bool dragOnce(PluginBuild build, DragKind kind, int steps, DragFigures& figures) {
    StandInHost host;
    if (!startStandInHost(host, "")) return false;
    std::vector<uint8_t> source;
    bool measured = readHostPalette(source);
    PluginRun run;
    HostLogTail tail;
    if (measured && run.start(build) && openHostLogTail(host, tail)) {
        HWND cyanRed = run.controls.balanceTrackbars[0];
        const int finalPosition = stepPosition(steps - 1);
        const std::string finalTable = tableTextFor(source, finalPosition);
        LARGE_INTEGER start, lastNotification;
        QueryPerformanceCounter(&start);
        bool delivered = true;
        for (int i = 0; i < steps && delivered; ++i) {
            if (kind == DragKind::Paced)
                while (secondsSince(start) < i * kPacedStepSeconds) Sleep(1);
            QueryPerformanceCounter(&lastNotification);
            delivered = kind == DragKind::Sent ? moveTrackbar(run, cyanRed, stepPosition(i))
                                               : postTrackbarMove(run, cyanRed, stepPosition(i));
        }
        measured = delivered &&
                   followToTheEnd(run, tail, finalPosition, finalTable, lastNotification, figures);
        figures.seconds = secondsSince(start);
        figures.notificationsPerSecond = steps / figures.seconds;
        figures.palettesPerSecond = double(figures.palettes) / figures.seconds;
    } else {
        measured = false;
    }
    closeHostLogTail(tail);
    run.stop();
    stopStandInHost(host);
    return measured;
}

// Commands that arrived at the host while another was held, from its log.
int overlappingCommands(const StandInHost& host) {
    int commands = 0;
    for (const HostOverlap& overlap : hostOverlappingExchanges(host))
        if (overlap.arrived.compare(0, 5, "HOLD ") == 0) ++commands;
    return commands;
}

struct ClickAfterMovementFigures {
    int rounds = 0;
    size_t failureBoxes = 0;
    int overlapping = 0;
};

// `rounds` times: a movement sent to the window, then 0 to 10 ms later a
// click on a state button, sent too, against a host that holds commands
// 20 ms and answers status requests 30 ms late.
bool clickAfterMovement(int rounds, ClickAfterMovementFigures& figures) {
    StandInHost host;
    PluginRun run;
    bool measured = startStandInHost(host, "--delay-ms=20 --status-delay-ms=30") && run.start(PluginBuild::Probed);
    const size_t boxesBefore = measured ? messageBoxesSeenFrom(run.process.dwProcessId).size() : 0;
    for (int i = 0; i < rounds && measured; ++i) {
        HWND cyanRed = run.controls.balanceTrackbars[0];
        const int position = 300 + 10 * (i % 20);
        measured = sendToPlugin(cyanRed, TBM_SETPOS, TRUE, position) &&
                   sendToPlugin(run.window, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), LPARAM(cyanRed));
        Sleep(DWORD(i % 11));
        measured = measured && clickButton(run, run.controls.stateButtons[(i + 1) % 2]) &&
                   waitUntil([&] { return probeReadsZero(run.probe, kProbeHostWorkPending); }, 30000);
        figures.rounds = i + 1;
    }
    if (measured) {
        // Boxes still open are closed by the watcher a moment later.
        pumpMessagesFor(500);
        figures.failureBoxes = messageBoxesSeenFrom(run.process.dwProcessId).size() - boxesBefore;
        figures.overlapping = overlappingCommands(host);
    }
    run.stop();
    stopStandInHost(host);
    return measured;
}

// Waits, without burning the core the plugin needs, until `seconds` have
// passed since `start`: sleeps while more than 2 ms are left, then yields.
void waitUntilSecond(const LARGE_INTEGER& start, double seconds) {
    for (double left; (left = seconds - secondsSince(start)) > 0;) {
        if (left > 0.002) Sleep(1);
        else SwitchToThread();
    }
}

struct MouseDragFigures {
    double palettesPerSecond = 0;  // palettes the host took between press and release
    double releaseToLastMs = -1;   // release to the host's last palette, that of the resting place
    double oneApplyMs = 0;         // a sent step of the same program in the same round
    int repeats = 0;               // palettes equal to the one before them, over the round
    bool lastMatches = false;
};

// The pointer's offset from the thumb's starting place at `seconds` into the
// drag: to and fro across 200 pixels, 400 pixels a second.
int sweepOffset(double seconds) {
    const double phase = std::fmod(seconds, 1.0);
    const double wave = phase < 0.25 ? 4 * phase : phase < 0.75 ? 2 - 4 * phase : 4 * phase - 4;  // 0, 1, -1, 0
    return int(std::lround(100 * wave));
}

// Counts the palettes equal to the one before them.
int repeatedTables(const std::vector<std::string>& tables, std::string& previous) {
    int repeats = 0;
    for (const std::string& table : tables) {
        if (table == previous) ++repeats;
        previous = table;
    }
    return repeats;
}

// One real-mouse drag of CyanRed at `hertz` on a running plugin, from the
// middle, where "Reset CyanRed" has put the thumb.
bool mouseDragOnce(PluginRun& run, const StandInHost& host, const std::vector<uint8_t>& source, int hertz,
                   MouseDragFigures& figures) {
    HWND cyanRed = run.controls.balanceTrackbars[0];
    if (!runCommand(run, IDM_RESET_CYANRED) || !waitUntilPluginIdle(run, 20000)) return false;
    HostLogTail tail;
    if (!openHostLogTail(host, tail)) return false;
    std::string previous = tableTextFor(source, 256);
    RECT rect;
    GetWindowRect(cyanRed, &rect);
    const int x0 = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    sendMouse(x0, y, 0);
    sendMouse(x0, y, MOUSEEVENTF_LEFTDOWN);
    bool measured = waitUntil([&] { return captureOf(run) == cyanRed; }, 5000);
    LARGE_INTEGER press, release;
    QueryPerformanceCounter(&press);
    const double period = 1.0 / hertz;
    int x = x0;
    for (int i = 1; measured && i * period <= 3.0; ++i) {
        waitUntilSecond(press, i * period);
        x = x0 + sweepOffset(i * period);
        sendMouse(x, y, 0);
    }
    sendMouse(x, y, MOUSEEVENTF_LEFTUP);
    QueryPerformanceCounter(&release);
    const double dragSeconds = secondsSince(press);
    const std::vector<std::string> during = newlyReceivedTables(tail);
    figures.palettesPerSecond = double(during.size()) / dragSeconds;
    figures.repeats = repeatedTables(during, previous);

    // After the release: every palette with the time it was seen, until the
    // plugin is idle with the capture given up and the host quiet for 300 ms.
    std::string lastTable = during.empty() ? previous : during.back();
    double lastSeenMs = 0;
    const DWORD start = GetTickCount();
    DWORD quietSince = GetTickCount();
    while (measured && GetTickCount() - start < 20000) {
        const std::vector<std::string> after = newlyReceivedTables(tail);
        if (!after.empty()) {
            lastSeenMs = millisecondsSince(release);
            figures.repeats += repeatedTables(after, previous);
            lastTable = after.back();
            quietSince = GetTickCount();
        }
        if (GetTickCount() - quietSince > 300 && !captureOf(run) && probeReadsZero(run.probe, kProbeTransformBusy) &&
            probeReadsZero(run.probe, kProbeHostWorkPending))
            break;
        Sleep(1);
    }
    const int rest = trackbarPosition(cyanRed);
    figures.lastMatches = measured && lastTable == tableTextFor(source, rest);
    figures.releaseToLastMs = figures.lastMatches ? lastSeenMs : -1;
    closeHostLogTail(tail);
    return measured;
}

// One program's share of a round: a fresh host and plugin, one apply's time
// from 50 sent steps, then a drag at each rate.
bool mouseRound(const std::string& program, const std::vector<int>& rates, std::vector<MouseDragFigures>& figures) {
    StandInHost host;
    if (!startStandInHost(host, "")) return false;
    std::vector<uint8_t> source;
    bool measured = readHostPalette(source);
    PluginRun run;
    run.program = program;
    measured = measured && run.start(PluginBuild::Probed) && run.probe;
    double oneApplyMs = 0;
    if (measured) {
        const int steps = 50;
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < steps && measured; ++i)
            measured = moveTrackbar(run, run.controls.balanceTrackbars[0], stepPosition(i));
        oneApplyMs = millisecondsSince(start) / steps;
    }
    figures.assign(rates.size(), MouseDragFigures());
    for (size_t r = 0; r < rates.size() && measured; ++r) {
        measured = mouseDragOnce(run, host, source, rates[r], figures[r]);
        figures[r].oneApplyMs = oneApplyMs;
    }
    run.stop();
    stopStandInHost(host);
    return measured;
}

// Real-mouse drags in paired rounds: this build's probed plugin and, when
// given, the baseline program, alternating which goes first.
int measureMouseDrags(int rounds, const std::string& baseline) {
    const std::vector<int> rates = {125, 1000};
    struct Program {
        std::string name, path;
        std::vector<std::vector<MouseDragFigures>> byRate;  // [rate][round]
    };
    std::vector<Program> programs = {{"this build", "", {}}};
    if (!baseline.empty()) programs.push_back({"baseline", baseline, {}});
    for (Program& program : programs) program.byRate.resize(rates.size());
    for (int round = 0; round < rounds; ++round)
        for (size_t k = 0; k < programs.size(); ++k) {
            Program& program = programs[(k + size_t(round)) % programs.size()];
            std::vector<MouseDragFigures> figures;
            if (!mouseRound(program.path, rates, figures)) {
                fprintf(stderr, "%s round %d: the drags could not be measured\n", program.name.c_str(), round + 1);
                continue;
            }
            for (size_t r = 0; r < rates.size(); ++r) {
                const MouseDragFigures& f = figures[r];
                printf("%-10s round %d, %4d Hz: %6.1f palettes/s, release to last palette %s%.1f ms, one apply %.2f ms, "
                       "%d repeated\n",
                       program.name.c_str(), round + 1, rates[r], f.palettesPerSecond, f.lastMatches ? "" : "(stale) ",
                       f.releaseToLastMs, f.oneApplyMs, f.repeats);
                fflush(stdout);
                program.byRate[r].push_back(f);
            }
        }
    printf("\nReal-mouse drags of 3 s, medians of %d paired rounds\n", rounds);
    printf("%-10s %6s %12s %16s %12s %14s %10s %10s\n", "program", "rate", "palettes/s", "release->last ms",
           "one apply ms", "last/apply", "repeated", "last=final");
    for (const Program& program : programs)
        for (size_t r = 0; r < rates.size(); ++r) {
            std::vector<double> perSecond, latency, apply, ratio;
            int repeats = 0, matched = 0;
            for (const MouseDragFigures& f : program.byRate[r]) {
                perSecond.push_back(f.palettesPerSecond);
                apply.push_back(f.oneApplyMs);
                repeats += f.repeats;
                if (!f.lastMatches) continue;
                ++matched;
                latency.push_back(f.releaseToLastMs);
                ratio.push_back(f.releaseToLastMs / f.oneApplyMs);
            }
            printf("%-10s %4d Hz %12.1f %16.1f %12.2f %14.2f %10d %5d/%zu\n", program.name.c_str(), rates[r],
                   median(perSecond), median(latency), median(apply), median(ratio), repeats, matched,
                   program.byRate[r].size());
        }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int mouseRounds = numberOption(argc, argv, "--mouse-rounds", 0);
    if (mouseRounds > 0) {
        startMessageBoxWatcher(true);
        const int result = measureMouseDrags(mouseRounds, textOption(argc, argv, "--baseline"));
        stopMessageBoxWatcher();
        return result;
    }
    const int steps = std::max(1, numberOption(argc, argv, "--steps", 200));
    // --runs=0 measures only the click after a movement.
    const int runs = std::max(0, numberOption(argc, argv, "--runs", 5));
    startMessageBoxWatcher(true);

    // Posted and paced drags need the probe to tell when the last step has
    // been handled and its apply has ended.
    struct Variant {
        PluginBuild build;
        DragKind kind;
    } variants[] = {{PluginBuild::Real, DragKind::Sent},
                    {PluginBuild::Probed, DragKind::Sent},
                    {PluginBuild::Probed, DragKind::Posted},
                    {PluginBuild::Probed, DragKind::Paced}};
    struct Row {
        std::string name;
        std::vector<double> seconds, notifications, palettes, palettesPerSecond, latencies, afterHandled;
        int matched = 0;
    };
    std::vector<Row> rows;
    for (const Variant& variant : variants) {
        if (runs == 0) break;
        Row row;
        row.name = std::string(pluginBuildName(variant.build)) + " " + dragKindName(variant.kind);
        for (int r = 0; r < runs; ++r) {
            DragFigures figures;
            if (!dragOnce(variant.build, variant.kind, steps, figures)) {
                fprintf(stderr, "%s run %d: the drag could not be measured\n", row.name.c_str(), r + 1);
                continue;
            }
            printf("%-26s run %d: %7.1f ms, %7.1f notifications/s, %4zu palettes, %7.1f palettes/s, "
                   "last palette %s, final palette after %.1f ms (%.1f ms after the last step showed)\n",
                   row.name.c_str(), r + 1, figures.seconds * 1000, figures.notificationsPerSecond, figures.palettes,
                   figures.palettesPerSecond, figures.lastMatches ? "final" : "stale", figures.finalLatencyMs,
                   figures.finalAfterHandledMs);
            fflush(stdout);
            row.seconds.push_back(figures.seconds);
            row.notifications.push_back(figures.notificationsPerSecond);
            row.palettes.push_back(double(figures.palettes));
            row.palettesPerSecond.push_back(figures.palettesPerSecond);
            if (figures.lastMatches) {
                row.matched += 1;
                row.latencies.push_back(figures.finalLatencyMs);
                if (figures.finalAfterHandledMs >= 0) row.afterHandled.push_back(figures.finalAfterHandledMs);
            }
        }
        rows.push_back(row);
    }
    ClickAfterMovementFigures clicks;
    const bool clicksMeasured = clickAfterMovement(16, clicks);
    stopMessageBoxWatcher();
    for (const SeenMessageBox& box : messageBoxesSeen())
        fprintf(stderr, "message box seen: %s / %s\n", box.caption.c_str(), box.text.c_str());

    // "last palette matches final position": yes when it did in every run.
    // "final palette ms": from the last notification to the host's taking of
    // the final position's palette, over the runs where it came; "after
    // shown": from the plugin's handling of the last step to it.
    printf("\nDrag of %d TB_THUMBTRACK steps against the stand-in host, medians of %d runs\n", steps, runs);
    printf("%-26s %10s %16s %10s %12s %12s %16s %13s\n", "plugin, drag", "wall ms", "notifications/s", "palettes",
           "palettes/s", "last=final", "final palette ms", "after shown");
    bool allMeasured = true;
    for (const Row& row : rows) {
        if (row.seconds.empty()) {
            printf("%-26s %10s\n", row.name.c_str(), "failed");
            allMeasured = false;
            continue;
        }
        char matched[32];
        snprintf(matched, sizeof matched, "%s(%d/%zu)", row.matched == int(row.seconds.size()) ? "yes" : "no",
                 row.matched, row.seconds.size());
        char latency[32] = "n/a", afterShown[32] = "n/a";
        if (!row.latencies.empty()) snprintf(latency, sizeof latency, "%.1f", median(row.latencies));
        if (!row.afterHandled.empty()) snprintf(afterShown, sizeof afterShown, "%.1f", median(row.afterHandled));
        printf("%-26s %10.1f %16.1f %10.0f %12.1f %12s %16s %13s\n", row.name.c_str(), median(row.seconds) * 1000,
               median(row.notifications), median(row.palettes), median(row.palettesPerSecond), matched, latency,
               afterShown);
    }
    // One apply's time: a sent step, which is one notification and the apply
    // it starts, run to its end; each row is set against the sent step of
    // its own build.
    for (const Row& sent : rows) {
        if (sent.name.find(" sent") == std::string::npos || sent.seconds.empty()) continue;
        const std::string build = sent.name.substr(0, sent.name.find(' '));
        const double oneApplyMs = median(sent.seconds) * 1000 / steps;
        printf("\none apply (a sent step), %s %.2f ms\n", build.c_str(), oneApplyMs);
        for (const Row& row : rows)
            if (row.name.compare(0, build.size() + 1, build + " ") == 0 && !row.latencies.empty())
                printf("final palette / one apply, %-26s %.2f (after shown %.2f)\n", row.name.c_str(),
                       median(row.latencies) / oneApplyMs,
                       row.afterHandled.empty() ? -1.0 : median(row.afterHandled) / oneApplyMs);
    }
    if (clicksMeasured)
        printf("\nclick sent after a movement, slow host: %d rounds, %zu failure boxes, %d commands arrived while "
               "another was held\n",
               clicks.rounds, clicks.failureBoxes, clicks.overlapping);
    else
        printf("\nclick sent after a movement, slow host: failed after %d rounds\n", clicks.rounds);
    return allMeasured && clicksMeasured ? 0 : 1;
}
