#!/usr/bin/env python3
"""Runs the Windows build's tests once. Under Wine a test process is, rarely, killed as it exits
after printing that it passed: only such a GoogleTest case is run again, once, with the reason
printed and counted. Any other failure fails the run with no second try; an end-to-end script
prints no GoogleTest summary and is never run twice (the game seeds its pieces from the clock).
Usage: wine-ctest.py BUILD_DIR CTEST_ARGUMENTS..."""
import glob
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

# Wine's exit kill: once every thread of a process has ended, the wineserver gives its Unix
# process one second to go, then sends SIGKILL, which CTest reports so (a timeout it reports as
# "Timeout"). Measured under Wine 8: a process ended by TerminateProcess while held stopped for
# over a second died of SIGKILL (shell status 137); let go sooner, it exited 0.
EXIT_KILL = "Subprocess killed"
# The output ends with GoogleTest's summary of a pass: nothing after it but white space.
ENDS_PASSED = re.compile(r"^\[  PASSED  \] \d+ tests?\.\s*\Z", re.M)


def main(build, *args):
    testing = os.path.join(os.path.abspath(build), "Testing")
    junit = os.path.join(testing, "wine-ctest.xml")
    # Results written afresh for this run: a file left by an earlier run is never read.
    for old in glob.glob(os.path.join(testing, "[0-9]*-[0-9]*")):
        shutil.rmtree(old)
    for old in [junit, os.path.join(testing, "TAG")]:
        if os.path.exists(old):
            os.remove(old)
    # The junit file holds each test's status and output; -T Test adds Test.xml, the only one
    # of CTest's records to keep how each test ended.
    ctest = ["ctest", "--test-dir", build]
    if subprocess.run(ctest + ["-T", "Test", "--output-junit", junit, *args]).returncode == 0:
        return 0
    try:
        cases = {c.get("name"): (c.get("status"), c.findtext("system-out") or "")
                 for c in ElementTree.parse(junit).iter("testcase")}
        tag = open(os.path.join(testing, "TAG")).readline().strip()
        ended = {t.findtext("Name"): m.findtext("Value")
                 for t in ElementTree.parse(os.path.join(testing, tag, "Test.xml")).iter("Test")
                 for m in t.iter("NamedMeasurement") if m.get("name") == "Exit Code"}
    except (OSError, ElementTree.ParseError) as error:
        print("The run fails: CTest left no results (%s)" % error, flush=True)
        return 1
    failed = [name for name, (status, _) in cases.items() if status not in ("run", "disabled")]
    retries = [name for name in failed if ended.get(name) == EXIT_KILL and ENDS_PASSED.search(cases[name][1])]
    if not failed or len(retries) < len(failed):
        print("The run fails: %d test(s) failed for another reason than the exit kill, with no second try"
              % (len(failed) - len(retries)), flush=True)
        return 1
    for name in retries:
        print("retry: %s (it printed that it passed, then its process was killed as it exited)" % name, flush=True)
    again = [subprocess.run(ctest + [*args, "-R", "^%s$" % re.sub(r"(\W)", r"\\\1", name)]).returncode for name in retries]
    print("retries: %d, of which %d passed" % (len(retries), again.count(0)))
    return 0 if not any(again) else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
