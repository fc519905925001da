#!/usr/bin/env python3
"""The built installer, portable zip and uninstaller, as a Windows user meets them.

  installer_test.py WINE_RUN SETUP ZIP STAGE VERSION WORK_DIR CLIENT_VBS POST_COMMAND ARCH RUN_LIMITED

ARCH is the build (i686 or x86_64) whose installer SETUP is; the prefix is as wide as
the build. In a fresh Wine prefix under WORK_DIR, on an Xvfb display of its own: a silent install
per machine into a folder with a space in its name; its files, shortcut, automation
keys and Apps entry; a VBScript client against the installed server with nothing
started before it; Travok's own refresh rewriting what the installer wrote; an upgrade
in place; a silent uninstall that takes away all the install added, and only that.
Then the same for an install for the current user alone, and a portable copy in a
folder named in several scripts. First of all, setup stops while the other build is
installed, and installs into the build's own Program Files folder by default. Setup
asks for no elevation at launch, and a process with the limited token of an
administrator under UAC (RUN_LIMITED starts one) installs just for its user, while for
all users, and over or out of an install for all users, it stops and changes nothing
(Wine's "runas" does not elevate, as a refused elevation). An upgrade and an uninstall
stop while Travok or travokc runs from the folder, and a silent one says why in its log.
The folder of an install for all users gets an administrators-only access list, as
Wine keeps it. Prints a line per check, "FAIL ..." for each failure, and "all checks
passed" at the end.
"""
import os
import hashlib
import re
import shutil
import signal
import subprocess
import sys
import time
import struct
import zipfile

PROGID = "Travok.Application"
CLSID = "{7C3B5A10-4E2F-11D4-8B91-00A0C95E3D27}"
UNINSTALL_KEYS = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
# Each build's Apps entry: (key, display name, file name's tag). Set by main() for the
# build under test.
BUILDS = {"i686": (UNINSTALL_KEYS + r"\Travok", "Travok", ""),
          "x86_64": (UNINSTALL_KEYS + r"\Travok-x64", "Travok (64-bit)", "-x64")}
APPS_KEY = DISPLAY_NAME = None
OTHER_CLSID = "{0E2B7F30-1C55-4A41-9D0C-6E1F00C0FFEE}"
MACHINE_DIR = r"C:\Program Files\Travok Test"

failures = []


def check(condition, what, detail=""):
    print(("ok: " if condition else "FAIL ") + what + ("" if condition else f" ({detail})"), flush=True)
    if not condition:
        failures.append(what)
    return condition


# Setup's exit codes (installer/Travok.nsi).
EXIT_RUNNING = 3
EXIT_NEEDS_ADMIN = 4


# --- the registry of a stopped prefix, read from the files Wine keeps it in ---

def unescape(text):
    """A string as Wine's .reg files write it, without its quotes."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            n = text[i + 1]
            if n == "x" and text[i + 2:i + 3] == "{":
                end = text.index("}", i)
                out.append(chr(int(text[i + 3:end], 16)))
                i = end + 1
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def quoted(text, start):
    """The quoted string at text[start] and the index after its closing quote."""
    i = start + 1
    while text[i] != '"':
        i += 2 if text[i] == "\\" else 1
    return unescape(text[start + 1:i]), i + 1


def read_hive(path):
    """{key in lower case: {value name in lower case ("" for the default): value}}"""
    keys, current = {}, None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                current = keys.setdefault(unescape(line[1:line.rindex("]")]).lower(), {})
                continue
            if current is None or not (line.startswith("@=") or line.startswith('"')):
                continue
            if line.startswith("@"):
                name, rest = "", line[2:]
            else:
                name, end = quoted(line, 0)
                rest = line[end + 1:]  # after the "="
            if rest.startswith('"'):
                value = quoted(rest, 0)[0]
            elif rest.startswith("str(") and '"' in rest:
                value = quoted(rest, rest.index('"'))[0]
            elif rest.startswith("dword:"):
                value = int(rest[6:], 16)
            else:
                value = rest
            current[name.lower()] = value
    return keys


class Prefix:
    """A throwaway Wine prefix with an Xvfb display of its own."""

    def __init__(self, wine_run, folder):
        self.wine_run = wine_run
        self.path = os.path.join(folder, "prefix")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as display:
            number = display.readline().strip()
        self.env = dict(os.environ, TRAVOK_WINEPREFIX=self.path, TRAVOK_DISPLAY=":" + number,
                        WINEPREFIX=self.path, DISPLAY=":" + number)
        self.folders = {}
        self.run("--init-prefix")

    def run(self, *args, timeout=120):
        result = subprocess.run([self.wine_run, *args], env=self.env, capture_output=True, timeout=timeout)
        return result.returncode, result.stdout.decode("utf-8", "replace").replace("\r", "")

    def start(self, *args):
        return subprocess.Popen([self.wine_run, *args], env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def wait_idle(self, timeout=60):
        """Waits until every Windows process of the prefix has ended, the uninstaller's
        copy of itself included, and Wine has written the registry to its files."""
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            subprocess.run(["wineserver", "-k"], env=self.env)
            return False

    def registry(self):
        self.wait_idle()
        return (read_hive(os.path.join(self.path, "system.reg")),  # HKEY_LOCAL_MACHINE
                read_hive(os.path.join(self.path, "user.reg")))    # HKEY_CURRENT_USER

    def import_reg(self, text):
        """Adds and deletes keys with regedit, as another program's installer would."""
        path = os.path.join(os.path.dirname(self.path), "seed.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n" + text.replace("\n", "\r\n"))
        return self.run("regedit", "/S", windows_path(path))[0] == 0

    def run_command_line(self, command_line):
        """Runs a command line as a Windows shell would, through a batch file: from here
        wine would quote and escape an argument that holds spaces or quotes."""
        batch = os.path.join(os.path.dirname(self.path), "command.bat")
        with open(batch, "w") as f:
            f.write("@" + command_line + "\r\n@exit %ERRORLEVEL%\r\n")
        return self.run("cmd", "/c", windows_path(batch))

    def run_limited(self, run_limited, command_line):
        """Runs a command line with the limited token of an administrator under UAC."""
        return self.run(run_limited, command_line)

    def folder(self, variable):
        """A folder of the prefix's user by its environment variable, asked once."""
        if variable not in self.folders:
            self.folders[variable] = self.run("cmd", "/c", f"echo %{variable}%")[1].strip()
        return self.folders[variable]

    def log_lines(self):
        """The lines of %TEMP%\\Travok-setup.log, where silent setups say why they stopped."""
        path = self.host_path(self.folder("TEMP") + r"\Travok-setup.log")
        if not os.path.exists(path):
            return []
        with open(path, encoding="cp1252", errors="replace") as f:
            return [line.rstrip("\r\n") for line in f]

    def host_path(self, windows):
        """Where a C:\\ path of the prefix lies on this machine."""
        return os.path.join(self.path, "drive_c", *windows[3:].split("\\"))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env)
        os.killpg(self.xvfb.pid, signal.SIGTERM)
        self.xvfb.wait()
        shutil.rmtree(os.path.dirname(self.path), ignore_errors=True)


def windows_path(host):
    return "Z:" + os.path.abspath(host).replace("/", "\\")


def folder_state(prefix, folder):
    """{file name: SHA-256} of a folder, to show that a refused run changed nothing."""
    root = prefix.host_path(folder)
    state = {}
    for name in sorted(os.listdir(root)) if os.path.isdir(root) else []:
        with open(os.path.join(root, name), "rb") as f:
            state[name] = hashlib.sha256(f.read()).hexdigest()
    return state


def wine_processes(prefix):
    """The Windows programs that run now in the prefix, as {Linux pid: Windows path}."""
    found = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                if f"WINEPREFIX={prefix.path}".encode() not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        found[int(pid)] = argv0
    return found


def wait_for(condition, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return False


def running(prefix, program):
    return any(path.lower() == program.lower() for path in wine_processes(prefix).values())


def start_window(prefix, program, post_command):
    """Starts Travok.exe and waits for its window (an SC_RESTORE to it changes nothing)."""
    process = prefix.start(program)
    shown = wait_for(lambda: prefix.run(post_command, "Travok", "0xF120")[1].strip() == "POSTED", 60)
    check(shown, f"{program} started and shows its window")
    return process


def close_window(prefix, process, post_command):
    prefix.run(post_command, "Travok", "0xF060")
    try:
        process.wait(timeout=30)
    except subprocess.TimeoutExpired:
        process.kill()


def start_console(prefix, program):
    """Starts travokc.exe coding its standard input, which stays open until closed."""
    process = subprocess.Popen([prefix.wine_run, program, "code", "-k", "4711"], env=prefix.env,
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    check(wait_for(lambda: running(prefix, program)), f"{program} runs")
    return process


def sid_text(data, offset):
    revision, count = data[offset], data[offset + 1]
    authority = int.from_bytes(data[offset + 2:offset + 8], "big")
    subs = struct.unpack_from(f"<{count}I", data, offset + 8)
    return f"S-{revision}-{authority}" + "".join(f"-{sub}" for sub in subs)


def folder_security(prefix, folder):
    """(control, owner, [(ACE type, flags, mask, SID)]) of a folder as Wine keeps it: in
    the extended attribute user.wine.sd, a version byte and a self-relative security
    descriptor. None when Wine keeps none."""
    try:
        raw = os.getxattr(prefix.host_path(folder), "user.wine.sd")
    except OSError:
        return None
    sd = raw[1:]
    _, _, control, owner, _, _, dacl = struct.unpack_from("<BBHIIII", sd)
    aces = []
    if dacl:
        count = struct.unpack_from("<H", sd, dacl + 4)[0]
        offset = dacl + 8
        for _ in range(count):
            kind, flags, size, mask = struct.unpack_from("<BBHI", sd, offset)
            aces.append((kind, flags, mask, sid_text(sd, offset + 8)))
            offset += size
    return control, sid_text(sd, owner) if owner else None, aces


def server_keys(hive):
    """The six entries of the automation server in one hive, as {key: default value}."""
    keys = [rf"Software\Classes\{PROGID}", rf"Software\Classes\{PROGID}\CLSID", rf"Software\Classes\CLSID\{CLSID}",
            rf"Software\Classes\CLSID\{CLSID}\ProgID", rf"Software\Classes\CLSID\{CLSID}\InprocHandler32",
            rf"Software\Classes\CLSID\{CLSID}\LocalServer32"]
    return {key: hive.get(key.lower(), {}).get("") for key in keys}


def expected_server_keys(server):
    return {
        rf"Software\Classes\{PROGID}": PROGID,
        rf"Software\Classes\{PROGID}\CLSID": CLSID,
        rf"Software\Classes\CLSID\{CLSID}": PROGID,
        rf"Software\Classes\CLSID\{CLSID}\ProgID": PROGID,
        rf"Software\Classes\CLSID\{CLSID}\InprocHandler32": "ole32.dll",
        rf"Software\Classes\CLSID\{CLSID}\LocalServer32": server,
    }


def no_server_keys(hive):
    return not any(key.lower() in hive for key in expected_server_keys(""))


def safe_server_path(value, install_dir):
    """A LocalServer32 value that cannot be misread: the installed Travok.exe's long path
    in quotes, or a path without spaces of 8.3 names as deep as the install's folder.
    (That the short form names the installed program the script client shows: nothing
    else is registered in the prefix.)"""
    if " " in value:
        return value == f'"{install_dir}\\Travok.exe"'
    parts = value.split("\\")
    return (len(parts) == len(install_dir.split("\\")) + 1 and parts[0].lower() == install_dir[:2].lower()
            and parts[-1] == "Travok.exe" and all(re.fullmatch(r"[^ .]{1,8}(\.[^ .]{1,3})?", p) for p in parts[1:-1]))


def check_install(prefix, stage, version, install_dir, hive_name, shortcut, what):
    machine, user = prefix.registry()
    hive, other = (machine, user) if hive_name == "machine" else (user, machine)
    files = ["Travok.exe", "travokc.exe", "Travok.html", "README.md", "LICENSE"]
    for name in files:
        with open(os.path.join(stage, name), "rb") as shipped:
            path = prefix.host_path(f"{install_dir}\\{name}")
            check(os.path.isfile(path) and open(path, "rb").read() == shipped.read(), f"{what}: {name} installed")
    check(os.path.isfile(prefix.host_path(f"{install_dir}\\Uninstall.exe")), f"{what}: the uninstaller installed")
    link = prefix.host_path(shortcut)
    check(os.path.isfile(link) and "Travok.exe" in open(link, "rb").read().decode("latin-1").replace("\0", ""),
          f"{what}: Start-menu shortcut to Travok.exe", link)

    keys = server_keys(hive)
    server = keys[rf"Software\Classes\CLSID\{CLSID}\LocalServer32"] or ""
    check(safe_server_path(server, install_dir),
          f"{what}: LocalServer32 is short or quoted and names the installed program", server)
    check(keys == expected_server_keys(server), f"{what}: the six keys in the {hive_name} hive", keys)
    check(no_server_keys(other), f"{what}: no keys in the other hive")

    apps = hive.get(APPS_KEY.lower(), {})
    check(apps.get("displayname") == DISPLAY_NAME and apps.get("displayversion") == version
          and apps.get("publisher") == "the Travok project", f"{what}: Apps entry's name, version, publisher", apps)
    check(apps.get("displayicon", "").startswith(f'"{install_dir}\\Travok.exe"'), f"{what}: Apps entry's icon")
    check(isinstance(apps.get("estimatedsize"), int) and apps["estimatedsize"] > 100, f"{what}: Apps entry's size")
    check(apps.get("uninstallstring") == f'"{install_dir}\\Uninstall.exe"', f"{what}: Apps entry's uninstall command")
    return hive, keys


def run_client(prefix, client, what):
    rc, out = prefix.run("cscript", "//nologo", windows_path(client))
    check("Decoded: Hello, Travok!" in out, f"{what}: a VBScript client codes through the server it registered", out)


def user_start_refresh(prefix, program, post_command, what):
    """Starts the installed Travok.exe as a user does, which refreshes its registration,
    and closes it again through its system menu."""
    running = prefix.start(program)
    deadline = time.monotonic() + 60
    posted = False
    while not posted and time.monotonic() < deadline and running.poll() is None:
        posted = prefix.run(post_command, "Travok", "0xF060")[1].strip() == "POSTED"
    try:
        running.wait(timeout=30)
    except subprocess.TimeoutExpired:
        running.kill()
    check(posted, f"{what}: Travok started and closed by its system menu")


def check_removed(prefix, install_dir, shortcut, what):
    machine, user = prefix.registry()
    check(not os.path.exists(prefix.host_path(install_dir)), f"{what}: the install folder is gone")
    check(not os.path.exists(prefix.host_path(shortcut)), f"{what}: the shortcut is gone")
    check(APPS_KEY.lower() not in machine and APPS_KEY.lower() not in user, f"{what}: the Apps entry is gone")
    return machine, user


def uninstall(prefix, hive, what):
    quiet = hive.get(APPS_KEY.lower(), {}).get("quietuninstallstring", "")
    check(quiet.endswith(" /S"), f"{what}: Apps entry's quiet uninstall command", quiet)
    prefix.run_command_line(quiet)
    check(prefix.wait_idle(), f"{what}: the uninstaller finished")


def other_build_refused(prefix, args):
    """Setup changes nothing while the other build is installed, for all users (in the
    other registry view, which only a 64-bit prefix has) or for the user; once it is
    gone, a plain silent install goes to the build's own Program Files folder."""
    other_key = [key for arch, (key, _, _) in BUILDS.items() if arch != args.arch][0]
    places = [("HKEY_CURRENT_USER\\" + other_key, "for the user")]
    if args.arch == "x86_64":
        places.append(("HKEY_LOCAL_MACHINE\\" + other_key.replace("Software", r"Software\Wow6432Node", 1),
                       "for all users, 32-bit"))
    default_dir = r"C:\Program Files\Travok"
    for key, where in places:
        what = f"other build installed {where}"
        prefix.import_reg(f'[{key}]\n"InstallLocation"="C:\\\\Other Travok"\n')
        rc, _ = prefix.run(windows_path(args.setup), "/S")
        check(rc == 2, f"{what}: silent setup stops with exit code 2", rc)
        machine, user = prefix.registry()
        check(not os.path.exists(prefix.host_path(default_dir)) and no_server_keys(machine) and no_server_keys(user)
              and APPS_KEY.lower() not in machine and APPS_KEY.lower() not in user, f"{what}: nothing installed")
        prefix.import_reg(f"[-{key}]\n")

    what = "default folder"
    rc, _ = prefix.run(windows_path(args.setup), "/S")
    check(rc == 0, f"{what}: silent install exits 0", rc)
    check(os.path.isfile(prefix.host_path(default_dir + r"\Travok.exe")),
          f"{what}: installed into {default_dir}, the folder of {args.arch} programs")
    machine, _ = prefix.registry()
    if args.arch == "x86_64":
        check(not any(key.startswith(r"software\classes\wow6432node\clsid\{") and CLSID.lower() in key
                      for key in machine), f"{what}: the class registered in the 64-bit view only")
    uninstall(prefix, machine, what)
    check_removed(prefix, default_dir, r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Travok.lnk", what)


def machine_install(prefix, args):
    what = "per machine"
    shortcut = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Travok.lnk"
    # The installer takes /D= only unquoted, as the last argument.
    rc, _ = prefix.run_command_line(f"{windows_path(args.setup)} /S /D={MACHINE_DIR}")
    check(rc == 0, f"{what}: silent install exits 0", rc)
    _, installed = check_install(prefix, args.stage, args.version, MACHINE_DIR, "machine", shortcut, what)
    check_machine_folder_security(prefix, what)

    run_client(prefix, args.client, what)

    # Travok's own refresh writes what the installer wrote, key for key.
    prefix.import_reg(f"[-HKEY_LOCAL_MACHINE\\Software\\Classes\\{PROGID}]\n\n"
                      f"[-HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{CLSID}]\n")
    check(no_server_keys(prefix.registry()[0]), f"{what}: the installer's keys deleted before the refresh")
    user_start_refresh(prefix, MACHINE_DIR + r"\Travok.exe", args.post_command, what)
    check(server_keys(prefix.registry()[0]) == installed, f"{what}: the program's refresh writes the installer's keys")

    prefix.import_reg(f'[HKEY_LOCAL_MACHINE\\{APPS_KEY}]\n"DisplayVersion"="0.9"\n')
    limited_user_over_machine_install(prefix, args, what)

    # Travok's window open from the folder: the upgrade stops, changing nothing, until it
    # is closed. (No registry read while it runs: that waits for every process to end.)
    before = folder_state(prefix, MACHINE_DIR)
    window = start_window(prefix, MACHINE_DIR + r"\Travok.exe", args.post_command)
    rc, _ = prefix.run(windows_path(args.setup), "/S")
    check(rc == EXIT_RUNNING, f"{what}, Travok running: silent upgrade exits {EXIT_RUNNING}", rc)
    check(folder_state(prefix, MACHINE_DIR) == before, f"{what}, Travok running: the folder unchanged")
    check(any("Travok is running" in line and "Travok.exe" in line for line in prefix.log_lines()),
          f"{what}, Travok running: a line in the log says why", prefix.log_lines())
    close_window(prefix, window, args.post_command)
    check(prefix.registry()[0][APPS_KEY.lower()].get("displayversion") == "0.9",
          f"{what}, Travok running: the Apps entry unchanged")

    # An older version in the same place: the upgrade finds it and replaces it there.
    old_exe = prefix.host_path(MACHINE_DIR + r"\Travok.exe")
    with open(old_exe, "wb") as f:
        f.write(b"MZ an older Travok")
    check(prefix.registry()[0][APPS_KEY.lower()].get("displayversion") == "0.9", f"{what}: an older version's entry")
    rc, _ = prefix.run(windows_path(args.setup), "/S")
    check(rc == 0, f"{what}: silent upgrade exits 0", rc)
    hive, _ = check_install(prefix, args.stage, args.version, MACHINE_DIR, "machine", shortcut, f"{what}, upgraded")
    check(not os.path.exists(prefix.host_path(r"C:\Program Files\Travok")), f"{what}: upgraded in place")
    check(not any(name.endswith((".new", ".old")) for name in folder_state(prefix, MACHINE_DIR)),
          f"{what}, upgraded: no file left aside")

    # travokc running from the folder: the uninstaller (run in place, so that its exit
    # code is its own) stops, changing nothing, until it ends.
    console = start_console(prefix, MACHINE_DIR + r"\travokc.exe")
    before = folder_state(prefix, MACHINE_DIR)
    rc, _ = prefix.run_command_line(f'"{MACHINE_DIR}\\Uninstall.exe" /S _?={MACHINE_DIR}')
    check(rc == EXIT_RUNNING, f"{what}, travokc running: silent uninstall exits {EXIT_RUNNING}", rc)
    check(folder_state(prefix, MACHINE_DIR) == before, f"{what}, travokc running: the folder unchanged")
    check(any("Travok is running" in line and "travokc.exe" in line for line in prefix.log_lines()),
          f"{what}, travokc running: a line in the log says why", prefix.log_lines())
    console.stdin.close()
    console.wait(timeout=30)
    machine, _ = prefix.registry()
    check(server_keys(machine) == server_keys(hive) and APPS_KEY.lower() in machine,
          f"{what}, travokc running: the keys and the Apps entry stay")

    # Keys that the refresh of a standard user wrote, for this install, with the quoted
    # long path; and another program's keys, which must stay.
    prefix.import_reg(
        f"[HKEY_CURRENT_USER\\Software\\Classes\\{PROGID}\\CLSID]\n@=\"{CLSID}\"\n\n"
        f"[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{CLSID}\\LocalServer32]\n"
        f"@=\"\\\"{MACHINE_DIR.replace(chr(92), chr(92) * 2)}\\\\Travok.exe\\\"\"\n\n"
        f"[HKEY_LOCAL_MACHINE\\Software\\Classes\\Other.Application\\CLSID]\n@=\"{OTHER_CLSID}\"\n\n"
        f"[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{OTHER_CLSID}\\LocalServer32]\n@=\"C:\\\\Other\\\\other.exe\"\n")
    check(prefix.registry()[1].get(rf"Software\Classes\CLSID\{CLSID}\LocalServer32".lower(), {}).get("")
          == f'"{MACHINE_DIR}\\Travok.exe"', f"{what}: a user's own registration of this install added")

    uninstall(prefix, hive, what)
    machine, user = check_removed(prefix, MACHINE_DIR, shortcut, what)
    check(no_server_keys(machine), f"{what}: the machine's automation keys are gone")
    check(no_server_keys(user), f"{what}: the user's automation keys of this install are gone")
    check(r"software\classes\other.application\clsid" in machine
          and rf"software\classes\clsid\{OTHER_CLSID}\localserver32".lower() in machine,
          f"{what}: another program's keys stay")


def check_machine_folder_security(prefix, what):
    """The folder's access list, where Wine keeps one: owned by Administrators, protected
    from the parent's, SYSTEM and Administrators in full and Users read and execute, all
    inherited by what the folder holds. Wine enforces none of it."""
    security = folder_security(prefix, MACHINE_DIR)
    if security is None:
        # Measured with Wine 8: SetNamedSecurityInfoW succeeds and keeps nothing; the
        # folder then reads back with the descriptor Wine makes from its Unix mode.
        print(f"skip: {what}: Wine kept no security descriptor for the folder, so its access list is "
              "Windows' to show", flush=True)
        return
    control, owner, aces = security
    full, read_execute, inherit = 0x1F01FF, 0x1200A9, 0x3  # FILE_ALL_ACCESS; CONTAINER|OBJECT_INHERIT
    check(owner == "S-1-5-32-544", f"{what}: the folder owned by Administrators", owner)
    check(control & 0x1000, f"{what}: the folder's access list protected from its parent's", hex(control))
    check(sorted(aces) == sorted([(0, inherit, full, "S-1-5-18"), (0, inherit, full, "S-1-5-32-544"),
                                  (0, inherit, read_execute, "S-1-5-32-545")]),
          f"{what}: SYSTEM and Administrators full, Users read and execute, nobody else", aces)


def limited_user_over_machine_install(prefix, args, what):
    """An administrator's limited token (and a standard user's, whose elevation Windows
    did not grant) can neither upgrade nor shadow nor remove an install for all users."""
    before = folder_state(prefix, MACHINE_DIR)
    setup = f'"{windows_path(args.setup)}"'
    uninstaller = f'"{MACHINE_DIR}\\Uninstall.exe" /S _?={MACHINE_DIR}'
    for command, case in [(f"{setup} /S", "upgrade"), (f"{setup} /S /CurrentUser", "second copy just for the user"),
                          (uninstaller, "uninstall")]:
        rc, out = prefix.run_limited(args.run_limited, command)
        check(rc == EXIT_NEEDS_ADMIN, f"{what}, limited token, {case}: exits {EXIT_NEEDS_ADMIN}", (rc, out))
        check(folder_state(prefix, MACHINE_DIR) == before, f"{what}, limited token, {case}: the folder unchanged")
    machine, user = prefix.registry()
    check(machine.get(APPS_KEY.lower(), {}).get("displayversion") == "0.9" and APPS_KEY.lower() not in user
          and no_server_keys(user), f"{what}, limited token: the registry unchanged, no copy for the user")
    check(sum("administrator rights" in line for line in prefix.log_lines()) >= 2,
          f"{what}, limited token: lines in the log say why", prefix.log_lines())


def limited_user(prefix, args):
    """A silent setup with an administrator's limited token, in a clean prefix: for all
    users it starts itself again to elevate, which Wine's "runas" does not grant, and
    stops; just for the user it needs no elevation."""
    what = "limited token"
    setup = f'"{windows_path(args.setup)}"'
    rc, out = prefix.run_limited(args.run_limited, f"{setup} /S")
    check(rc == EXIT_NEEDS_ADMIN, f"{what}, for all users: exits {EXIT_NEEDS_ADMIN}", (rc, out))
    machine, user = prefix.registry()
    check(not os.path.exists(prefix.host_path(r"C:\Program Files\Travok")) and APPS_KEY.lower() not in machine
          and no_server_keys(machine), f"{what}, for all users: nothing installed")
    check(any("installing for all users needs administrator rights" in line for line in prefix.log_lines()),
          f"{what}, for all users: a line in the log says why", prefix.log_lines())

    rc, out = prefix.run_limited(args.run_limited, f"{setup} /S /CurrentUser")
    check(rc == 0, f"{what}, just for the user: exits 0", (rc, out))
    install_dir = prefix.folder("LOCALAPPDATA") + r"\Programs\Travok"
    _, user = prefix.registry()
    check(os.path.isfile(prefix.host_path(install_dir + r"\Travok.exe")) and APPS_KEY.lower() in user,
          f"{what}, just for the user: installed")
    prefix.run_limited(args.run_limited, f'"{install_dir}\\Uninstall.exe" /S')
    prefix.wait_idle()
    check(not os.path.exists(prefix.host_path(install_dir)), f"{what}, just for the user: uninstalled")


def finish_page_starts_travok(prefix, args):
    """The interactive setup, just for the user, page by page through its Next button: its
    last page starts the installed Travok.exe. It does so through Explorer, so that
    Travok runs at the desktop's integrity level rather than as the setup's child;
    Wine shows that the program runs, by its path, though not which process started it."""
    what = "finish page"
    install_dir = prefix.folder("LOCALAPPDATA") + r"\Programs\Travok"
    program = install_dir + r"\Travok.exe"
    setup = prefix.start(windows_path(args.setup), "/CurrentUser")

    def next_page():
        prefix.run(args.post_command, "--command", "Travok Setup*", "1")  # IDOK: Next, Install, Finish
        return setup.poll() is not None
    check(wait_for(next_page, 120), f"{what}: the setup went through its pages and closed")
    check(wait_for(lambda: running(prefix, program)), f"{what}: {program} runs", wine_processes(prefix))
    wait_for(lambda: prefix.run(args.post_command, "Travok", "0xF060")[1].strip() == "POSTED")
    check(wait_for(lambda: not running(prefix, program)), f"{what}: Travok closed again")
    _, user = prefix.registry()
    uninstall(prefix, user, what)
    check(not os.path.exists(prefix.host_path(install_dir)), f"{what}: uninstalled")


def setup_asks_no_elevation(args):
    """Windows reads the manifest before setup runs: "asInvoker" starts it without a UAC
    prompt, whichever mode the user then picks."""
    with open(args.setup, "rb") as f:
        data = f.read()
    check(b'level="asInvoker"' in data and b'level="highestAvailable"' not in data,
          "setup's manifest asks no elevation at launch")


def user_install(prefix, args):
    what = "per user"
    rc, _ = prefix.run(windows_path(args.setup), "/S", "/CurrentUser")
    check(rc == 0, f"{what}: silent install exits 0", rc)
    profile = prefix.folder("LOCALAPPDATA")
    install_dir = profile + r"\Programs\Travok"
    roaming = prefix.folder("APPDATA")
    shortcut = roaming + r"\Microsoft\Windows\Start Menu\Programs\Travok.lnk"
    hive, _ = check_install(prefix, args.stage, args.version, install_dir, "user", shortcut, what)
    # No script client here: Wine's COM reads only the machine's classes, where Windows
    # merges the user's own into HKEY_CLASSES_ROOT.

    # Another copy of Travok, registered machine-wide from elsewhere: not this install's.
    elsewhere = "C:\\\\Other Copy\\\\Travok.exe"
    prefix.import_reg(f"[HKEY_LOCAL_MACHINE\\Software\\Classes\\{PROGID}\\CLSID]\n@=\"{CLSID}\"\n\n"
                      f"[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{CLSID}\\LocalServer32]\n"
                      f"@=\"\\\"{elsewhere}\\\"\"\n")
    uninstall(prefix, hive, what)
    machine, user = check_removed(prefix, install_dir, shortcut, what)
    check(no_server_keys(user), f"{what}: the user's automation keys are gone")
    check(machine.get(rf"software\classes\clsid\{CLSID}\localserver32".lower(), {}).get("")
          == '"C:\\Other Copy\\Travok.exe"', f"{what}: another copy's registration stays")


def portable_copy(prefix, args):
    """The zip unpacked into a folder whose name has spaces and letters outside the ANSI
    code page: its first start registers it so that a script client finds it."""
    what = "portable"
    folder = "C:\\Portable \u0141\u00f3d\u017a \u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430"
    with zipfile.ZipFile(args.zip) as z:
        z.extractall(prefix.host_path(folder))
    user_start_refresh(prefix, folder + "\\Travok.exe", args.post_command, what)
    server = server_keys(prefix.registry()[0])[rf"Software\Classes\CLSID\{CLSID}\LocalServer32"] or ""
    check("?" not in server and safe_server_path(server, folder),
          f"{what}: its start registers it, short or quoted", server)
    run_client(prefix, args.client, what)


def portable_zip(args):
    with zipfile.ZipFile(args.zip) as z:
        names = sorted(z.namelist())
        check(names == ["LICENSE", "README.md", "Travok.exe", "Travok.html", "travokc.exe"],
              "portable zip: the two programs, the help page, README and licence", names)
        for name in names:
            with open(os.path.join(args.stage, name), "rb") as f:
                check(z.read(name) == f.read(), f"portable zip: {name} as built")


class Args:
    def __init__(self, argv):
        (self.wine_run, self.setup, self.zip, self.stage, self.version, self.work, self.client,
         self.post_command, self.arch, self.run_limited) = argv


def main():
    global APPS_KEY, DISPLAY_NAME
    args = Args(sys.argv[1:])
    APPS_KEY, DISPLAY_NAME, tag = BUILDS[args.arch]
    check(os.path.basename(args.setup) == f"Travok-{args.version}{tag}-setup.exe", "installer named by the version")
    check(os.path.basename(args.zip) == f"Travok-{args.version}{tag}-portable.zip", "zip named by the version")
    portable_zip(args)
    setup_asks_no_elevation(args)
    prefix = Prefix(args.wine_run, args.work)
    try:
        other_build_refused(prefix, args)
        limited_user(prefix, args)
        machine_install(prefix, args)
        user_install(prefix, args)
        finish_page_starts_travok(prefix, args)
        portable_copy(prefix, args)
    finally:
        prefix.close()
    if failures:
        print(f"{len(failures)} checks failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
