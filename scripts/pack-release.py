#!/usr/bin/env python3
"""Writes OUT_DIR/Karvel-VERSION-win64.zip and SHA256SUMS beside it: one folder with the exe, its
five sounds, LISEZMOI.txt and LICENSE.txt (the licence of the sources beside this script, with
CRLF line ends for Notepad), entries sorted, with fixed times (UTC) and permissions and no owner
fields. With --dirty, VERSION-dirty instead of VERSION in every name.
Usage: pack-release.py VERSION EPOCH DIST_DIR NOTICE OUT_DIR [--dirty]"""
import hashlib
import os
import sys
import time
import zipfile

FILES = ["Karvel.exe", "bip.wav", "tac.wav", "toc.wav", "blop.wav", "dadam.wav"]
LICENCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "LICENSE")


def entry(name, epoch, mode, compression=zipfile.ZIP_DEFLATED):
    info = zipfile.ZipInfo(name, time.gmtime(epoch)[:6])
    info.create_system = 3  # permissions in the Unix form, the same from every builder
    info.external_attr = mode << 16
    info.compress_type = compression
    return info


def main(version, epoch, dist, notice, outDir, *marks):
    epoch = max(int(epoch), 315532800)  # zip times start in 1980
    # A trial from a changed tree says so wherever a player looks: zip, folder and notice.
    version += "-dirty" if "--dirty" in marks else ""
    folder = "Karvel-%s/" % version
    zipPath = os.path.join(outDir, "Karvel-%s-win64.zip" % version)
    contents = {name: open(os.path.join(dist, name), "rb").read() for name in FILES}
    with open(notice, "rb") as f:
        contents["LISEZMOI.txt"] = f.read().replace(b"@VERSION@", version.encode())
    with open(LICENCE, "rb") as f:  # the same bytes whatever line ends the checkout gave it
        contents["LICENSE.txt"] = f.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    with zipfile.ZipFile(zipPath + ".part", "w") as archive:
        archive.writestr(entry(folder, epoch, 0o40755, zipfile.ZIP_STORED), b"")
        for name in sorted(contents):
            archive.writestr(entry(folder + name, epoch, 0o100644), contents[name], compresslevel=9)
    os.replace(zipPath + ".part", zipPath)
    digest = hashlib.sha256(open(zipPath, "rb").read()).hexdigest()
    with open(os.path.join(os.path.dirname(zipPath), "SHA256SUMS"), "w", newline="\n") as f:
        f.write("%s  %s\n" % (digest, os.path.basename(zipPath)))


if __name__ == "__main__":
    main(*sys.argv[1:])
