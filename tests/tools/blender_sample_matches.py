#!/usr/bin/python3
"""The committed Blender sample (tests/data/blender) is what tools/blender/make_sample.py
writes today. Needs Blender (Debian package blender, which `scripts/setup.sh --tests`
installs); without it the check fails rather than pass unseen. Blender runs in the
background (-b), so no display is needed. Run from the repository root."""

import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

COMMITTED = "tests/data/blender"


def without_dates(path):
    """The file's lines less the exporter's time stamps, the one thing a re-run changes."""
    with open(path, "rb") as f:
        return [line for line in f.read().splitlines()
                if b"<created>" not in line and b"<modified>" not in line]


def main():
    if shutil.which("blender") is None:
        print("FAIL: Blender is not installed (Debian package blender; scripts/setup.sh --tests installs it)")
        return 1
    out = tempfile.mkdtemp(prefix="vestrel-blender-check-")
    try:
        run = subprocess.run(["blender", "-b", "--factory-startup", "-P", "tools/blender/make_sample.py",
                              "--", "--out", out], capture_output=True, text=True, timeout=600)
        if run.returncode != 0:
            print(run.stdout[-4000:], run.stderr[-4000:])
            print("FAIL: the script did not run")
            return 1
        committed = sorted(os.listdir(COMMITTED))
        written = sorted(os.listdir(out))
        failures = 0
        if committed != written:
            print("FAIL: files differ: committed %s, written %s" % (committed, written))
            failures += 1
        for name in committed:
            a, b = os.path.join(COMMITTED, name), os.path.join(out, name)
            if not os.path.exists(b):
                continue
            same = (without_dates(a) == without_dates(b)) if name.endswith(".dae") else filecmp.cmp(a, b, False)
            print("%s %s" % ("same" if same else "DIFFERS", name))
            failures += 0 if same else 1
        print("%d passed, %d failed" % (len(committed) - failures, failures))
        return 1 if failures else 0
    finally:
        shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
