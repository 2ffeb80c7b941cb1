#!/usr/bin/env python3
"""Fault-injection sweep: put one deliberate fault into the game at a time,
rebuild only the test program that should notice it, run it, put the code
back. Reports which faults were caught, by which test, and the kill rate.

    tools/fault_sweep.py [FAULT_FILE] [--only ID,ID] [--build DIR]

FAULT_FILE (default tools/faults.txt) holds one fault per line:

    id | file | exact text | replacement | test target | gtest filter

The text must occur exactly once in the file (a fault that does not apply is
reported as such, never counted). Lines starting with # are comments. "\\n"
in the text or replacement stands for a line break. The filter may be "*"
(the whole program); a narrower one keeps the sweep light on a shared
machine. Target "e2e:NAME" runs tests/e2e/NAME.py against the game binary.

Every fault is reverted with `git checkout -- FILE` whatever happens, and the
sweep refuses to start on a file with uncommitted changes, so it can never
leave a fault behind or throw away real work.
"""
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, capture_output=True, text=True, **kw)


def parse(path):
    faults = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        parts = [p.strip() for p in line.rstrip("\n").split(" | ")]
        if len(parts) != 6:
            sys.exit("%s:%d: expected 6 fields separated by ' | '" % (path, number))
        fid, file, old, new, target, gfilter = parts
        faults.append(dict(id=fid, file=file, old=old.replace("\\n", "\n"), new=new.replace("\\n", "\n"),
                           target=target, filter=gfilter))
    return faults


def failing_tests(output):
    # Parameterised tests carry their instantiation's prefix: Prefix/Suite.Name/Param.
    names = re.findall(r"^\[  FAILED  \] ([A-Za-z_][\w/]*\.[\w/]+)", output, re.M)
    names += ["e2e: " + n for n in re.findall(r"^\[ FAIL \] (.*?): ", output, re.M)]
    return sorted(set(names))


def main():
    args = sys.argv[1:]
    fault_file = os.path.join(ROOT, "tools", "faults.txt")
    only = None
    build = "build-test"
    while args:
        a = args.pop(0)
        if a == "--only":
            only = set(args.pop(0).split(","))
        elif a == "--build":
            build = args.pop(0)
        else:
            fault_file = a
    faults = [f for f in parse(fault_file) if only is None or f["id"] in only]
    env = dict(os.environ, CCACHE_BASEDIR="/work", CCACHE_NOHASHDIR="1")
    caught = total = 0
    rows = []
    for f in faults:
        path = os.path.join(ROOT, f["file"])
        if run(["git", "diff", "--quiet", "--", f["file"]]).returncode != 0:
            sys.exit("%s has uncommitted changes; commit or stash them first" % f["file"])
        text = open(path, encoding="utf-8").read()
        if text.count(f["old"]) != 1:
            rows.append((f["id"], f["file"], "DOES NOT APPLY (%d matches)" % text.count(f["old"]), ""))
            print(rows[-1], flush=True)
            continue
        line = text[: text.index(f["old"])].count("\n") + 1
        started = time.time()
        try:
            open(path, "w", encoding="utf-8").write(text.replace(f["old"], f["new"]))
            if f["target"].startswith("e2e:"):
                built = run(["nice", "cmake", "--build", build, "-j2", "--target", "vestrel"], env=env)
                cmd = ["/usr/bin/python3", "tests/e2e/%s.py" % f["target"][4:], os.path.join(build, "vestrel")]
            else:
                built = run(["nice", "cmake", "--build", build, "-j2", "--target", f["target"]], env=env)
                cmd = ["tests/support/with_display.sh", os.path.join(build, f["target"]),
                       "--gtest_filter=" + f["filter"]]
            if built.returncode != 0:
                verdict, by = "caught (does not build)", "compiler"
            else:
                result = run(cmd, env=dict(env, VESTREL_BUILD_DIR=os.path.join(ROOT, build),
                                           VESTREL_SOURCE_DIR=ROOT), timeout=900)
                if result.returncode != 0:
                    names = failing_tests(result.stdout + result.stderr)
                    verdict, by = "caught", ", ".join(names) or "exit %d" % result.returncode
                else:
                    verdict, by = "SURVIVED", ""
        finally:
            run(["git", "checkout", "--", f["file"]])
        total += 1
        caught += verdict.startswith("caught")
        rows.append((f["id"], "%s:%d" % (f["file"], line), verdict, by))
        print("%-4s %-42s %-10s %s  (%.0f s)" % (rows[-1] + (time.time() - started,)), flush=True)
    # Rebuild the touched programs clean, so the tree's binaries match the code again.
    targets = {f["target"] for f in faults}
    targets = {"vestrel" if t.startswith("e2e:") else t for t in targets}
    for target in sorted(targets):
        run(["nice", "cmake", "--build", build, "-j2", "--target", target], env=env)
    print()
    print("| # | where | fault caught? | by |")
    print("|---|---|---|---|")
    for r in rows:
        print("| %s | %s | %s | %s |" % r)
    if total:
        print("\ncaught %d of %d: %.0f %%" % (caught, total, 100.0 * caught / total))


if __name__ == "__main__":
    main()
