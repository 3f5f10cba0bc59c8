#!/usr/bin/env python3
"""Reads the outputs of the benchmark programs (scripts/bench.sh) and prints
one table of the figures, with the targets beside them."""
import re
import sys
from pathlib import Path

results = Path(sys.argv[1])


def text(name):
    path = results / name
    return path.read_text(errors="replace").replace("\r", "") if path.exists() else ""


def find(name, pattern, group=1):
    match = re.search(pattern, text(name), re.M)
    return match.group(group) if match else None


rows = []


def row(figure, value, unit="", target=""):
    rows.append((figure, value if value is not None else "n/a", unit, target))


for where, name in (("native", "transform-native.txt"), ("Wine", "transform-wine.txt")):
    row(f"transform, 256 colours, preserving ({where})",
        find(name, r"random transform preserving own pow\s+([\d.]+)"), "us")
    row(f"transform / its 13 pow calls ({where})",
        find(name, r"random palette, preserving transform / its 13 pows: own ([\d.]+)"), "ratio", "< 1.10")
    row(f"power function per call ({where})", find(name, r"Per power call: own ([\d.]+) ns"), "ns")
row("transform under Wine / native", None, "ratio", "< 1.5")
native = find("transform-native.txt", r"random transform preserving own pow\s+([\d.]+)")
wine = find("transform-wine.txt", r"random transform preserving own pow\s+([\d.]+)")
if native and wine:
    rows[-1] = (rows[-1][0], f"{float(wine) / float(native):.2f}", "ratio", "< 1.5")

row("command + status request", find("host-link.txt", r"command \+ status request\s+([\d.]+)"), "ms")
row("one apply (transform, clipboard, 2 commands)", find("host-link.txt", r"^apply \(.*\)\s+([\d.]+)"), "ms")
row("bare DDE client, same exchange", find("host-link.txt", r"bare DDEML client, same exchange\s+([\d.]+)"), "ms")
row("apply / bare DDE floor", find("host-link.txt", r"apply / bare floor\s+([\d.]+)"), "ratio", "< 1.25")
row("CPU while waiting 5 s for a slow host",
    find("host-link.txt", r"CPU during that wait\s+([\d.]+)"), "% core", "< 2")

one_apply = find("drag.txt", r"^one apply \(a sent step\), ProbedPlugin ([\d.]+) ms")
row("200-step drag: one apply (a sent step, probed plugin)", one_apply, "ms")
for label, name in (("real plugin, each step sent", r"ColorBalancePlugin sent"),
                    ("probed plugin, all steps posted", r"ProbedPlugin posted"),
                    ("probed plugin, a step every 8 ms", r"ProbedPlugin paced 8 ms")):
    match = re.search(rf"^{name}\s+([\d.]+)\s+([\d.]+)\s+(\d+)\s+([\d.]+)\s+(\S+)\s+(\S+)\s+(\S+)\s*$",
                      text("drag.txt"), re.M)
    row(f"200-step drag, {label}: notifications", match.group(2) if match else None, "per s")
    row(f"200-step drag, {label}: palettes", match.group(4) if match else None, "per s")
    row(f"200-step drag, {label}: last palette matches final position", match.group(5) if match else None, "",
        "yes")
    row(f"200-step drag, {label}: last notification to final palette", match.group(6) if match else None, "ms",
        f"<= {1.1 * float(one_apply):.1f}" if one_apply else "<= 1.1 x one apply")
    row(f"200-step drag, {label}: last step shown to final palette", match.group(7) if match else None, "ms")

clicks = re.search(r"click sent after a movement, slow host: (\d+) rounds, (\d+) failure boxes, (\d+) commands",
                   text("drag.txt"), re.M)
row("click sent after a movement, slow host: failure boxes", clicks.group(2) if clicks else None, "", "0")
row("click sent after a movement, slow host: commands arriving while another is held",
    clicks.group(3) if clicks else None, "", "0")

row("start to visible window (median)",
    find("startup.txt", r"CreateProcess to visible window\s+([\d.]+)"), "ms")
row("palette-balance, 256x256 PNG, 1000 in one run (--out-dir)",
    find("palette-tool.txt", r"one run with --out-dir ([\d.]+) ms per file"), "ms/file")
row("palette-balance, 256x256 PNG, 1000 in a loop", find("palette-tool.txt", r"1000 files in one loop: ([\d.]+) ms per file"),
    "ms/file")
row("one cp of the same files", find("palette-tool.txt", r"cp of them all ([\d.]+) ms per file"), "ms/file")
row("palette-balance, 1000 256x256 PNGs with --out-dir / cp -r of the folder",
    find("palette-tool.txt", r"ratio to cp -r ([\d.]+)"), "ratio", "<= 3")
row("cp of the same files in a loop", find("palette-tool.txt", r"cp in a loop ([\d.]+) ms per file"), "ms/file")
row("palette-balance, 4096x4096 PNG / cp", find("palette-tool.txt", r"ratio ([\d.]+) \(median"), "ratio", "< 2")
row("palette-balance, 4096x4096 PNG / cp with a flush", find("palette-tool.txt", r"ratio to it ([\d.]+)"), "ratio")
row("palette-balance peak memory, 4096x4096 PNG",
    find("palette-tool.txt", r"peak memory: palette-balance (\d+) KiB"), "KiB")
row("soak: applies per second", find("soak.txt", r"applies\s+\d+ in [\d.]+ s: ([\d.]+) applies/s"), "per s")
row("soak: applies run (the run stops at a failure)", find("soak.txt", r"^applies\s+(\d+) in"), "", "100000")
row("soak: first failure", find("soak.txt", r"^first failure\s+(.*)$"))
for who in ("plugin", "host"):
    row(f"soak: {who} private bytes growth per 100,000 applies",
        find("soak.txt", rf"^{who}\s+private bytes .*per 100,000 applies (-?[\d.]+) KiB"), "KiB", "< 1024")
    handles = re.search(rf"^{who}\s+movable handles\s+before (-?\d+), after (-?\d+)", text("soak.txt"), re.M)
    row(f"soak: {who} movable handles before / after",
        f"{handles.group(1)}/{handles.group(2)}" if handles else None, "", "equal")
gdi = re.search(r"plugin GDI objects\s+before (-?\d+), after (-?\d+)", text("soak.txt"))
row("soak: plugin GDI objects before / after", f"{gdi.group(1)}/{gdi.group(2)}" if gdi else None)
user = re.search(r"plugin USER objects\s+before (-?\d+), after (-?\d+)", text("soak.txt"))
row("soak: plugin USER objects before / after", f"{user.group(1)}/{user.group(2)}" if user else None)

for case in ("GIMP, 1M blank lines", "GIMP, 10M blank lines", "JASC, 10M blank lines",
             "GIMP, largest accepted"):
    match = re.search(rf"^{re.escape(case)}\s+(\d+)\s+(\d+)\s+([\d.]+)\s+(-?\d+)\s+(-?[\d.]+)\s+(\d+)\s*$",
                      text("palette-memory.txt"), re.M)
    row(f"palette-balance peak memory, {case}",
        f"{int(match.group(2)) / 1024:.1f}" if match else None, "MiB", "< 64")
    row(f"palette-balance peak memory / file size, {case}", match.group(3) if match else None,
        "ratio", "< 2")

width = max(len(r[0]) for r in rows)
print()
print(f"{'figure':<{width}}  {'value':>10}  {'unit':<7} target")
print("-" * (width + 32))
for figure, value, unit, target in rows:
    print(f"{figure:<{width}}  {value:>10}  {unit:<7} {target}")
