"""The program under test, started alike whether it is the Linux binary or the Windows
executable under Wine. Each test file takes either `BINARY` or `--wine EXE` as its first
arguments and asks the program for prefixes, environments and the paths it shows."""
import atexit
import glob
import os
import shutil
import subprocess
import tempfile

# Below drive C: the Windows system and the user profiles are Wine's own business: Wine may
# write there on any run, and the installer never does.
WINE_OWN_FOLDERS = ("windows", "users")
MAKER_FOLDER = os.path.join("ProgramData", "Orvanta")
# Where the Windows build keeps its copy for removing the product, and the entry that runs it.
KEPT_COPY_FOLDER = os.path.join("Program Files", "Orvanta")
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvanta Kelvara 2"


def _tree(folder, skip=()):
    found = set()
    for base, dirs, files in os.walk(folder):
        if base == folder:
            dirs[:] = [d for d in dirs if d not in skip]
        found.update(os.path.relpath(os.path.join(base, name), folder) for name in dirs + files)
    return found


class LinuxProgram:
    """The Linux build: drive C: is a bare folder, made fresh for every prefix."""

    is_wine = False

    def __init__(self, binary):
        self.command = [binary]
        self.made = {}

    def new_prefix(self, with_maker_folder=True, path=None):
        """A new prefix, at a fixed path when one is given (panels show the path)."""
        if path:
            shutil.rmtree(path, ignore_errors=True)
            os.makedirs(path)
        prefix = path or tempfile.mkdtemp(prefix="ov-prefix-")
        os.makedirs(os.path.join(prefix, "drive_c", "ProgramData"))
        if with_maker_folder:
            os.makedirs(os.path.join(prefix, "drive_c", MAKER_FOLDER))
        self.made[prefix] = _tree(os.path.join(prefix, "drive_c"))
        return prefix

    def remove_prefix(self, prefix):
        shutil.rmtree(prefix, ignore_errors=True)
        self.made.pop(prefix, None)

    def environment(self, prefix, base):
        return dict(base, WINEPREFIX=prefix)

    def use_display(self, env):
        pass

    def temporary_folder(self, prefix):
        """The user's temporary folder as the program sees it, and the environment that sets it."""
        folder = os.path.join(prefix, "tmp")
        os.makedirs(folder, exist_ok=True)
        return folder, {"TMPDIR": folder}

    def shown_path(self, prefix, path):
        """A path as the program prints it: this system's own."""
        return path

    def added_paths(self, prefix):
        """What appeared below drive C: since the prefix was made, as sorted relative paths."""
        return sorted(_tree(os.path.join(prefix, "drive_c")) - self.made[prefix])

    def tool(self, name):
        raise NotImplementedError("the Windows test programs run under Wine only")

    def close(self):
        pass


class WineProgram:
    """The Windows executable under Wine. One throw-away prefix, prepared once with wineboot,
    serves every test of a run: a new prefix is that one put back as wineboot left it, which
    costs milliseconds where a fresh wineboot costs half a minute. Its wineserver is kept
    running until the run ends, so each start of the program is the start of a process, not
    of a Windows system."""

    is_wine = True

    def __init__(self, exe):
        self.command = ["wine", exe]
        self.folder = os.path.dirname(exe)
        self.prefix = tempfile.mkdtemp(prefix="ov-wine-")
        self.base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.base.update(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                         # No Mono or Gecko installer dialogs: nothing here needs them.
                         WINEDLLOVERRIDES="mscoree=;mshtml=")
        subprocess.run(["wineboot", "--init"], env=self.base, check=True, timeout=600,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "--wait"], env=self.base, timeout=600)
        self.baseline = self._drive_c_paths()
        self.made = set(self.baseline)
        self.display = None
        self._start_server(self.base)
        atexit.register(self.close)

    def _start_server(self, env):
        subprocess.run(["wineserver", "--persistent"], env=env, check=True, timeout=60)
        # The first program of a new prefix may wait a long time for Wine's desktop process to
        # come up; one start before the tests takes that wait, however it ends.
        try:
            subprocess.run([*self.command, "--version"], env=env, timeout=90,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            pass

    def use_display(self, env):
        """Wine's desktop process draws on the X display it started with, and windows of later
        programs wait for it: a new display needs a new server and desktop."""
        if env.get("DISPLAY") == self.display:
            return
        subprocess.run(["wineserver", "--kill"], env=self.base, timeout=60)
        subprocess.run(["wineserver", "--wait"], env=self.base, timeout=60)
        self.display = env.get("DISPLAY")
        self._start_server(self.environment(self.prefix, env))

    def _drive_c_paths(self):
        return _tree(os.path.join(self.prefix, "drive_c"), WINE_OWN_FOLDERS)

    def new_prefix(self, with_maker_folder=True, path=None):
        """The prefix put back as wineboot left it; Windows paths never show where it lies."""
        drive_c = os.path.join(self.prefix, "drive_c")
        added = self._drive_c_paths() - self.baseline
        # An install writes the Apps & features entry beside its kept copy; the registry is the
        # prefix's too.
        if KEPT_COPY_FOLDER in added:
            subprocess.run(["wine", "reg", "delete", UNINSTALL_KEY, "/reg:64", "/f"], env=self.base, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for path in sorted(added, key=len):
            full = os.path.join(drive_c, path)
            if os.path.isdir(full) and not os.path.islink(full):
                shutil.rmtree(full, ignore_errors=True)
            elif os.path.lexists(full):
                os.remove(full)
        shutil.rmtree(os.path.join(self.prefix, "dosdevices", "unc"), ignore_errors=True)
        self.made = set(self.baseline)
        if with_maker_folder:
            os.makedirs(os.path.join(drive_c, MAKER_FOLDER))
            self.made.add(MAKER_FOLDER)
        return self.prefix

    def remove_prefix(self, prefix):
        pass    # put back by the next new_prefix, removed with the run

    def environment(self, prefix, base):
        env = {k: v for k, v in base.items() if k not in ("WINEPREFIX",)}
        env.update({k: v for k, v in self.base.items() if k.startswith("WINE")})
        return env

    def tool(self, name):
        """A Windows program: one of the test programs built beside the executable, or Wine's own."""
        built = os.path.join(self.folder, name + ".exe")
        return ["wine", built if os.path.exists(built) else name]

    def temporary_folder(self, prefix):
        """The user's temporary folder in the prefix, %TEMP% as Wine sets it."""
        return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "Temp"))[0], {}

    def plant_dlls(self, folder):
        """Copies the stand-in DLLs built beside the executable into a folder and returns the
        environment that makes Wine prefer them to its own, as Windows' search order prefers a
        DLL in the executable's folder or the current folder to System32's."""
        canaries = sorted(glob.glob(os.path.join(self.folder, "canaries", "*.dll")))
        if not canaries:
            raise RuntimeError("no stand-in DLLs in %s/canaries: build with tools/build_windows.sh" % self.folder)
        for canary in canaries:
            shutil.copy(canary, folder)
        names = ",".join(os.path.splitext(os.path.basename(canary))[0] for canary in canaries)
        return {"WINEDLLOVERRIDES": "%s;%s=n,b" % (self.base["WINEDLLOVERRIDES"], names)}

    @staticmethod
    def loaded_dlls(folder):
        """The planted DLLs that were loaded: each leaves NAME.dll.loaded beside itself."""
        return sorted(name[:-len(".loaded")] for name in os.listdir(folder) if name.endswith(".loaded"))

    def shown_path(self, prefix, path):
        """A path below drive C: as Windows names it."""
        relative = os.path.relpath(path, os.path.join(prefix, "drive_c"))
        return "C:\\" + relative.replace("/", "\\")

    def added_paths(self, prefix):
        return sorted(self._drive_c_paths() - self.made)

    def close(self):
        if self.prefix and os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "--kill"], env=self.base, timeout=60)
            shutil.rmtree(self.prefix, ignore_errors=True)
        self.prefix = None


def program_from_arguments(argv):
    """Takes `BINARY` or `--wine EXE` off the front of argv and returns the program."""
    if len(argv) > 2 and argv[1] == "--wine":
        exe = argv.pop(2)
        argv.pop(1)
        return WineProgram(os.path.abspath(exe))
    return LinuxProgram(argv.pop(1))


def mount_small_file_system(test, folder, size):
    """Mounts a tmpfs of the given size (such as "16k") at a new folder, standing in for a nearly
    full volume; skips the test where that cannot be done."""
    if os.geteuid() != 0:
        test.skipTest("mounting a small file system needs root")
    os.makedirs(folder)
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder], capture_output=True)
    if mounted.returncode != 0:
        test.skipTest("cannot mount a file system here: " + mounted.stderr.decode())
