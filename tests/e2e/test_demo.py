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

from vestrel_driver import BUILD_DIR, SOURCE_DIR, GameSession, Runner, Xvfb, keep_for_looking, drawn_fraction, sanitizer_env

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
    assert lines[0] == "vestrel-demo 2" and lines[1] == "window 800 600 60 0.1", lines[:2]
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
    assert lines[0] == "Starting with options: width 800, height 600 fullscreen: 0, 60Hz, Ambient: 0.1", lines[0]
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
        assert drawn_fraction(pictures[step]) > 0.5, (step, drawn_fraction(pictures[step]))
    assert sorted(os.listdir(screens)) == ["step_000060.png", "step_000300.png"], os.listdir(screens)
    # By step 300 the player has walked and turned: another view. The house
    # is dark, so a change of 12 levels is a change of view.
    small = [pictures[s].resize((80, 60)) for s in (60, 300)]
    moved = sum(1 for p, q in zip(small[0].getdata(), small[1].getdata()) if max(abs(x - y) for x, y in zip(p, q)) > 12)
    assert moved > 0.2 * 80 * 60, moved


def a_second_replay_agrees_and_a_changed_total_fails():
    # The same input with another recorded outcome, hash, item or switch
    # count: the play is the same step for step, and the verdict is exit 1.
    with open(WALK) as demo:
        text = demo.read()
    body = text[:text.rindex("end ")]
    fields = text[text.rindex("end ") + 4:].split(" check ")[0]
    recorded_hash = fields.split(" hash ")[1]
    tampered_hash = "%016x" % (int(recorded_hash, 16) ^ 1)
    cases = {
        "outcome": (fields.replace("neither", "won", 1), "outcome neither (recorded: won)"),
        "hash": (fields.replace(recorded_hash, tampered_hash), "(recorded: %s)" % tampered_hash),
        "items": (fields.replace("items 0", "items 2"), "2 items and 0 switches recorded"),
        "switches": (fields.replace("switches 0", "switches 1"), "0 items and 1 switches recorded"),
    }
    for what, (claimed_fields, shown) in cases.items():
        claimed = os.path.join(WORK, "claims_%s.dem" % what)
        with open(claimed, "w") as demo:
            demo.write(with_end(body, claimed_fields))
        code, out = run(BINARY, {"VESTREL_REPLAY": claimed, "VESTREL_TRACE": "50"})
        assert code == 1, (what, code, out[-2000:])
        clean(out)
        assert TRACE.findall(out) == TRACE.findall(runs["replayed"]), "two replays of one demo went different ways"
        summary = out.splitlines()[-1]
        assert shown in summary, (what, summary)
        assert ("(same as recorded)" in summary) == (what != "hash"), (what, summary)


def damaged_truncated_and_foreign_demos_are_refused():
    with open(WALK) as demo:
        text = demo.read()
    cases = {
        "truncated.dem": (text[:text.index("\n", len(text) // 2) + 1], "the file ends before its end line (truncated)"),
        "cut_mid_line.dem": (text[:text.index("\n", len(text) // 2) - 2],
                             "the file ends in the middle of a line (truncated)"),
        "damaged.dem": (text.replace("key 30 291 0 1 0", "key 30 292 0 1 0", 1), "checksum mismatch: the file is damaged"),
        "version.dem": (text.replace("vestrel-demo 2", "vestrel-demo 7", 1),
                        "line 1: demo version 7 is not supported (this build reads versions 1 to 2)"),
        "picture.dem": (None, "line 1: not a Vestrel demo"),
        "empty.dem": ("", "the file is empty"),
        # Junk reaches the console escaped, never as raw control bytes.
        "junk.dem": ("vestrel-demo 2\nwindow 800 600 60 0.1\n\x1b[2J\x07junk 0\n",
                     'line 3: unknown record "\\x1b[2J\\x07junk"'),
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
    # The whole file's faults: the path and the reason, no line number. An
    # endless source is refused after one line's worth (it used to be read
    # until memory ran out).
    missing = os.path.join(WORK, "missing.dem")
    for path, line in ((missing, missing + ": can't open the file (No such file or directory)"),
                       (WORK, WORK + ": a folder, not a demo file"),
                       ("/dev/zero", "/dev/zero: line 1: not a Vestrel demo")):
        code, out = run(BINARY, {"VESTREL_REPLAY": path}, display=False, timeout=60)
        assert code == 1 and out.splitlines() == ["Can't replay demo: " + line], (path, code, out)


def options_no_replay_accepts_are_refused_before_recording():
    """What is recorded must replay: a recording with options the replay
    refuses stops before any window or file, as does a screenshot folder
    that takes no file."""
    usage = "Usage: programm.exe WIDTH HEIGHT FULLSCREEN_FLAG REFRESH_RATE AMBIENT"
    out_file = os.path.join(WORK, "refused.dem")
    cases = (
        (["800", "600", "0", "2000"], "refresh rate 2000 is outside 1 to 1000"),
        (["800", "600", "0", "60", "-1"], "ambient -1 is outside 0 to 100"),
        (["800", "600", "0", "60", "1e9"], "ambient 1e+09 is outside 0 to 100"),
        (["20000", "600"], None),
    )
    for args, reason in cases:
        code, out = run(BINARY, {"VESTREL_RECORD": out_file}, args, display=False, timeout=60)
        expected = usage if reason is None else \
            "Can't record demo: %s: %s, which no replay accepts" % (out_file, reason)
        assert code == 1 and out.splitlines() == [expected], (args, code, out)
        assert not os.path.exists(out_file), args
    # sysfs takes no new file, not even from root.
    code, out = run(BINARY, {"VESTREL_REPLAY": WALK, "VESTREL_SCREENSHOT_DIR": "/sys"}, display=False, timeout=60)
    assert code == 1, (code, out)
    assert out.splitlines()[0].startswith("Can't write to the screenshot folder /sys ("), out


def live_play_recorded_replays_the_same():
    """A person's play through the window system (X key and pointer events)
    is recorded, and its replay walks the same path."""
    live = os.path.join(WORK, "live.dem")

    def play(game):
        game.key("w", hold=0.8)
        game.focus()
        game.xdotool("mousemove", "--window", game.window, 420, 200)
        time.sleep(0.5)
        game.key("F7")
        game.key("d", hold=0.5)

    recorded = record_live(live, ["640", "480", "0", "60", "0.3"], play)
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


def record_live(path, args, actions):
    """Records a live game driven by `actions(game)` with real X input, ended
    by Escape; returns the game's console."""
    os.environ.update({"VESTREL_RECORD": path, "VESTREL_TRACE": "30"})
    try:
        game = GameSession(BINARY, args)
    finally:
        for name in ("VESTREL_RECORD", "VESTREL_TRACE"):
            del os.environ[name]
    try:
        game.wait_for_window()
        time.sleep(2.0)  # landed
        actions(game)
        game.key("Escape")
        assert game.wait_exit() == 0, game.output()
        recorded = game.output()
    finally:
        game.stop()
    clean(recorded)
    return recorded


def replays_to_the_recorded_hash(path, recorded):
    code, out = run(BINARY, {"VESTREL_REPLAY": path, "VESTREL_TRACE": "30"})
    assert code == 0, (code, out[-3000:])
    clean(out)
    assert TRACE.findall(out) == TRACE.findall(recorded), (TRACE.findall(out), TRACE.findall(recorded))
    assert "(same as recorded)" in out.splitlines()[-1], out.splitlines()[-1]


def look_with_the_mouse(game, dx, dy):
    """Moves the pointer from the window's centre by (dx, dy): the game reads
    that as mouse look and puts the pointer back."""
    geometry = dict(l.split("=", 1) for l in game.xdotool("getwindowgeometry", "--shell", game.window).split())
    width, height = int(geometry["WIDTH"]), int(geometry["HEIGHT"])
    game.focus()
    game.xdotool("mousemove", "--window", game.window, width // 2 + dx, height // 2 + dy)
    time.sleep(0.4)


def turned_after(path, step):
    """Whether the recording turns the view (a cursor offset) after `step`."""
    with open(path) as demo:
        cursors = [l.split() for l in demo if l.startswith("cursor ")]
    return any(int(c[1]) > step and (c[2] != "0" or c[3] != "0") for c in cursors)


def window_resized_while_recording_replays_the_same():
    """The window changes size in the middle of a recorded game, and the
    player looks around after it: mouse look reads offsets from the new
    centre, and the replay (in a window of the first size) must read the
    same offsets."""
    path = os.path.join(WORK, "resized.dem")
    resized_at = []

    def play(game):
        game.key("w", hold=0.6)
        game.xdotool("windowsize", game.window, 1000, 700)
        deadline = time.time() + 60
        while game.screenshot("demo_resized").size != (1000, 700) and time.time() < deadline:
            time.sleep(0.3)
        assert game.screenshot("demo_resized").size == (1000, 700)
        resized_at.append(int(TRACE.findall(game.output())[-1].split()[1].rstrip(":")))
        look_with_the_mouse(game, 150, -40)
        game.key("w", hold=0.6)
        look_with_the_mouse(game, -90, 60)

    recorded = record_live(path, ["640", "480", "0", "60", "0.1"], play)
    assert turned_after(path, resized_at[0]), "no mouse look after the resize was recorded"
    replays_to_the_recorded_hash(path, recorded)


def full_screen_of_another_size_replays_the_same():
    """A 640 x 480 full screen on Xvfb's 1280 x 1024 screen gets the whole
    screen; its recording replays in a 640 x 480 window."""
    path = os.path.join(WORK, "full_screen.dem")

    def play(game):
        game.key("w", hold=0.6)
        look_with_the_mouse(game, 200, 30)
        game.key("w", hold=0.4)

    recorded = record_live(path, ["640", "480", "1", "60", "0.1"], play)
    assert "Window is 1280 x 1024 pixels (asked for 640 x 480)" in recorded, recorded[-2000:]
    assert turned_after(path, 0), "no mouse look was recorded"
    replays_to_the_recorded_hash(path, recorded)


def bundled_demos_hand_over_where_their_quit_was():
    """VESTREL_REPLAY_THEN_PLAY with the bundled demos as they are: the quit
    that ended each recording is not played; live X input takes over there.
    The walk ends in the living room, where a live Escape quits; the win ends
    at the sink on the win screen, which ignores Escape, where a live click
    on Exit quits."""
    folder = os.path.join(SOURCE_DIR, "demos")
    for name, quit_step in (("walk.dem", 500), ("win.dem", None)):
        os.environ.update({"VESTREL_REPLAY": os.path.join(folder, name), "VESTREL_REPLAY_THEN_PLAY": "1",
                           "VESTREL_TRACE": "1"})
        try:
            game = GameSession(BINARY)
        finally:
            for variable in ("VESTREL_REPLAY", "VESTREL_REPLAY_THEN_PLAY", "VESTREL_TRACE"):
                del os.environ[variable]
        try:
            game.wait_for_window()
            deadline = time.time() + 900
            while "live input takes over" not in game.output() and time.time() < deadline:
                assert game.proc.poll() is None, (name, game.output()[-3000:])
                time.sleep(0.5)
            out = game.output()
            handed = re.search(r"^Demo ended at step (\d+): live input takes over$", out, re.M)
            assert handed, (name, out[-3000:])
            step = int(handed.group(1))
            if quit_step is not None:
                assert step == quit_step, (name, step)
            time.sleep(1.0)
            assert game.proc.poll() is None, (name, "the recorded quit ended the run", game.output()[-2000:])
            if name == "win.dem":
                assert out.count("Picked up item: ") == 5 and out.count("Interacting with: ") == 4, out[-3000:]
                # Where the player stood when the sink won the game.
                at_win = [l for l in TRACE.findall(out) if int(l.split()[1].rstrip(":")) <= step][-1]
                game.key("Escape")
                time.sleep(1.0)
                assert game.proc.poll() is None, "Escape ended the game on the win screen"
                shot = game.screenshot("handover_win")
                game.click(shot.size[0] // 3, shot.size[1] - shot.size[1] // 4)  # Exit
            else:
                game.key("Escape")
            assert game.wait_exit(timeout=120) == 0, (name, game.output()[-3000:])
            out = game.output()
            clean(out)
            summary = out.splitlines()[-1]
            assert summary.startswith("Demo replayed, then played live from step %d: " % step), (name, summary)
            if name == "win.dem":
                assert "outcome won" in summary, summary
                player = at_win.split("player ")[1].split(",")[0]
                assert TRACE.findall(out)[-1].split("player ")[1].split(",")[0] == player, \
                    (name, "the player moved on the win screen", at_win)
            print("  %s: handed over at step %d; %s" % (name, step, summary))
        finally:
            game.stop()


def bundled_demos_reach_their_recorded_outcome():
    """Every demo in demos/ replays to the outcome and the hash it recorded;
    the win plays the whole puzzle (five items, four interactions)."""
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
        assert "(same as recorded)" in summary, (name, summary)
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
    runner.run("a second replay agrees; a changed total exits 1", a_second_replay_agrees_and_a_changed_total_fails)
    runner.run("damaged, truncated and foreign demos are refused", damaged_truncated_and_foreign_demos_are_refused)
    runner.run("options no replay accepts are refused before recording",
               options_no_replay_accepts_are_refused_before_recording)
    runner.run("live play recorded through the window system replays the same", live_play_recorded_replays_the_same)
    runner.run("a window resized while recording replays the same", window_resized_while_recording_replays_the_same)
    runner.run("a full screen of another size replays the same", full_screen_of_another_size_replays_the_same)
    runner.run("the bundled demos hand over where their quit was", bundled_demos_hand_over_where_their_quit_was)
    runner.run("the bundled demos reach their recorded outcome", bundled_demos_reach_their_recorded_outcome)
    status = runner.finish()
    shutil.rmtree(WORK, ignore_errors=True)
    sys.exit(status)
