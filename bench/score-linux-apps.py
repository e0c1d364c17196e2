#!/usr/bin/env python3
"""Scores the leftover search of Linux applications on a home that holds
real applications installed together (tests/data/linux-apps.txt): runs
`mossbin --scan HOME/.local/share/applications/ID.desktop` for each and
counts the real leftovers found and the files of other applications (or of
no application) that it claims, ticked and unticked.

    bench/score-linux-apps.py BUILD_DIR [--data FILE] [--verbose]

The home is laid out in a temporary folder; HOME, the XDG folders and
dpkg's database point there, so nothing of the running user's is read."""

import argparse
import os
import subprocess
import sys
import tempfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent


def parse(path: Path):
    """[(id or '*', entry lines, [(relative path, text or None)])]"""
    apps = []
    for raw in path.read_text().splitlines():
        line = raw.rstrip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("[") and line.endswith("]"):
            apps.append((line[1:-1], [], []))
        elif line.startswith("~ "):
            spec = line[2:]
            text = None
            if " = " in spec:
                spec, text = spec.split(" = ", 1)
                text = text.replace("\\n", "\n")
            apps[-1][2].append((spec, text))
        else:
            apps[-1][1].append(line)
    return apps


def lay_out(root: Path, apps):
    home = root / "home"
    for app_id, keys, files in apps:
        if app_id != "*":
            entry = home / ".local/share/applications" / app_id
            entry.parent.mkdir(parents=True, exist_ok=True)
            text = "[Desktop Entry]\nType=Application\n" + "\n".join(keys) + "\n"
            entry.write_text(text.replace("@HOME@", str(home)))
        for relative, text in files:
            target = home / relative.rstrip("/")
            if relative.endswith("/"):
                target.mkdir(parents=True, exist_ok=True)
                (target / "data").write_text("x")
            else:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_text(text if text is not None else "x")
    for folder in ("usr/share", "dpkg"):
        (root / folder).mkdir(parents=True, exist_ok=True)
    return home


def environment(root: Path, home: Path):
    env = dict(os.environ)
    env.update(HOME=str(home), TMPDIR=str(root / "tmp"), XDG_CONFIG_HOME=str(home / ".config"),
               XDG_DATA_HOME=str(home / ".local/share"), XDG_CACHE_HOME=str(home / ".cache"),
               XDG_STATE_HOME=str(home / ".local/state"), XDG_DATA_DIRS=str(root / "usr/share"),
               DPKG_ADMINDIR=str(root / "dpkg"), FLATPAK_SYSTEM_DIR=str(root / "flatpak"))
    (root / "tmp").mkdir(exist_ok=True)
    return env


def scan(mossbin: Path, entry: Path, env):
    """[(path, ticked)] of the leftovers, the application's own item left out."""
    out = subprocess.run([str(mossbin), "--scan", str(entry)], env=env, capture_output=True,
                         text=True, check=True).stdout.splitlines()
    items = []
    for line in out[3:-1]:
        category_end = line.index("] ")
        rest = line[category_end + 2:]
        path = rest[:rest.rindex(" — ")]
        items.append((path, not line.endswith(" [не отмечен]"), line[1:category_end]))
    return items[1:]  # the first item is the application


def related(a: str, b: str) -> bool:
    """One is the other or holds it."""
    return a == b or a.startswith(b + "/") or b.startswith(a + "/")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", type=Path)
    parser.add_argument("--data", type=Path, default=SOURCE / "tests/data/linux-apps.txt")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    mossbin = args.build.resolve() / "mossbin"
    apps = parse(args.data)

    with tempfile.TemporaryDirectory() as folder:
        root = Path(folder).resolve()
        home = lay_out(root, apps)
        env = environment(root, home)
        owners = {}  # absolute path -> the applications it belongs to
        for app_id, _, files in apps:
            for relative, _ in files:
                owners.setdefault(str(home / relative.rstrip("/")), set()).add(app_id)
            if app_id != "*":
                owners.setdefault(str(home / ".local/share/applications" / app_id),
                                  set()).add(app_id)

        expected = found = 0
        claims = {"ticked": 0, "unticked": 0}
        noise = {"ticked": 0, "unticked": 0}
        own_ticked = own_unticked = 0
        misses, wrong, unticked = [], [], []
        for app_id, _, files in apps:
            if app_id == "*":
                continue
            items = scan(mossbin, home / ".local/share/applications" / app_id, env)
            mine = [str(home / relative.rstrip("/")) for relative, _ in files]
            for path in mine:
                expected += 1
                hit = [ticked for item, ticked, _ in items if related(item, path)]
                if hit:
                    found += 1
                    own_ticked += any(hit)
                    own_unticked += not any(hit)
                    if not any(hit):
                        unticked.append(f"{app_id}: {path[len(str(home)) + 1:]}")
                else:
                    misses.append(f"{app_id}: {path[len(str(home)) + 1:]}")
            for item, ticked, category in items:
                others = {owner for path, apps_of in owners.items() if app_id not in apps_of
                          and related(item, path) for owner in apps_of}
                if not others or any(related(item, path) for path in mine):
                    if not others and not any(related(item, path) for path in mine):
                        wrong.append(f"{app_id}: {item[len(str(home)) + 1:]} (no one's, "
                                     f"{'ticked' if ticked else 'unticked'})")
                    continue
                bucket = noise if others == {"*"} else claims
                bucket["ticked" if ticked else "unticked"] += 1
                wrong.append(f"{app_id}: {item[len(str(home)) + 1:]} ({', '.join(sorted(others))}, "
                             f"{'ticked' if ticked else 'unticked'})")

    count = sum(1 for app_id, _, _ in apps if app_id != "*")
    print(f"applications: {count}, leftovers: {expected}")
    print(f"found: {found} ({100 * found / expected:.1f} %), of which ticked {own_ticked}, "
          f"unticked {own_unticked}")
    print(f"another application's files claimed: ticked {claims['ticked']}, "
          f"unticked {claims['unticked']}")
    print(f"files of no application claimed: ticked {noise['ticked']}, unticked {noise['unticked']}")
    if args.verbose:
        print("\nnot found:")
        print("\n".join(f"  {line}" for line in misses))
        print("\nfound, not ticked:")
        print("\n".join(f"  {line}" for line in unticked))
        print("\nclaimed wrongly:")
        print("\n".join(f"  {line}" for line in wrong))


if __name__ == "__main__":
    sys.exit(main())
