#!/usr/bin/env python3
"""Runs every palette-balance example of README.md as written, from a copy
of the project root that holds the sample files, with the built tool first
on the PATH; and checks that samples/ holds what scripts/make-samples.py
draws. The commands are taken from the document itself, so an example that
goes stale fails here.

    documented_examples.py SOURCE_DIR TOOL_DIR SCRATCH_DIR
"""
import filecmp
import os
import re
import shutil
import subprocess
import sys

# An example is a code line, or a `quoted` span in a table, that starts with
# the tool's name and a space; a code line ending in " \" goes on below.
COMMAND_START = "palette-balance "


def documented_commands(text):
    commands = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("    ") and line.strip().startswith(COMMAND_START):
            command = line.strip()
            while command.endswith("\\") and i + 1 < len(lines):
                i += 1
                command = command[:-1].rstrip() + " " + lines[i].strip()
            commands.append(command)
        elif line.startswith("|"):
            commands += [span for span in re.findall(r"`([^`]*)`", line)
                         if span.startswith(COMMAND_START)]
        i += 1
    return commands


def samples_are_the_scripts(source, scratch):
    drawn = os.path.join(scratch, "drawn-samples")
    subprocess.run([sys.executable, os.path.join(source, "scripts", "make-samples.py"), drawn],
                   check=True)
    ok = True
    for folder, _, names in os.walk(drawn):
        for name in names:
            made = os.path.join(folder, name)
            kept = os.path.join(source, "samples", os.path.relpath(made, drawn))
            if not os.path.exists(kept) or not filecmp.cmp(made, kept, shallow=False):
                print("samples/%s is not what scripts/make-samples.py draws"
                      % os.path.relpath(made, drawn))
                ok = False
    return ok


def main():
    source, tool_dir, scratch = sys.argv[1:4]
    shutil.rmtree(scratch, ignore_errors=True)
    root = os.path.join(scratch, "root")
    shutil.copytree(os.path.join(source, "samples"), os.path.join(root, "samples"))
    os.makedirs(os.path.join(root, "docs"))
    with open(os.path.join(source, "README.md"), encoding="utf-8") as readme:
        commands = documented_commands(readme.read())
    environment = dict(os.environ, PATH=tool_dir + os.pathsep + os.environ["PATH"])
    failed = 0
    for command in commands:
        run = subprocess.run(["bash", "-c", command], cwd=root, env=environment,
                             stdin=subprocess.DEVNULL, capture_output=True, text=True)
        print("%s  %s" % ("ok  " if run.returncode == 0 else "FAIL", command))
        if run.returncode != 0:
            failed += 1
            print("      exit %d: %s" % (run.returncode, run.stderr.strip()))
    # A reader that finds too few examples would pass without running them.
    if len(commands) < 12:
        print("only %d examples found in README.md" % len(commands))
        failed += 1
    if not samples_are_the_scripts(source, scratch):
        failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
