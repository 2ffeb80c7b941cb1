"""The game installed: `cmake --install` into a folder of its own and the
Debian package from `cpack -G DEB`, each started from another directory and
replaying a bundled demo to its recorded hash; VESTREL_DATA_DIR takes the
game to another data folder.

The package is unpacked with dpkg-deb, not installed: installing it with apt
needs a clean Debian system (a container or chroot), which the test machine
does not offer.
"""

import configparser
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

from vestrel_driver import SOURCE_DIR, Runner, Xvfb, sanitizer_env

BINARY = os.path.abspath(sys.argv[1])
BUILD_DIR = os.path.dirname(BINARY)
WORK = tempfile.mkdtemp(prefix="vestrel_install_e2e_")
ELSEWHERE = os.path.join(WORK, "elsewhere")
# The Debian packages of the libraries the game links (their names carry the ABI).
LIBRARIES = ("libglfw3", "libglew2.2", "libassimp5", "libdevil1c2", "libbullet3.24", "libopenal1", "libsndfile1",
             "libgl1", "libstdc++6", "libc6")


def replay(binary, demo, env_extra=None):
    """Runs `binary` from ELSEWHERE (no game data there) replaying `demo`."""
    os.makedirs(ELSEWHERE, exist_ok=True)
    xvfb = Xvfb()
    try:
        env = sanitizer_env(xvfb.env(), binary)
        env["VESTREL_REPLAY"] = os.path.join(SOURCE_DIR, "demos", demo)
        env.pop("VESTREL_DATA_DIR", None)
        env.update(env_extra or {})
        return subprocess.run([binary], cwd=ELSEWHERE, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True, timeout=900)
    finally:
        xvfb.stop()


def replays_to_its_hash(result):
    out = result.stdout + result.stderr
    assert result.returncode == 0, (result.returncode, out[-3000:])
    summary = [line for line in out.splitlines() if line.startswith("Demo replayed: ")]
    assert summary and summary[-1].endswith("(same as recorded)"), out[-3000:]
    return summary[-1]


def installed_game_replays_the_win_demo_from_another_directory():
    prefix = os.path.join(WORK, "prefix")
    subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True, capture_output=True,
                   timeout=600)
    binary = os.path.join(prefix, "bin", "vestrel")
    data = os.path.join(prefix, "share", "vestrel")
    for relative in (os.path.join("Shader", "texLights.frag"), os.path.join("Assets", "house1.dae"),
                     os.path.join("Assets", "Audio", "engine.wav"), os.path.join("Assets", "Textures", "font.jpg")):
        assert os.path.isfile(os.path.join(data, relative)), relative
    entry = configparser.ConfigParser(interpolation=None)
    entry.read(os.path.join(prefix, "share", "applications", "vestrel.desktop"))
    desktop = entry["Desktop Entry"]
    assert (desktop["Type"], desktop["Exec"], desktop["Icon"]) == ("Application", "vestrel", "vestrel"), dict(desktop)
    icon = Image.open(os.path.join(prefix, "share", "icons", "hicolor", "256x256", "apps", "vestrel.png"))
    assert icon.size == (256, 256), icon.size
    # Nothing but the game: no test programs, tools or benchmarks.
    assert os.listdir(os.path.join(prefix, "bin")) == ["vestrel"], os.listdir(os.path.join(prefix, "bin"))

    print("  " + replays_to_its_hash(replay(binary, "win.dem")))

    # VESTREL_DATA_DIR names another data folder: one whose Shader folder
    # lacks a file stops the game naming it.
    broken = os.path.join(WORK, "broken-data")
    shutil.copytree(data, broken, symlinks=True)
    os.remove(os.path.join(broken, "Shader", "glass.frag"))
    result = replay(binary, "walk.dem", {"VESTREL_DATA_DIR": broken})
    assert result.returncode == 1, result.stdout[-2000:]
    assert "Failed to open shader file: Shader\\glass.frag" in result.stdout, result.stdout[-2000:]


def debian_package_depends_on_the_linked_libraries_and_plays():
    if shutil.which("dpkg-shlibdeps") is None:
        print("  skipped: dpkg-shlibdeps (dpkg-dev) is not installed")
        return
    packages = os.path.join(WORK, "packages")
    subprocess.run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"), "-B", packages],
                   check=True, capture_output=True, timeout=900)
    debs = [name for name in os.listdir(packages) if name.startswith("vestrel_") and name.endswith(".deb")]
    assert len(debs) == 1, os.listdir(packages)
    deb = os.path.join(packages, debs[0])
    fields = subprocess.run(["dpkg-deb", "-f", deb, "Package", "Section", "Depends"], check=True,
                            capture_output=True, text=True).stdout
    depends = fields.split("Depends:", 1)[1]
    names = {part.strip().split(" ")[0] for part in depends.split(",")}
    missing = [name for name in LIBRARIES if name not in names]
    assert not missing, (missing, depends)
    assert "Package: vestrel" in fields and "Section: games" in fields, fields
    print("  Depends:" + depends.rstrip())

    root = os.path.join(WORK, "unpacked")
    subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    binary = os.path.join(root, "usr", "bin", "vestrel")
    assert os.path.isfile(os.path.join(root, "usr", "share", "vestrel", "Shader", "skinning.vert"))
    assert os.path.isfile(os.path.join(root, "usr", "share", "applications", "vestrel.desktop"))
    print("  " + replays_to_its_hash(replay(binary, "walk.dem")))


if __name__ == "__main__":
    runner = Runner()
    runner.run("the installed game replays the win demo to its hash from another directory",
               installed_game_replays_the_win_demo_from_another_directory)
    runner.run("the Debian package depends on the libraries the game links, and its game plays",
               debian_package_depends_on_the_linked_libraries_and_plays)
    status = runner.finish()
    shutil.rmtree(WORK, ignore_errors=True)
    sys.exit(status)
