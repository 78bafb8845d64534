"""The release can be rebuilt by anyone: scripts/release.sh run in two clean
clones of the same commit, in two different folders, makes the same bytes
(the programs' time stamps, the installer's and the zip's dates, the zip's
order). The clones sit under build/ so the compiler cache serves both.

SKYVANE_JPEG_PREFIX names the libjpeg-turbo built for MinGW (default
build/deps/libjpeg-mingw); SKYVANE_JOBS the build's parallel jobs (default 1).
"""
import concurrent.futures
import hashlib
import io
import os
import pathlib
import re
import shutil
import subprocess
import zipfile

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
JPEG_PREFIX = os.environ.get("SKYVANE_JPEG_PREFIX", str(ROOT / "build" / "deps" / "libjpeg-mingw"))
CLONES = ROOT / "build" / "release-check"


def release_in_a_clean_clone(name, commit):
    clone = CLONES / name
    shutil.rmtree(clone, ignore_errors=True)
    subprocess.run(["git", "clone", "--quiet", "--no-checkout", str(ROOT), str(clone)], check=True)
    subprocess.run(["git", "-C", str(clone), "checkout", "--quiet", commit], check=True)
    env = dict(os.environ, SKYVANE_JPEG_PREFIX=JPEG_PREFIX, SKYVANE_JOBS=os.environ.get("SKYVANE_JOBS", "1"))
    env.pop("SOURCE_DATE_EPOCH", None)   # the script takes the commit's date itself
    result = subprocess.run(["bash", "scripts/release.sh"], cwd=clone, env=env, capture_output=True, text=True)
    assert result.returncode == 0, "release.sh in %s failed:\n%s%s" % (clone, result.stdout[-3000:], result.stderr[-3000:])
    return {path.name: path.read_bytes() for path in sorted((clone / "dist").iterdir())}


@pytest.fixture(scope="module")
def two_releases():
    commit = subprocess.run(["git", "-C", str(ROOT), "rev-parse", "HEAD"],
                            capture_output=True, text=True, check=True).stdout.strip()
    try:
        # The two builds side by side, one job each: they take one build's time.
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            builds = [pool.submit(release_in_a_clean_clone, name, commit) for name in ("one", "another")]
            yield tuple(build.result() for build in builds)
    finally:
        shutil.rmtree(CLONES, ignore_errors=True)


def test_two_clean_clones_release_the_same_bytes(two_releases):
    first, second = two_releases
    assert sorted(first) == sorted(second)
    differing = [name for name in first if first[name] != second[name]]
    assert not differing, "not the same bytes in two builds of one commit: %s" % differing


def test_the_release_is_named_with_the_version_and_summed(two_releases):
    release, _ = two_releases
    version = re.search(r"project\(skyvane VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)
    name = "skyvane-" + version
    assert sorted(release) == [name + "-setup.exe", name + ".sha256", name + ".zip"]
    sums = dict(reversed(line.split("  ")) for line in release[name + ".sha256"].decode().splitlines())
    for shipped in (name + "-setup.exe", name + ".zip"):
        assert sums[shipped] == hashlib.sha256(release[shipped]).hexdigest(), shipped
    archive = zipfile.ZipFile(io.BytesIO(release[name + ".zip"]))
    names = archive.namelist()
    assert {name + "/" + n for n in ("skyvane.scr", "screen.jpg", "background.jpg", "background2x.jpg", "help.txt",
                                     "credits.txt")} <= set(names)
    assert len([n for n in names if n.endswith(".sdd")]) == 40
    assert len([n for n in names if n.endswith("x2.sd2")]) == 40
    for text in ("help.txt", "credits.txt"):
        content = archive.read(name + "/" + text)
        assert b"\n" not in content.replace(b"\r\n", b""), "%s has bare line feeds" % text
