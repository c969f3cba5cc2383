#!/usr/bin/python3
"""The Windows executable under Wine against the Linux build, in one run on one machine.

Usage: python3 bench/wine_vs_linux.py LINUX_BINARY WINDOWS_EXE [RUNS]
   e.g. python3 bench/wine_vs_linux.py build/ov_installer_artefacts/RelWithDebInfo/ov_installer \\
                                       build-windows/ov_installer.exe 5

For each program, RUNS times, median and range:
  - start to window: from starting the process to its 600 pixel window mapped with the main
    screen painted (the blue strip along its top), in a headless X session with openbox;
  - `install all`: the command in a fresh prefix, start to exit, beside `--version`, the same
    start and exit with no work, so that the difference is the install itself.
The window is polled every 0.1 s, so start to window is good to about that much.
Wine runs with its server and desktop already up, as on a machine where any Windows program
has run since login; a cold prefix adds wineboot's half minute once.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "gui"))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
from installer_program import LinuxProgram, WineProgram  # noqa: E402
from xsession import XSession, Installer  # noqa: E402
import screens  # noqa: E402


def start_to_window(session, program, shot):
    prefix = program.new_prefix()
    begin = time.monotonic()
    installer = Installer(session, program, prefix)
    try:
        screens.wait_for_main_screen(session, installer, shot)
        return time.monotonic() - begin
    finally:
        installer.kill()
        program.remove_prefix(prefix)


def command_time(program, args):
    prefix = program.new_prefix()
    env = program.environment(prefix, {k: v for k, v in os.environ.items() if k != "DISPLAY"})
    try:
        begin = time.monotonic()
        subprocess.run([*program.command, *args], env=env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return time.monotonic() - begin
    finally:
        program.remove_prefix(prefix)


def summary(values):
    return "%6.3f s (%.3f to %.3f)" % (statistics.median(values), min(values), max(values))


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    programs = {"Linux": LinuxProgram(os.path.abspath(sys.argv[1])), "Wine": WineProgram(os.path.abspath(sys.argv[2]))}
    session = XSession()
    shot = os.path.join(tempfile.gettempdir(), "ov-bench-%d.png" % os.getpid())
    results = {}
    try:
        for name, program in programs.items():
            program.use_display(session.env)
            results[name] = {
                "start to window": [start_to_window(session, program, shot) for _ in range(runs)],
                "--version": [command_time(program, ["--version"]) for _ in range(runs)],
                "install all": [command_time(program, ["install", "all"]) for _ in range(runs)],
            }
    finally:
        session.close()
        for program in programs.values():
            program.close()
        if os.path.exists(shot):
            os.remove(shot)

    print("median of %d runs (min to max)     %-28s %-28s ratio" % (runs, "Linux", "Wine"))
    for measure in ("start to window", "--version", "install all"):
        linux, wine = results["Linux"][measure], results["Wine"][measure]
        print("%-34s %-28s %-28s %5.1fx" % (measure, summary(linux), summary(wine),
                                            statistics.median(wine) / statistics.median(linux)))
    for name in programs:
        work = statistics.median(results[name]["install all"]) - statistics.median(results[name]["--version"])
        print("%s: install all less --version: %.3f s" % (name, work))
    print("Windows executable: %.1f MB" % (os.path.getsize(sys.argv[2]) / 1e6))
    return 0


if __name__ == "__main__":
    sys.exit(main())
