#!/usr/bin/env python3
"""Runs the Windows build's tests once. Under Wine a test process is, rarely, killed as it exits
after printing that it passed: only such a GoogleTest case is run again, once, with the reason
printed and counted. Any other failure fails the run with no second try; an end-to-end script
prints no GoogleTest summary and is never run twice (the game seeds its pieces from the clock).
Usage: wine-ctest.py BUILD_DIR CTEST_ARGUMENTS..."""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def main(build, *args):
    junit = os.path.abspath(build) + "/Testing/junit.xml"
    run = subprocess.Popen(["ctest", "--test-dir", build, "--output-junit", junit, *args], stdout=subprocess.PIPE, text=True)
    lines = []
    for line in run.stdout:  # shown as it comes, kept to read the failures' reasons
        sys.stdout.write(line)
        sys.stdout.flush()
        lines.append(line)
    if run.wait() == 0:
        return 0
    outputs = {case.get("name"): case.findtext("system-out") or "" for case in ElementTree.parse(junit).iter("testcase")}
    failed = re.findall(r"^\s+(\d+) - (\S+) \((.+)\)$", "".join(lines).split("The following tests FAILED:")[-1], re.M)
    retries = [(number, name) for number, name, why in failed if why != "Timeout" and
               re.search(r"^\[=+\] Running .*^\[  PASSED  \] \d+ tests?\.\s*$", outputs.get(name, ""), re.M | re.S)
               and "[  FAILED  ]" not in outputs[name]]
    if not failed or len(retries) < len(failed):
        print("The run fails: %d test(s) failed for another reason than the exit kill, with no second try"
              % (len(failed) - len(retries)), flush=True)
        return 1
    for number, name in retries:
        print("retry: %s (it printed that it passed, then its process was killed as it exited)" % name, flush=True)
    again = [subprocess.run(["ctest", "--test-dir", build, "-I", "%s,%s" % (n, n), *args]).returncode for n, _ in retries]
    print("retries: %d, of which %d passed" % (len(retries), again.count(0)))
    return 0 if not any(again) else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
