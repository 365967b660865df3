#!/usr/bin/env python3
"""One build folder follows its sources: a WAV file changed alone is staged again though the exe
does not relink; a changed manifest and icon are in the rebuilt exe, named in the resource script
by lines of forms that a pattern over its lines had missed.
Usage: rebuild_test.py SOURCE WORK (WORK is emptied; the sources are copied into it)"""
import os
import shutil
import subprocess
import sys

failures = []


def main(source, work):
    shutil.rmtree(work, ignore_errors=True)
    src, out = os.path.join(work, "src"), os.path.join(work, "build")
    shutil.copytree(source, src, ignore=shutil.ignore_patterns("build", ".git"))
    build = lambda *args: subprocess.run(["cmake", *args], check=True, stdout=subprocess.DEVNULL)

    def change(name, edit):
        path = os.path.join(src, name)
        old = open(path, "rb").read()
        open(path, "wb").write(edit(old))
        return old, open(path, "rb").read()

    # The manifest by number, the icons with a comment after their file names.
    _, rc = change("ui/karvel.rc", lambda rc: rc.replace(b"CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST", b"1 RT_MANIFEST")
                   .replace(b'.ico"', b'.ico" // the picture'))
    if b"\n1 RT_MANIFEST" not in rc or rc.count(b'.ico" // the picture') != 3:
        failures.append("the resource script no longer has the lines this test rewrites")
    build("-S", src, "-B", out, "-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-w64.cmake" % src, "-DKARVEL_TESTS=OFF")
    build("--build", out, "-j", "2", "--target", "Karvel")

    _, wav = change("res/tac.wav", lambda data: data + b"rebuilt")
    build("--build", out, "-j", "2", "--target", "Karvel")
    staged = open(os.path.join(out, "dist", "tac.wav"), "rb").read()
    if staged != wav:
        failures.append("dist/tac.wav is the old one")

    exe = lambda: open(os.path.join(out, "dist", "Karvel.exe"), "rb").read()
    change("ui/karvel.manifest", lambda text: text.replace(b"</assembly>", b"<!-- rebuilt --></assembly>"))
    build("--build", out, "-j", "2", "--target", "Karvel")  # alone: a changed icon would hide a missed manifest
    if b"<!-- rebuilt -->" not in exe():
        failures.append("the exe holds the old manifest")
    # One pixel byte halfway into the icon's one picture, which follows its 22-byte header.
    oldIcon, icon = change("res/karvel.ico", lambda ico: ico[:1600] + bytes([ico[1600] ^ 0xFF]) + ico[1601:])
    build("--build", out, "-j", "2", "--target", "Karvel")
    if icon[22:] not in exe() or oldIcon[22:] in exe():
        failures.append("the exe holds the old icon")
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("a changed sound is staged; a changed manifest and icon are in the exe")
        shutil.rmtree(work)


if __name__ == "__main__":
    main(*sys.argv[1:])
    sys.exit(1 if failures else 0)
