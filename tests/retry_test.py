#!/usr/bin/env python3
"""The test command's one retry: only a case whose output ends with GoogleTest's PASSED line and
whose process was killed (SIGKILL, as Wine's exit kill does) is run again, and only once. Each
stand-in test fails its first runs as the table says, then passes.
Usage: retry_test.py SOURCE WORK (WORK is emptied)"""
import os
import shutil
import subprocess
import sys

PASSED = "[==========] Running 1 test from 1 test suite.\n[  PASSED  ] 1 test.\n"
CRASH = "wine: Unhandled page fault on read access to 0000000000000000 at address 0000000140001A2B (thread 0024)\n"
CASES = [  # name, first output, how it ends, runs that fail, expected status and runs of the command
    ("CrashReportAfterPassed", PASSED + CRASH, "exit 5", 1, 1, 1),
    ("CrashReportAfterPassedThenKilled", PASSED + CRASH, "kill -9 $$", 1, 1, 1),
    ("PassedButAnotherStatus", PASSED, "exit 5", 1, 1, 1),
    ("PassedButTimedOut", PASSED, "sleep 10", 1, 1, 1),
    ("PassedThenKilledAtExit", PASSED, "kill -9 $$", 1, 0, 2),
    ("PassedThenKilledAtExitTwice", PASSED, "kill -9 $$", 2, 1, 2),
]


def main(source, work):
    shutil.rmtree(work, ignore_errors=True)
    failures = []
    for name, output, ending, failing, status, runs in CASES:
        folder = os.path.join(work, name)
        os.makedirs(folder)
        open(os.path.join(folder, "first.txt"), "w").write(output)
        open(os.path.join(folder, "passed.txt"), "w").write(PASSED)
        open(os.path.join(folder, "case.sh"), "w").write(
            'cd "$(dirname "$0")"; n=$(($(cat runs 2>/dev/null || echo 0) + 1)); echo $n >runs\n'
            '[ $n -gt %d ] && { cat passed.txt; exit 0; }\ncat first.txt; %s\n' % (failing, ending))
        # A name with GoogleTest's separators, as the Windows tests have them.
        open(os.path.join(folder, "CTestTestfile.cmake"), "w").write(
            'add_test([=[Stand/In.%s/0]=] "/bin/sh" "%s/case.sh")\n' % (name, folder))
        run = subprocess.run([sys.executable, os.path.join(source, "scripts", "wine-ctest.py"), folder,
                              "--output-on-failure", "--timeout", "2"], capture_output=True, text=True)
        seen = (0 if run.returncode == 0 else 1, int(open(os.path.join(folder, "runs")).read()))
        print("%-34s exit %d, %d run(s)" % (name, *seen))
        if seen != (status, runs):
            failures.append("%s: exit %d after %d run(s), expected exit %d after %d\n%s" % (name, *seen, status, runs, run.stdout))
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        shutil.rmtree(work)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
