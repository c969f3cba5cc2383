#!/usr/bin/python3
"""How often a program wakes while nothing happens: the installer against a bare framework
window, side by side in one headless X session.

Usage: python3 bench/idle_wakeups.py INSTALLER BARE_WINDOW [SECONDS]
   e.g. python3 bench/idle_wakeups.py build/ov_installer_artefacts/RelWithDebInfo/ov_installer \\
                                      build/bench/ov_bare_window 10

Both programs start in the same Xvfb session with openbox; once their windows are up and
settled, the voluntary context switches in /proc/<pid>/status (the message thread) and in
/proc/<pid>/task/*/status (every thread) are read before and after SECONDS of idling, with
the CPU ticks from /proc/<pid>/stat. A voluntary switch is one sleep and wake-up.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "gui"))
from xsession import XSession  # noqa: E402

SETTLE_SECONDS = 3.0


def voluntary_switches(status_path):
    with open(status_path) as f:
        for line in f:
            if line.startswith("voluntary_ctxt_switches:"):
                return int(line.split()[1])
    raise RuntimeError("no context switch count in " + status_path)


def sample(pid):
    """(message thread's switches, all threads' switches, CPU ticks, threads)."""
    main = voluntary_switches("/proc/%d/status" % pid)
    tasks = os.listdir("/proc/%d/task" % pid)
    total = 0
    for task in tasks:
        try:
            total += voluntary_switches("/proc/%d/task/%s/status" % (pid, task))
        except (FileNotFoundError, ProcessLookupError):
            pass    # a thread that ended in between
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])   # utime and stime
    return main, total, ticks, len(tasks)


def start(session, command, title, env):
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def window():
        if process.poll() is not None:
            raise RuntimeError("%s exited early with %s" % (command[0], process.returncode))
        found = session.run("xdotool", "search", "--all", "--onlyvisible", "--pid", str(process.pid),
                            "--name", "^%s$" % title, check=False)
        return found.stdout.split()[:1]
    session.wait_for(window, "the window of " + title)
    return process


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    installer, bare = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 10.0

    session = XSession()
    prefix = tempfile.mkdtemp(prefix="ov-idle-")
    os.makedirs(os.path.join(prefix, "drive_c", "ProgramData", "Orvanta"))
    processes = {}
    try:
        session.run("xdotool", "mousemove", "0", "0")   # the pointer stays off both windows
        processes["ov_installer"] = start(session, [installer], "ov_installer", dict(session.env, WINEPREFIX=prefix))
        processes["bare window"] = start(session, [bare], "ov_bare_window", session.env)
        time.sleep(SETTLE_SECONDS)

        before = {name: sample(p.pid) for name, p in processes.items()}
        time.sleep(seconds)
        after = {name: sample(p.pid) for name, p in processes.items()}

        hz = os.sysconf("SC_CLK_TCK")
        print("idle for %.0f s, voluntary context switches (wake-ups):" % seconds)
        print("%-14s %16s %12s %12s %9s" % ("program", "message thread", "all threads", "CPU ms", "threads"))
        for name in processes:
            main_thread = after[name][0] - before[name][0]
            all_threads = after[name][1] - before[name][1]
            cpu_ms = (after[name][2] - before[name][2]) * 1000 // hz
            print("%-14s %16d %12d %12d %9d" % (name, main_thread, all_threads, cpu_ms, after[name][3]))
        print("per second, message thread: %s" % ", ".join(
            "%s %.1f" % (name, (after[name][0] - before[name][0]) / seconds) for name in processes))
    finally:
        for process in processes.values():
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
        session.close()
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
