"""The release can be rebuilt by anyone: scripts/release.sh run in a clean
clone of the commit makes the same bytes as another build of that commit in
another folder (the programs' time stamps, the installer's and the zip's
dates, the zip's order).

The other build is the cross build of this checkout (build/cross, which
scripts/build.sh dates by the commit, as a release) when the checkout is the
commit itself; with changes, a second clean clone. A comparison that held is
recorded under build/release-proofs, by the commit's tree and date and the
toolchain (every installed package's version and the MinGW libjpeg-turbo):
while none of them changes, the record stands for the clean clone's build,
and the checkout's cross build is still compared with it. A checkout with
changes always builds its two clean clones.

SKYVANE_JPEG_PREFIX names the libjpeg-turbo built for MinGW (default
build/deps/libjpeg-mingw); SKYVANE_JOBS the build's parallel jobs (default 2).
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
PROOFS = ROOT / "build" / "release-proofs"
VERSION = re.search(r"project\(skyvane VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)
NAME = "skyvane-" + VERSION


def git(*args):
    return subprocess.run(["git", "-C", str(ROOT), *args], capture_output=True, text=True, check=True).stdout


def release_in_a_clean_clone(name, commit, jobs):
    clone = CLONES / name
    shutil.rmtree(clone, ignore_errors=True)
    subprocess.run(["git", "clone", "--quiet", "--no-checkout", str(ROOT), str(clone)], check=True)
    subprocess.run(["git", "-C", str(clone), "checkout", "--quiet", commit], check=True)
    env = dict(os.environ, SKYVANE_JPEG_PREFIX=JPEG_PREFIX, SKYVANE_JOBS=str(jobs))
    env.pop("SOURCE_DATE_EPOCH", None)   # the script takes the commit's date itself
    result = subprocess.run(["bash", "scripts/release.sh"], cwd=clone, env=env, capture_output=True, text=True)
    assert result.returncode == 0, "release.sh in %s failed:\n%s%s" % (clone, result.stdout[-3000:], result.stderr[-3000:])
    return {path.name: path.read_bytes() for path in sorted((clone / "dist").iterdir())}


def release_of_the_cross_build(commit):
    """What release.sh would make of build/cross, brought up to date first
    (unless SKYVANE_CROSS_BUILT says the caller has just built it)."""
    if not os.environ.get("SKYVANE_CROSS_BUILT"):
        env = dict(os.environ, SKYVANE_TARGETS="installer")
        result = subprocess.run(["bash", "scripts/build.sh", "cross"], cwd=ROOT, env=env, capture_output=True,
                                text=True)
        assert result.returncode == 0, "the cross build failed:\n%s%s" % (result.stdout[-3000:], result.stderr[-3000:])
    build = ROOT / "build" / "cross"
    dist = CLONES / "cross-build-dist"
    shutil.rmtree(dist, ignore_errors=True)
    dist.mkdir(parents=True)
    zip_env = dict(os.environ, SOURCE_DATE_EPOCH=git("log", "-1", "--format=%ct", commit).strip(),
                   PYTHONDONTWRITEBYTECODE="1")
    subprocess.run(["/usr/bin/python3", str(ROOT / "scripts" / "release_zip.py"), str(build / "installer-stage"),
                    str(dist / (NAME + ".zip")), NAME], env=zip_env, check=True)
    release = {NAME + "-setup.exe": (build / "skyvane-setup.exe").read_bytes(),
               NAME + ".zip": (dist / (NAME + ".zip")).read_bytes()}
    release[NAME + ".sha256"] = "".join("%s  %s\n" % (hashlib.sha256(release[name]).hexdigest(), name)
                                        for name in (NAME + "-setup.exe", NAME + ".zip")).encode()
    return release


def checkout_is_the_commit():
    """No change to a tracked file and no untracked one (a new drawing or source would be built too)."""
    return git("status", "--porcelain", "--untracked-files=normal").strip() == ""


def proof_key(commit):
    """The commit's tree and date and everything that builds it: the installed packages and libjpeg-turbo."""
    packages = subprocess.run(["dpkg-query", "-W", "-f", "${Package}:${Architecture} ${Version}\n"],
                              capture_output=True, check=True).stdout
    jpeg = pathlib.Path(JPEG_PREFIX, "lib", "libjpeg.a").read_bytes()
    tree = git("rev-parse", commit + "^{tree}").strip()
    date = git("log", "-1", "--format=%ct", commit).strip()   # every shipped file carries it
    return hashlib.sha256(b"\0".join([tree.encode(), date.encode(), packages, jpeg])).hexdigest()[:32]


def recorded(key):
    folder = PROOFS / key
    if not (folder / "compared").is_file():
        return None
    return {path.name: path.read_bytes() for path in sorted(folder.iterdir()) if path.name != "compared"}


def record(key, release, how):
    folder = PROOFS / key
    shutil.rmtree(PROOFS, ignore_errors=True)   # one record: the last proof made
    folder.mkdir(parents=True)
    for name, content in release.items():
        (folder / name).write_bytes(content)
    (folder / "compared").write_text(how + "\n")


@pytest.fixture(scope="module")
def two_releases():
    commit = git("rev-parse", "HEAD").strip()
    key = proof_key(commit)
    proven = recorded(key)
    if proven is not None and checkout_is_the_commit():
        # The record holds for the commit; the checkout's own build must still match it.
        yield proven, release_of_the_cross_build(commit)
        return
    try:
        if checkout_is_the_commit():
            release = release_in_a_clean_clone("one", commit, os.environ.get("SKYVANE_JOBS", "2"))
            releases = (release, release_of_the_cross_build(commit))
            how = "a clean clone's release and the cross build of the checkout"
        else:
            # The two builds side by side, one job each: they take one build's time.
            with concurrent.futures.ThreadPoolExecutor(2) as pool:
                builds = [pool.submit(release_in_a_clean_clone, name, commit, os.environ.get("SKYVANE_JOBS", "1"))
                          for name in ("one", "another")]
                releases = tuple(build.result() for build in builds)
            how = "the releases of two clean clones"
        if releases[0] == releases[1]:
            record(key, releases[0], how)
        yield releases
    finally:
        shutil.rmtree(CLONES, ignore_errors=True)


def test_two_builds_of_one_commit_release_the_same_bytes(two_releases):
    first, second = two_releases
    assert sorted(first) == sorted(second)
    differing = [name for name in first if first[name] != second[name]]
    assert not differing, "not the same bytes in two builds of one commit: %s" % differing


def test_the_release_is_named_with_the_version_and_summed(two_releases):
    release, _ = two_releases
    assert sorted(release) == [NAME + "-setup.exe", NAME + ".sha256", NAME + ".zip"]
    sums = dict(reversed(line.split("  ")) for line in release[NAME + ".sha256"].decode().splitlines())
    for shipped in (NAME + "-setup.exe", NAME + ".zip"):
        assert sums[shipped] == hashlib.sha256(release[shipped]).hexdigest(), shipped
    archive = zipfile.ZipFile(io.BytesIO(release[NAME + ".zip"]))
    names = archive.namelist()
    assert {NAME + "/" + n for n in ("skyvane.scr", "screen.jpg", "background.jpg", "background2x.jpg", "help.txt",
                                     "credits.txt")} <= set(names)
    assert len([n for n in names if n.endswith(".sdd")]) == 40
    assert len([n for n in names if n.endswith("x2.sd2")]) == 40
    for text in ("help.txt", "credits.txt"):
        content = archive.read(NAME + "/" + text)
        assert b"\n" not in content.replace(b"\r\n", b""), "%s has bare line feeds" % text
