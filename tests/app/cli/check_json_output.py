#!/usr/bin/env python3
"""Checks sonfeld's --json output against the schema in docs/json-output.md.

    check_json_output.py list FILE   the one object of --list --json
    check_json_output.py rip FILE    the JSON lines of --rip --json; the CRC32
                                     of each ripped WAV file is computed again
                                     from its audio

Prints what is wrong and exits 1, or exits 0.
"""
import json
import struct
import sys
import zlib

problems = []

NUMBER = (int, float)
OPTIONAL_TEXT = (str, type(None))
HEX = "hex"


def check(where, obj, fields):
    if not isinstance(obj, dict):
        problems.append(f"{where}: not an object: {obj!r}")
        return
    for name, kind in fields.items():
        if name not in obj:
            problems.append(f"{where}: no \"{name}\"")
            continue
        value = obj[name]
        if kind == HEX:
            ok = isinstance(value, str) and len(value) == 8 and all(
                c in "0123456789ABCDEF" for c in value)
        elif kind is bool:
            ok = isinstance(value, bool)
        elif kind in (int, NUMBER):
            ok = isinstance(value, kind) and not isinstance(value, bool)
        elif isinstance(kind, tuple) and type(None) in kind and NUMBER[0] in kind:
            ok = value is None or (isinstance(value, NUMBER) and not isinstance(value, bool))
        else:
            ok = isinstance(value, kind)
        if not ok:
            problems.append(f"{where}: \"{name}\" is {value!r}")


def wav_crc32(path):
    with open(path, "rb") as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        kind, size = struct.unpack_from("<4sI", data, at)
        if kind == b"data":
            return zlib.crc32(data[at + 8:at + 8 + size]) & 0xFFFFFFFF
        at += 8 + size + (size & 1)
    return None


def check_list(text):
    document = json.loads(text)
    check("list", document, {"drives": list, "discs": list})
    for drive in document.get("drives", []):
        check("drive", drive, {"drive": int, "name": str})
    for disc in document.get("discs", []):
        check("disc", disc, {"drive": int, "tracks": list, "ids": (dict, type(None)),
                             "names": (dict, type(None))})
        for track in disc.get("tracks", []):
            check("track", track, {"track": int, "label": str, "name": str, "time": str,
                                   "frames": int, "seconds": NUMBER, "data": bool,
                                   "title": OPTIONAL_TEXT, "artist": OPTIONAL_TEXT,
                                   "start_sector": int, "pregap_sectors": int,
                                   "isrc": OPTIONAL_TEXT, "cd_text_title": OPTIONAL_TEXT})
        if disc.get("ids") is not None:
            check("ids", disc["ids"], {"accuraterip": str, "musicbrainz": str, "freedb": str})
        if disc.get("names") is not None:
            names = disc["names"]
            check("names", names, {"source": OPTIONAL_TEXT, "album": OPTIONAL_TEXT,
                                   "album_artist": OPTIONAL_TEXT, "releases": list})
            for release in names.get("releases", []):
                check("release", release, {"number": int, "chosen": bool,
                                           "title": OPTIONAL_TEXT, "track_count": int})


def check_rip(text):
    started = set()
    done = set()
    events = []
    for number, line in enumerate(text.splitlines(), 1):
        try:
            event = json.loads(line)
        except ValueError as error:
            problems.append(f"line {number} is not JSON ({error}): {line!r}")
            continue
        events.append(event)
        kind = event.get("event") if isinstance(event, dict) else None
        where = f"line {number} ({kind})"
        if kind == "track-started":
            check(where, event, {"track": int, "label": str, "name": str,
                                 "target": OPTIONAL_TEXT, "seconds": NUMBER})
            started.add(event.get("track"))
        elif kind == "progress":
            check(where, event, {"track": int, "status": str, "percent": int,
                                 "overall_percent": NUMBER,
                                 "speed": (int, float, type(None)),
                                 "seconds_left": (int, float, type(None))})
            if event.get("track") not in started or event.get("track") in done:
                problems.append(f"{where}: progress outside the track's run")
        elif kind == "track-done":
            check(where, event, {"track": int, "label": str, "status": str,
                                 "status_text": str})
            if event.get("track") not in started or event.get("track") in done:
                problems.append(f"{where}: done before started, or twice")
            done.add(event.get("track"))
            verdict = event.get("verdict")
            if verdict is not None:
                check(where + " verdict", verdict, {"text": str})
            sums = event.get("checksums")
            if sums is not None:
                check(where + " checksums", sums, {"crc32": HEX, "crc32_without_nulls": HEX,
                                                   "accuraterip_v1": HEX,
                                                   "accuraterip_v2": HEX})
            if event.get("status") == "ripped":
                if sums is None:
                    problems.append(f"{where}: a ripped track without checksums")
                target = event.get("target", "")
                if target.endswith(".wav") and sums is not None:
                    crc = wav_crc32(target)
                    if crc is None or f"{crc:08X}" != sums.get("crc32"):
                        problems.append(f"{where}: the file's CRC32 is {crc}, not "
                                        f"{sums.get('crc32')}")
        elif kind == "rip-done":
            check(where, event, {"requested": int, "ripped": int, "accurate": int,
                                 "mismatched": int, "failed": int, "stopped": int,
                                 "folder": str, "exit_code": int})
            if number != len(text.splitlines()):
                problems.append(f"{where}: not the last line")
            ripped = sum(1 for e in events if e.get("event") == "track-done"
                         and e.get("status") == "ripped")
            if event.get("ripped") != ripped:
                problems.append(f"{where}: ripped {event.get('ripped')}, done {ripped}")
        else:
            problems.append(f"line {number}: unknown event {kind!r}")
    if not events or events[-1].get("event") != "rip-done":
        problems.append("no rip-done at the end")


def main():
    mode, path = sys.argv[1], sys.argv[2]
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if mode == "list":
        check_list(text)
    else:
        check_rip(text)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
