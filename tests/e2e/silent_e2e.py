#!/usr/bin/env python3
"""FeijingSetup.exe and uninst.exe run silently end to end, in the Wine test bed, as a deployment tool runs
them: no window, no input, only the command line, the exit code and what is left on disk, in the registry and
in the log.

Shares the test bed and the checks of installer_e2e.py; run it the same way:

    silent_e2e.py [--build DIR] [CASE ...]
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import installer_e2e as e2e  # noqa: E402
from installer_e2e import DEFAULT_FOLDER, INSTALL_TIMEOUT, PRODUCT, STEP_TIMEOUT, UNINSTALL_KEY, Failure  # noqa: E402

LOG = "C:\\Games\\setup.log"  # C:\Games goes with each case's clean-up
CASES = []


def case(function):
    CASES.append(function)
    return function


def log_folder(c):
    """The log's folder: it must exist (C:\Games goes with each case's clean-up)."""
    os.makedirs(c.bed.unix_path("C:\\Games"), exist_ok=True)


def setup_exe(bed, name="FeijingSetup.exe"):
    return os.path.join(bed.build, "installer", name)


def run_silently(c, args, exe=None, timeout=INSTALL_TIMEOUT):
    """Runs the installer with `args` and returns its exit code, checking that it never showed a window."""
    process = subprocess.Popen(["wine", exe or setup_exe(c.bed)] + args, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shown = []
    deadline = time.monotonic() + timeout
    while process.poll() is None:
        if time.monotonic() > deadline:
            process.kill()
            raise Failure("%s did not end within %d s" % (" ".join(args), timeout))
        shown += e2e.visible_windows(pid=process.pid)
        time.sleep(0.05)
    c.check(not shown, "%s shows no window (found %s)" % (" ".join(args), sorted(set(shown))))
    return process.returncode


def read_log(c, path=LOG):
    unix = c.bed.unix_path(path)
    if not c.check(os.path.isfile(unix), "the log %s is written" % path):
        return []
    with open(unix, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        c.check(False, "the log is UTF-8")
        return []
    # "yyyy-mm-dd hh:mm:ss.mmm step: result"
    return [line[24:] for line in text.split("\r\n") if line]


def check_log_has(c, lines, expected):
    for wanted in expected:
        c.check(any(line.startswith(wanted) for line in lines), "the log has a line '%s...' (log: %s)" % (wanted, lines))


def product_running(c):
    return c.bed.wine_processes("fj.exe")


@case
def silent_install_installs_everything_starts_nothing_and_logs_each_step(c):
    """/S /LOG=<file>: exit code 0, everything an interactive install leaves (files, the twelve registry
    values, Uninstall.dat, shortcuts), no window, nothing started; one UTF-8 log line per step."""
    log_folder(c)
    code = run_silently(c, ["/S", "/LOG=" + LOG])
    c.check(code == 0, "exit code 0 (found %s)" % code)
    c.check_everything_installed(DEFAULT_FOLDER)
    c.check_shortcuts(DEFAULT_FOLDER)
    time.sleep(1)
    c.check(not product_running(c), "fj.exe is not started")
    lines = read_log(c)
    check_log_has(c, lines, ["command line: ", "install folder %s: accepted" % DEFAULT_FOLDER, "disk space: ",
                             "running programs: none", "payload check: intact",
                             "install folder %s: ready" % DEFAULT_FOLDER, "write %ssj.zip: done" % DEFAULT_FOLDER]
                  + ["unpack %s: written, %d bytes" % (entry.filename, entry.file_size) for entry in c.payload()]
                  + ["unpack: complete", "uninstall entry: written", "write %sUninstall.dat: done" % DEFAULT_FOLDER,
                     "uninstall entry: completed"]
                  + ["shortcut %s: made" % link for link, _ in c.bed.shortcut_paths()]
                  + ["end: exit code 0"])


@case
def silent_install_into_a_folder_with_spaces(c):
    """/D= is the last argument and taken whole, spaces included (Wine quotes it as a whole); the missing
    "\\" is appended."""
    folder = "C:\\飞鲸 加速 器"
    e2e.remove_tree(c.bed.unix_path(folder))
    try:
        code = run_silently(c, ["/S", "/D=" + folder])
        c.check(code == 0, "exit code 0 (found %s)" % code)
        c.check_everything_installed(folder + "\\")
    finally:
        e2e.remove_tree(c.bed.unix_path(folder))


@case
def silent_exit_codes_of_bad_arguments_damage_and_write_failures(c):
    """1: a bad argument or folder; 2: a damaged installer; 5: a folder that cannot be written. Each
    installs nothing; without /LOG no log."""
    with open(setup_exe(c.bed), "rb") as f:
        program = bytearray(f.read())
    with open(os.path.join(c.bed.build, "payload", "sj.zip"), "rb") as f:
        payload = f.read()
    at = program.find(payload)
    program[at + len(payload) // 2] ^= 0x10
    damaged = os.path.join(c.bed.drive_c, "FeijingSetupDamaged.exe")
    with open(damaged, "wb") as f:
        f.write(program)
    try:
        for args, exe, code, folder in [
            (["/S", "/bogus"], None, 1, DEFAULT_FOLDER),
            (["/S", "/D=abc\\"], None, 1, DEFAULT_FOLDER),
            (["/S", "/D=C:\\"], None, 1, DEFAULT_FOLDER),
            (["/S"], damaged, 2, DEFAULT_FOLDER),
            (["/S", "/D=C:\\NoSuchParent\\Child\\"], None, 5, "C:\\NoSuchParent\\"),
        ]:
            found = run_silently(c, args, exe)
            c.check(found == code, "%s%s exits with %d (found %s)" % ("damaged copy " if exe else "", " ".join(args),
                                                                    code, found))
            c.check_nothing_installed(folder)
            c.check(not os.path.exists(c.bed.unix_path(LOG)), "no log without /LOG")
    finally:
        os.remove(damaged)


@case
def interactive_run_ignores_unknown_arguments(c):
    """Unknown arguments do not stop an interactive run: the window comes, /D= fills the folder field."""
    installer = e2e.Installer(c.bed, args=["/bogus", "/D=C:\\FJLater"])
    c.check(installer.shot().folder_row_visible(), "the window shows its choosing state")
    installer.tick()
    installer.click(e2e.INSTALL_BUTTON)
    c.wait_finished(installer, "C:\\FJLater\\")
    c.check_files("C:\\FJLater\\")
    c.check(installer.close() == 0, "the close button ends it with 0")


@case
def silent_install_then_silent_uninstall_leaves_nothing_behind(c):
    """QuietUninstallString's uninst.exe /S waits for its working copy and ends with its code, 0; nothing of
    the product is left: folder, shortcuts, program group, uninstall entry."""
    c.check(run_silently(c, ["/S"]) == 0, "the silent install exits with 0")
    values = c.bed.reg_query(UNINSTALL_KEY) or {}
    quiet = values.get("QuietUninstallString", ("", ""))[1]
    c.check(quiet == '"%suninst.exe" /S' % DEFAULT_FOLDER, "QuietUninstallString names uninst.exe /S (found %r)" % quiet)
    result = subprocess.run(["wine", DEFAULT_FOLDER + "uninst.exe", "/S"], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=INSTALL_TIMEOUT)
    c.check(result.returncode == 0, "the silent uninstall exits with 0 (found %s)" % result.returncode)
    c.check(c.bed.reg_query(UNINSTALL_KEY) is None, "the uninstall entry is gone when the exit code comes")
    # The working copy removes the first uninstaller's file once that one has ended.
    e2e.wait_until(lambda: not c.bed.wine_processes("uninst.exe"), STEP_TIMEOUT, "the working copy to end")
    c.check(not os.path.exists(c.bed.unix_path(DEFAULT_FOLDER)), "the install folder is gone")
    programs, _ = c.bed.shell_folders()
    c.check(not os.path.exists(c.bed.unix_path(programs + "\\" + PRODUCT)), "the program group is gone")
    for link, _ in c.bed.shortcut_paths():
        c.check(not os.path.lexists(c.bed.unix_path(link)), "shortcut %s is gone" % link)


@case
def silent_install_over_a_running_product_closes_and_replaces_it(c):
    """fj.exe of an earlier installation runs: a silent install closes it without asking and replaces it."""
    c.check(run_silently(c, ["/S"]) == 0, "the first install exits with 0")
    program = c.bed.unix_path(DEFAULT_FOLDER + "fj.exe")
    subprocess.Popen(["wine", DEFAULT_FOLDER + "fj.exe"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
    e2e.wait_until(lambda: product_running(c), e2e.START_TIMEOUT, "fj.exe to start")
    time.sleep(2)  # its window is up
    before = os.stat(program).st_ino
    log_folder(c)
    code = run_silently(c, ["/S", "/LOG=" + LOG])
    c.check(code == 0, "the second install exits with 0 (found %s)" % code)
    c.check(not product_running(c), "the running fj.exe was closed")
    c.check(os.stat(program).st_ino != before, "fj.exe was replaced")
    c.check_everything_installed(DEFAULT_FOLDER)
    check_log_has(c, read_log(c), ["running programs: fj.exe (", "close running programs: closed"])


@case
def silent_install_told_to_close_ends_with_the_interrupted_code(c):
    """taskkill without /F (a close message to the process's windows) midway: exit code 6, the uninstall
    entry this run wrote is taken back."""
    process = subprocess.Popen(["wine", setup_exe(c.bed, "FeijingSetupSlow.exe"), "/S"], stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        e2e.wait_until(lambda: c.bed.reg_query(UNINSTALL_KEY) is not None, INSTALL_TIMEOUT, "the entry at 25 %")
        subprocess.run(["wine", "taskkill", "/im", "FeijingSetupSlow.exe"], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        code = process.wait(STEP_TIMEOUT)
    finally:
        if process.poll() is None:
            process.kill()
    c.check(code == 6, "exit code 6 (found %s)" % code)
    c.check(c.bed.reg_query(UNINSTALL_KEY) is None, "the uninstall entry is taken back")


if __name__ == "__main__":
    e2e.__doc__ = __doc__
    e2e.CASES[:] = CASES
    sys.exit(e2e.main())
