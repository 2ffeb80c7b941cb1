#!/usr/bin/env python3
"""Runs scripts/timedemo.sh on a small window with the given game binary and
checks that it ran the whole demo and printed every line with numbers that
agree with each other and with its CSV. No threshold on any time. Then two
counting runs, with occlusion culling and without it: both report fragments
and samples per pixel, and culling rasterises fewer fragments for the same
picture's samples. Last, scripts/timedemo_pairs.sh over the same binary with
culling off and on, one run each.

    check_timedemo.py GAME_BINARY [DEMO]
"""
import csv
import os
import re
import subprocess
import sys
import tempfile

NUMBER = r"([0-9]+(?:\.[0-9]+)?)"


def recorded_totals(demo):
    with open(demo) as f:
        last = f.read().splitlines()[-1]
    match = re.match(r"end \S+ steps (\d+) frames (\d+) ", last)
    assert match, "no end line in " + demo
    return int(match.group(1)), int(match.group(2))


def find(pattern, text):
    match = re.search(pattern, text, re.MULTILINE)
    assert match, "missing line /%s/ in:\n%s" % (pattern, text)
    return [float(g) if re.fullmatch(NUMBER, g) else g for g in match.groups()]


def main():
    binary = sys.argv[1]
    demo = sys.argv[2] if len(sys.argv) > 2 else "demos/walk.dem"
    steps, frames = recorded_totals(demo)
    with tempfile.TemporaryDirectory() as out:
        env = dict(os.environ, VESTREL_BINARY=binary, VESTREL_TIMEDEMO_OUT=out)
        env.pop("DISPLAY", None)  # its own Xvfb, as the script starts without a display
        # A sanitizer build reports leaks, except those of the system libraries.
        supp = os.path.join(os.getcwd(), "tests", "support", "lsan.supp")
        env.setdefault("ASAN_OPTIONS", "detect_leaks=1")
        env.setdefault("LSAN_OPTIONS", "suppressions=%s:print_suppressions=0" % supp)
        # With Mesa's driver preloaded its allocations are attributed to it,
        # so the suppressions match them (as tests/e2e does).
        dri = "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"
        if os.path.exists(dri):
            ldd = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
            asan = [line.split()[2] for line in ldd.splitlines() if "libasan" in line and "=>" in line]
            if asan:
                env["VESTREL_TIMEDEMO_PRELOAD"] = " ".join(asan + [dri])
        def timedemo(extra):
            run = subprocess.run(["scripts/timedemo.sh", "320", "240", demo], env=dict(env, **extra),
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=500)
            return run
        run = timedemo({})
        text = run.stdout
        print(text)
        assert run.returncode == 0, "timedemo.sh exited with %d" % run.returncode

        renderer, width, height, sampling = find(
            r"^Timedemo: renderer (.+), window (\d+) x (\d+), sampling (\S.*)$", text)
        assert (int(width), int(height)) == (320, 240), (width, height)
        start, load = find(r"^Timedemo: start to first play frame %s ms, level load %s ms$" % (NUMBER, NUMBER), text)
        assert 0 < load < start, (load, start)
        count, median, p95, p99, worst = find(
            r"^Timedemo: (\d+) frames, frame time median %s ms, p95 %s ms, p99 %s ms, max %s ms$"
            % ((NUMBER,) * 4), text)
        # The replay ends on the frame after the recorded ones (the script's close).
        assert count in (frames, frames + 1), (count, frames)
        assert 0 < median <= p95 <= p99 <= worst, (median, p95, p99, worst)
        step_line = find(r"^Timedemo: (\d+) fixed steps, step time median %s ms, p99 %s ms; (.*) \(median / p99 ms\)$"
                         % (NUMBER, NUMBER), text)
        assert int(step_line[0]) == steps, (step_line[0], steps)
        phases = re.findall(r"(\w+) %s / %s" % (NUMBER, NUMBER), step_line[3])
        assert [p[0] for p in phases] == ["physics", "player", "monster", "level", "audio"], phases
        assert float(step_line[1]) > 0
        all_cpu, game_cpu = find(r"^Timedemo: process CPU time per frame %s ms \(all threads\), %s ms \(game thread\)$"
                                 % (NUMBER, NUMBER), text)
        assert 0 < game_cpu <= all_cpu + 0.01, (game_cpu, all_cpu)
        drawn, frustum, occluded, pass_occluded, most_drawn, stage_median, stage_p99 = find(
            r"^Timedemo: occlusion culling ON; level objects per frame drawn %s, frustum culled %s, occlusion "
            r"culled %s; other passes' objects occlusion culled %s \(means\); max drawn %s; visibility median %s ms, "
            r"p99 %s ms$" % ((NUMBER,) * 7), text)
        assert 0 < drawn <= most_drawn and frustum > 0 and occluded > 0, (drawn, most_drawn, frustum, occluded)
        assert 0 < stage_median <= stage_p99, (stage_median, stage_p99)
        assert "counting run" not in text, "a timed run must not count fragments"
        (resident,) = find(r"^Timedemo: peak resident memory %s MiB$" % NUMBER, text)
        assert resident > 10, resident
        floor_frames, floor_median, _, ratio = find(
            r"^Timedemo: clear-and-swap floor (\d+) frames, median %s ms, p99 %s ms; game median = %s x floor$"
            % ((NUMBER,) * 3), text)
        assert floor_frames == 300 and floor_median > 0
        # Both times are printed to 0.01 ms: the ratio must lie within what
        # that rounding allows.
        low = (median - 0.005) / (floor_median + 0.005) - 0.005
        high = (median + 0.005) / max(floor_median - 0.005, 1e-9) + 0.005
        assert low <= ratio <= high, (ratio, median, floor_median)
        assert re.search(r"^Demo replayed: .* outcome (\w+) \(recorded: \1\)", text, re.MULTILINE), \
            "the replay did not reach its recorded outcome"

        with open(os.path.join(out, "frames.csv"), newline="") as f:
            rows = list(csv.DictReader(f))
        assert len(rows) == count, (len(rows), count)
        assert sum(int(r["steps"]) for r in rows) == steps
        times = sorted(float(r["frame_ms"]) for r in rows)
        assert abs(times[(len(times) + 1) // 2 - 1] - median) < 0.01, "CSV and report disagree on the median"
        mean_drawn = sum(int(r["drawn"]) for r in rows) / len(rows)
        mean_occluded = sum(int(r["occluded"]) for r in rows) / len(rows)
        assert abs(mean_drawn - drawn) <= 0.051 and abs(mean_occluded - occluded) <= 0.051, \
            "CSV and report disagree on the objects drawn or occluded"
        png = os.path.join(out, "frames.png")
        with open(png, "rb") as f:
            assert f.read(8) == b"\x89PNG\r\n\x1a\n", "no plot"
        # The counting runs: fragments per pixel with the stage and without.
        counted = {}
        for occlusion in ("1", "0"):
            run = timedemo({"VESTREL_TIMEDEMO_COUNT": "1", "VESTREL_OCCLUSION": occlusion})
            print(run.stdout)
            assert run.returncode == 0, "counting run exited with %d" % run.returncode
            frames_counted, fragments, other, samples = find(
                r"^Timedemo: counting run \(GL queries read every frame; its times are not the game's\): (\d+) "
                r"frames, fragments rasterised per pixel %s \(level tree\), %s \(other passes\), samples written "
                r"per pixel %s \(level tree\)$" % ((NUMBER,) * 3), run.stdout)
            assert int(frames_counted) >= count, (frames_counted, count)
            assert 0.3 < samples <= fragments < 10 and other >= 0, (samples, fragments, other)
            (covered,) = find(r"^Timedemo: counting run, level tree pixels covered per pixel %s \(by its triangles, "
                              r"hidden or not\)$" % NUMBER, run.stdout)
            assert samples <= covered <= fragments, (samples, covered, fragments)
            passes = re.search(r"^Timedemo: counting run, wall time a frame of each pass \(the rasteriser waited "
                               r"for after each; mean ms\): (.*)$", run.stdout, re.MULTILINE)
            assert passes, "no pass times"
            named = dict(re.fullmatch(r"(.+) " + NUMBER, part).groups() for part in passes.group(1).split(", "))
            assert list(named) == ["clear and visibility", "level tree", "glow", "hidden writing", "glass",
                                   "monster", "vignette", "icons and text"], named
            assert float(named["level tree"]) > 0 and all(float(v) >= 0 for v in named.values()), named
            counted[occlusion] = (fragments, samples, covered)
        assert counted["1"][0] < counted["0"][0], "occlusion culling rasterised no fewer fragments: %s" % counted
        assert counted["1"][2] < counted["0"][2], "occlusion culling covered no fewer pixels: %s" % counted
        assert abs(counted["1"][1] - counted["0"][1]) < 0.1 * counted["0"][1], counted

        # scripts/timedemo_pairs.sh, one run a side: each run's line carries
        # that run's numbers, and each side's mean is its own run's.
        settings = ["VESTREL_OCCLUSION=0", "VESTREL_OCCLUSION=1"]
        run = subprocess.run(["scripts/timedemo_pairs.sh", "1"] + settings + ["320", "240", demo], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=500)
        print(run.stdout)
        assert run.returncode == 0, "timedemo_pairs.sh exited with %d" % run.returncode
        assert "replay status" not in run.stdout, "a paired run did not replay the demo"
        for setting in settings:
            start_run, median_run, p99_run, cpu_run = find(
                r"^run 1  %s: start %s median %s p99 %s cpu %s \(load" % ((re.escape(setting),) + (NUMBER,) * 4),
                run.stdout)
            assert 0 < median_run <= p99_run and start_run > 0 and cpu_run > 0, run.stdout
            means = find(r"^mean of 1 runs  %s: median %s p99 %s cpu %s start %s ms$"
                         % ((re.escape(setting),) + (NUMBER,) * 4), run.stdout)
            assert all(abs(m - r) < 0.006 for m, r in zip(means, [median_run, p99_run, cpu_run, start_run])), \
                (setting, means)
    print("timedemo check: OK")
    return 0


if __name__ == "__main__":
    sys.exit(main())
