"""Demos end to end: a walk recorded by the autopilot in the real game replays
step for step in the real binary (same positions, same console lines, same
file when recorded again), two replays agree, screenshots land where asked,
and damaged, truncated or foreign demo files are refused with exit 1."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

import time

from vestrel_driver import BUILD_DIR, SOURCE_DIR, GameSession, Runner, Xvfb, keep_for_looking, lit_fraction, sanitizer_env

BINARY = os.path.abspath(sys.argv[1])
AUTOPILOT = os.path.join(BUILD_DIR, "demo_autopilot")
WORK = tempfile.mkdtemp(prefix="vestrel_demo_e2e_")
WALK = os.path.join(WORK, "walk.dem")
TRACE = re.compile(r"^Step \d+: player .*$", re.M)
runs = {}


def run(binary, env_extra, args=(), display=True, timeout=300):
    xvfb = Xvfb() if display else None
    try:
        env = sanitizer_env(xvfb.env() if xvfb else dict(os.environ), binary)
        if not display:
            env.pop("DISPLAY", None)
        env.update(env_extra)
        result = subprocess.run([binary] + list(args), cwd=SOURCE_DIR, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=timeout)
        return result.returncode, result.stdout
    finally:
        if xvfb:
            xvfb.stop()


def game_lines(out):
    """The console of the play itself: after the demo lines, up to the teardown."""
    lines = out.splitlines()
    start = max(i for i, l in enumerate(lines) if l.startswith(("Replaying demo ", "Recording demo to ")))
    return lines[start + 1:lines.index("window closed")]


def clean(out):
    assert "AddressSanitizer" not in out and "runtime error" not in out and "LeakSanitizer" not in out, out


def fnv1a(data, value=14695981039346656037):
    for byte in data:
        value = ((value ^ byte) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return value


def with_end(body, end_fields):
    """A demo body with an end line whose checksum fits the body."""
    return body + "end %s check %016x\n" % (end_fields, fnv1a(body.encode()))


def walk_recorded_by_the_autopilot():
    code, out = run(AUTOPILOT, {"VESTREL_TRACE": "50"}, ["walk", WALK, "2"])
    assert code == 0, (code, out)
    clean(out)
    summary = [l for l in out.splitlines() if l.startswith("Autopilot run: ")]
    assert summary and "502 steps, 251 frames" in summary[0] and summary[0].endswith("recorded to " + WALK), out
    assert "Display FPS: ON" in out, out
    runs["recorded"] = out
    with open(WALK) as demo:
        lines = demo.read().splitlines()
    assert lines[0] == "vestrel-demo 1" and lines[1] == "window 800 600 60 0.3", lines[:2]
    assert lines[-1].startswith("end neither steps 502 frames 251 "), lines[-1]
    # The walk held the pad for a while: its readings are in the file.
    assert any(l.startswith("pad ") for l in lines), "no pad readings recorded"


def replay_repeats_the_walk_step_for_step():
    again = os.path.join(WORK, "again.dem")
    screens = os.path.join(WORK, "demo_replay")
    code, out = run(BINARY, {"VESTREL_REPLAY": WALK, "VESTREL_RECORD": again, "VESTREL_TRACE": "50",
                             "VESTREL_SCREENSHOT_DIR": screens, "VESTREL_SCREENSHOT_STEPS": "60,300"}, ["1024", "768"])
    assert code == 0, (code, out)
    clean(out)
    runs["replayed"] = out
    lines = out.splitlines()
    # The recorded window wins over the command line.
    assert lines[0] == "Starting with options: width 800, height 600 fullscreen: 0, 60Hz, Ambient: 0.3", lines[0]
    assert "Replaying demo " + WALK in lines, out
    recorded_trace = TRACE.findall(runs["recorded"])
    assert len(recorded_trace) == 10 and TRACE.findall(out) == recorded_trace, (recorded_trace, TRACE.findall(out))
    # The same console lines in the same order: the F2 report among the traces.
    assert game_lines(out) == game_lines(runs["recorded"]), (game_lines(out), game_lines(runs["recorded"]))
    assert "Display FPS: ON" in game_lines(out), out
    summary = lines[-1]
    assert summary.startswith("Demo replayed: 502 steps, 251 frames, 0 items picked up, 0 switches used, "
                              "outcome neither (recorded: neither), hash "), summary
    assert "(same as recorded)" in summary, summary
    # Recorded again while replayed: the same input, byte for byte.
    with open(WALK, "rb") as a, open(again, "rb") as b:
        assert a.read() == b.read(), "the replay received other input than the recording"

    pictures = {}
    for step in (60, 300):
        path = os.path.join(screens, "step_%06d.png" % step)
        assert os.path.exists(path), os.listdir(screens) if os.path.isdir(screens) else screens
        pictures[step] = Image.open(path).convert("RGB")
        keep_for_looking(path, "demo_replay_step_%06d.png" % step)
        assert pictures[step].size == (800, 600), pictures[step].size
        assert lit_fraction(pictures[step]) > 0.3, (step, lit_fraction(pictures[step]))
    assert sorted(os.listdir(screens)) == ["step_000060.png", "step_000300.png"], os.listdir(screens)
    # By step 300 the player has walked and turned: another view.
    small = [pictures[s].resize((80, 60)) for s in (60, 300)]
    moved = sum(1 for p, q in zip(small[0].getdata(), small[1].getdata()) if max(abs(x - y) for x, y in zip(p, q)) > 24)
    assert moved > 0.2 * 80 * 60, moved


def a_second_replay_agrees_and_a_changed_outcome_fails():
    # The same input with another recorded outcome: the play is the same
    # step for step, and the verdict is exit 1.
    with open(WALK) as demo:
        text = demo.read()
    body = text[:text.rindex("end ")]
    fields = text[text.rindex("end ") + 4:].split(" check ")[0].replace("neither", "won", 1)
    claimed = os.path.join(WORK, "claims_a_win.dem")
    with open(claimed, "w") as demo:
        demo.write(with_end(body, fields))
    code, out = run(BINARY, {"VESTREL_REPLAY": claimed, "VESTREL_TRACE": "50"})
    assert code == 1, (code, out)
    clean(out)
    assert TRACE.findall(out) == TRACE.findall(runs["replayed"]), "two replays of one demo went different ways"
    summary = out.splitlines()[-1]
    assert "outcome neither (recorded: won)" in summary and "(same as recorded)" in summary, summary


def damaged_truncated_and_foreign_demos_are_refused():
    with open(WALK) as demo:
        text = demo.read()
    cases = {
        "truncated.dem": (text[:text.index("\n", len(text) // 2) + 1], "the file ends before its end line (truncated)"),
        "cut_mid_line.dem": (text[:text.index("\n", len(text) // 2) - 2], ""),
        "damaged.dem": (text.replace("key 30 291 0 1 0", "key 30 292 0 1 0", 1), "checksum mismatch: the file is damaged"),
        "version.dem": (text.replace("vestrel-demo 1", "vestrel-demo 7", 1),
                        "line 1: demo version 7 is not supported (this build reads version 1)"),
        "picture.dem": (None, "line 1: not a Vestrel demo"),
        "empty.dem": ("", "the file is empty"),
    }
    assert "key 30 291 0 1 0" in text, "the walk pressed F2 at step 30"
    for name, (content, reason) in cases.items():
        path = os.path.join(WORK, name)
        if content is None:
            shutil.copy(os.path.join(SOURCE_DIR, "docs", "screenshot.jpg"), path)
        else:
            with open(path, "w") as demo:
                demo.write(content)
        # Refused before any window opens: no display is needed.
        code, out = run(BINARY, {"VESTREL_REPLAY": path}, display=False, timeout=60)
        assert code == 1, (name, code, out)
        lines = out.splitlines()
        assert lines[0].startswith("Can't replay demo: " + path + ": ") and lines[0].endswith(reason), (name, lines)
        assert not any(l.startswith("Starting with options") for l in lines), (name, out)
    code, out = run(BINARY, {"VESTREL_REPLAY": os.path.join(WORK, "missing.dem")}, display=False, timeout=60)
    assert code == 1 and out.splitlines() == ["Can't replay demo: cannot open " + os.path.join(WORK, "missing.dem")], out


def live_play_recorded_replays_the_same():
    """A person's play through the window system (X key and pointer events)
    is recorded, and its replay walks the same path."""
    live = os.path.join(WORK, "live.dem")
    os.environ.update({"VESTREL_RECORD": live, "VESTREL_TRACE": "30"})
    try:
        game = GameSession(BINARY, ["640", "480", "0", "60", "0.3"])
    finally:
        for name in ("VESTREL_RECORD", "VESTREL_TRACE"):
            del os.environ[name]
    try:
        game.wait_for_window()
        time.sleep(2.0)
        game.key("w", hold=0.8)
        game.focus()
        game.xdotool("mousemove", "--window", game.window, 420, 200)
        time.sleep(0.5)
        game.key("F7")
        game.key("d", hold=0.5)
        game.key("Escape")
        assert game.wait_exit() == 0, game.output()
        recorded = game.output()
    finally:
        game.stop()
    clean(recorded)
    with open(live) as demo:
        text = demo.read()
    assert "key " in text and text.splitlines()[1] == "window 640 480 60 0.3", text[:300]
    code, out = run(BINARY, {"VESTREL_REPLAY": live, "VESTREL_TRACE": "30"})
    assert code == 0, (code, out)
    clean(out)
    assert "Fog is OFF" in game_lines(out), out
    assert game_lines(out) == game_lines(recorded), (game_lines(out), game_lines(recorded))
    traces = TRACE.findall(out)
    players = [line.split("player ")[1].split(",")[0] for line in traces]
    assert len(traces) > 5 and players[0] != players[-1], traces  # the player walked
    assert "(same as recorded)" in out.splitlines()[-1], out.splitlines()[-1]


def bundled_demos_reach_their_recorded_outcome():
    """Every demo in demos/ replays to the outcome it recorded; the win plays
    the whole puzzle (five items, four interactions)."""
    folder = os.path.join(SOURCE_DIR, "demos")
    names = sorted(n for n in os.listdir(folder) if n.endswith(".dem"))
    assert "walk.dem" in names, names
    for name in names:
        path = os.path.join(folder, name)
        code, out = run(BINARY, {"VESTREL_REPLAY": path}, timeout=1800)
        assert code == 0, (name, code, out[-3000:])
        clean(out)
        summary = out.splitlines()[-1]
        assert summary.startswith("Demo replayed: "), (name, summary)
        outcome = re.search(r"outcome (\w+) \(recorded: (\w+)\)", summary)
        assert outcome and outcome.group(1) == outcome.group(2), (name, summary)
        if name == "win.dem":
            assert outcome.group(1) == "won", summary
            assert out.count("Picked up item: ") == 5 and out.count("Interacting with: ") == 4, out[-3000:]
        if name == "caught.dem":
            assert outcome.group(1) == "caught", summary
        print("  %s: %s" % (name, summary))


if __name__ == "__main__":
    runner = Runner()
    runner.run("the autopilot records a walk in the real game", walk_recorded_by_the_autopilot)
    runner.run("the replay repeats the walk step for step, with screenshots", replay_repeats_the_walk_step_for_step)
    runner.run("a second replay agrees; a changed outcome exits 1", a_second_replay_agrees_and_a_changed_outcome_fails)
    runner.run("damaged, truncated and foreign demos are refused", damaged_truncated_and_foreign_demos_are_refused)
    runner.run("live play recorded through the window system replays the same", live_play_recorded_replays_the_same)
    runner.run("the bundled demos reach their recorded outcome", bundled_demos_reach_their_recorded_outcome)
    status = runner.finish()
    shutil.rmtree(WORK, ignore_errors=True)
    sys.exit(status)
