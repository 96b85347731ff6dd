"""Renews README's pictures of the demo from a finished run (scripts/run.sh --readme): the
window (screenshot.png) and the track picture (tracks.png) go to demo/pictures, and the
summary's totals beside them into README.md, between its two "demo totals" marks.

    /usr/bin/python3 demo/readme_pictures.py build/demo ."""
import json
import pathlib
import shutil
import sys

import tracks

START, END = "<!-- demo totals: written by scripts/run.sh --readme -->", "<!-- end of demo totals -->"


def totals_block(figures: dict) -> str:
    t = figures["totals"]
    flights = figures["flights"]
    by_kind = {}
    for f in flights:
        by_kind.setdefault(f["kind"], []).append(f)
    names = {"refused": ("flight of an unknown type", "flights of an unknown type")}
    kinds = ", ".join(f"{len(v)} " + names.get(k, (k, k + "s"))[len(v) > 1] for k, v in by_kind.items())
    statics = figures["statics"]
    stands = ", ".join(a["stand"] for a in statics["aircraft"])
    lines = [
        f"- {t['flights']} flights ({kinds}): {t['created']} created, {t['refused']} refused as scripted "
        f"(the summary says why), {t['not_reported'] + t['not_due']} not yet due at the close",
        f"- {t['phases_completed']} completed phases (touchdown, stand, push-back, lift-off, climb past "
        f"3,000 ft), " + ("all within the motion limits" if not t["over_limits"] else
                          f"over the limits: {'; '.join(t['over_limits'])}")
        + f"; {tracks.frames_text(t)}",
        f"- static aircraft: {t['statics_planned']} planned, {t['statics_created']} created, "
        f"{t['statics_standing']} standing at the close ({t['statics_at_their_stand']} within 2 m and 1 degree of "
        f"their stand: {stands}); {t['too_close']} pairs of aircraft within collision distance",
        f"- program exit code {t['exit_code']} after WM_CLOSE",
    ]
    return "\n".join(lines)


def main(run: pathlib.Path, source: pathlib.Path):
    figures = json.loads((run / "figures.json").read_text())
    pictures = source / "demo" / "pictures"
    pictures.mkdir(exist_ok=True)
    shutil.copy2(run / "screenshot.png", pictures / "window.png")
    shutil.copy2(run / "tracks.png", pictures / "tracks.png")
    readme = source / "README.md"
    text = readme.read_text(encoding="utf-8")
    if START not in text or END not in text:
        raise SystemExit(f"readme_pictures: README.md lacks the marks {START!r} and {END!r}")
    head, rest = text.split(START, 1)
    tail = rest.split(END, 1)[1]
    readme.write_text(f"{head}{START}\n{totals_block(figures)}\n{END}{tail}", encoding="utf-8")
    print(f"readme_pictures: {pictures / 'window.png'}, {pictures / 'tracks.png'} and the totals in {readme}")


if __name__ == "__main__":
    main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2]))
