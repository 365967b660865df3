#!/usr/bin/env python3
"""The release zip: reproducible from any folder, user, umask and time zone; its layout, notice
and licence; the exe inside is the small release build with its manifest.
Usage: release_test.py reproducible SOURCE ZIP_OUT | contents ZIP RES_DIR | plays ZIP WORK"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

VERSION = "1.2.0.1"
ZIP = "Karvel-%s-win64.zip" % VERSION
FOLDER = "Karvel-%s/" % VERSION
SOUNDS = ["bip.wav", "tac.wav", "toc.wav", "blop.wav", "dadam.wav"]
SYSTEM_DLLS = {"gdi32.dll", "kernel32.dll", "msvcrt.dll", "user32.dll", "winmm.dll"}
SIZE_BUDGET = 45056
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def reproducible(source, zipOut):
    """Two clean clones of the same commit, built apart: the same zip, byte for byte. A clone
    with an untracked file is refused, and so is one git cannot read, even with a release time."""
    work = tempfile.mkdtemp(prefix="karvel-release-")  # under /tmp, which every user can reach
    os.chmod(work, 0o755)
    builds = [  # folder, time zone, umask, as another user
        (os.path.join(work, "a"), "UTC", "022", False),
        (os.path.join(work, "b", "plus", "profond", "encore"), "Pacific/Kiritimati", "077", True),
    ]
    sums, exes = [], []
    for folder, zone, umask, other in builds:
        subprocess.run(["git", "clone", "-q", source, folder], check=True)
        # First, trees it must refuse even with a release time: a file the commit has not (named),
        # a repository git cannot read (in git's words). File, what it is spoilt with, what is said.
        for name, spoilt, said in [] if other else [("stray.txt", "", "?? stray.txt"),
                                                    (".git/HEAD", "broken\n", "fatal: not a git repository")]:
            path = os.path.join(folder, name)
            kept = open(path).read() if os.path.exists(path) else None
            open(path, "w").write(spoilt)
            refused = subprocess.run(["scripts/release"], cwd=folder, capture_output=True, text=True,
                                     env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
            said = said in refused.stdout + refused.stderr
            check(refused.returncode == 1 and said, "%s: not refused: %s%s" % (name, refused.stdout, refused.stderr))
            os.remove(path) if kept is None else open(path, "w").write(kept)
        command, user = "umask %s && scripts/release" % umask, "this user"
        if other:
            command, user = asAnotherUser(work, command)
        env = dict(os.environ, TZ=zone, HOME=folder)
        subprocess.run(command, shell=True, cwd=folder, env=env, check=True, stdout=subprocess.DEVNULL)
        data = open(os.path.join(folder, "build", "release", ZIP), "rb").read()
        sums.append(hashlib.sha256(data).hexdigest())
        print("%s  %s (TZ=%s, umask %s, %s)" % (sums[-1], folder, zone, umask, user))
        listed = open(os.path.join(folder, "build", "release", "SHA256SUMS")).read()
        check(listed == "%s  %s\n" % (sums[-1], ZIP), "SHA256SUMS names the zip with its sum: " + listed)
        with zipfile.ZipFile(os.path.join(folder, "build", "release", ZIP)) as archive:
            exes.append(archive.read(FOLDER + "Karvel.exe"))
    check(sums[0] == sums[1], "the two zips differ")
    check(not any(b[0].encode() in exe or b"/tmp" in exe for b in builds for exe in exes), "a build path in the exe")
    os.makedirs(os.path.dirname(zipOut), exist_ok=True)
    shutil.copy(os.path.join(builds[0][0], "build", "release", ZIP), zipOut)
    # A --dirty zip says so in its folder and notice too: packed from stand-in files, in no time.
    dist = os.path.join(work, "dist")
    os.makedirs(dist)
    for name in ["Karvel.exe"] + SOUNDS:
        open(os.path.join(dist, name), "w").write(name)
    subprocess.run([sys.executable, os.path.join(source, "scripts", "pack-release.py"), VERSION, "0", dist,
                    os.path.join(source, "release", "LISEZMOI.txt.in"), work, "--dirty"], check=True)
    with zipfile.ZipFile(os.path.join(work, "Karvel-1.2.0.1-dirty-win64.zip")) as archive:
        notice = archive.read("Karvel-1.2.0.1-dirty/LISEZMOI.txt").decode()
    check(notice.count(VERSION) == notice.count("1.2.0.1-dirty") > 0, "the dirty zip's notice names a clean version")
    shutil.rmtree(work)


def asAnotherUser(work, command):
    """COMMAND for another user, and who: root makes it nobody, owning the clones; anyone else
    runs it as the root of a user namespace of its own, where the kernel allows that unprivileged."""
    if os.getuid() == 0:
        subprocess.run(["chown", "-R", "nobody", work], check=True)
        return "setpriv --reuid=nobody --regid=nogroup --clear-groups -- sh -c '%s'" % command, "user nobody"
    if subprocess.run(["unshare", "--user", "--map-root-user", "true"], capture_output=True).returncode == 0:
        return "unshare --user --map-root-user sh -c '%s'" % command, "root of a user namespace"
    return command, "this user (no unprivileged user namespaces here)"


def contents(zipPath, resDir):
    with zipfile.ZipFile(zipPath) as archive:
        names = archive.namelist()
        expected = [FOLDER] + sorted(FOLDER + n for n in ["Karvel.exe", "LICENSE.txt", "LISEZMOI.txt"] + SOUNDS)
        check(names == expected, "entries %s, expected %s" % (names, expected))
        for info in archive.infolist():
            check(info.date_time == archive.infolist()[0].date_time and info.external_attr >> 16 in (0o40755, 0o100644),
                  "entry %s: time %s, mode %o" % (info.filename, info.date_time, info.external_attr >> 16))
        for sound in SOUNDS:
            check(archive.read(FOLDER + sound) == open(os.path.join(resDir, sound), "rb").read(), sound + " is not res/'s")
        notice = archive.read(FOLDER + "LISEZMOI.txt")
        licence = archive.read(FOLDER + "LICENSE.txt") if FOLDER + "LICENSE.txt" in names else b""
        exe = archive.read(FOLDER + "Karvel.exe")
    text = notice.decode("utf-8")  # fails the test if it is not UTF-8
    check(b"\n" not in notice.replace(b"\r\n", b"") and b"\r" not in notice.replace(b"\r\n", b""), "line ends not CRLF")
    for words in ["é", "Flèche", "wine Karvel.exe", "SmartScreen", "SHA-256", "Windows 7", VERSION, "même dossier", "Extraire tout"]:
        check(words in text, "LISEZMOI.txt does not say " + words)
    project = open(os.path.join(resDir, "..", "LICENSE"), "rb").read().replace(b"\r\n", b"\n")
    check(licence == project.replace(b"\n", b"\r\n") and b"MIT License" in project,
          "the zip's LICENSE.txt is missing or not the project's MIT licence with CRLF line ends (%d bytes in the zip)"
          % len(licence))
    checkExe(exe)


def checkExe(exe):
    check(len(exe) <= SIZE_BUDGET, "Karvel.exe is %d bytes, over %d" % (len(exe), SIZE_BUDGET))
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    stamp = struct.unpack_from("<I", exe, pe + 8)[0]
    optional = pe + 24
    major, minor = struct.unpack_from("<HH", exe, optional + 48)
    subsystem = struct.unpack_from("<H", exe, optional + 68)[0]
    check(exe[pe:pe + 4] == b"PE\0\0" and stamp == 0, "time stamp %#x" % stamp)
    check((major, minor, subsystem) == (5, 2, 2), "subsystem %d version %d.%d, expected GUI (2) 5.2" % (subsystem, major, minor))
    check(b".debug" not in exe and b"GCC: (GNU)" not in exe, "symbols or debug data in the exe")
    path = "/tmp/karvel-release-check.exe"
    open(path, "wb").write(exe)
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True, text=True).stdout
    imports = {n.lower() for n in re.findall(r"DLL Name: (\S+)", dump)}
    check(imports and imports <= SYSTEM_DLLS, "imports %s" % sorted(imports))
    rc = subprocess.run(["x86_64-w64-mingw32-windres", "-i", path, "-O", "rc"], capture_output=True, text=True).stdout
    os.remove(path)
    check("1 24 /* RT_MANIFEST */" in rc, "no manifest resource (type 24, number 1)")
    start, end = exe.find(b"<?xml"), exe.find(b"</assembly>")
    check(start >= 0 and end > start, "no manifest text in the exe")
    manifest = ElementTree.fromstring(exe[start:end + len(b"</assembly>")])
    v1, v3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
    smi = "{http://schemas.microsoft.com/SMI/%s/WindowsSettings}"
    level = manifest.find(".//%srequestedExecutionLevel" % v3)
    check(level is not None and level.get("level") == "asInvoker" and level.get("uiAccess") == "false", "asInvoker")
    systems = {e.get("Id") for e in manifest.iter("{urn:schemas-microsoft-com:compatibility.v1}supportedOS")}
    check(systems == {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}, "supported systems %s" % systems)
    settings = {(e.tag, (e.text or "").strip()) for e in manifest.iter() if "SMI" in e.tag}
    check(settings == {(smi % "2005" + "dpiAware", "true/pm"),
                       (smi % "2016" + "dpiAwareness", "PerMonitorV2, PerMonitor"),
                       (smi % "2019" + "activeCodePage", "UTF-8")}, "window settings %s" % settings)
    controls = [e.attrib for e in manifest.iter(v1 + "assemblyIdentity")]
    check({"type": "win32", "name": "Microsoft.Windows.Common-Controls", "version": "6.0.0.0",
           "processorArchitecture": "*", "publicKeyToken": "6595b64144ccf1df", "language": "*"} in controls,
          "Common Controls 6.0 dependency: %s" % controls)
    print("Karvel.exe: %d bytes (budget %d), time stamp 0, subsystem 5.2, imports %s, manifest checked"
          % (len(exe), SIZE_BUDGET, " ".join(sorted(imports))))


def plays(zipPath, work):
    """Unzipped as a player would, into a folder named in Cyrillic with spaces and into a plain
    one, started under Wine where it lies: a move, a turn and a landing play their sounds."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import sounds_e2e
    for name in ["Папка с играми", "jeux"]:
        folder = os.path.join(work, name)
        shutil.rmtree(folder, ignore_errors=True)
        with zipfile.ZipFile(zipPath) as archive:
            archive.extractall(folder)
        print("unzipped into", folder)
        sounds_e2e.runScenario("inplace", os.path.join(folder, FOLDER), os.path.join(work, "run"))  # exits on a fault


if __name__ == "__main__":
    {"reproducible": reproducible, "contents": contents, "plays": plays}[sys.argv[1]](*sys.argv[2:])
    sys.exit(1 if failures else 0)
