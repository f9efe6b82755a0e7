#!/usr/bin/env python3
"""Checks that includes run one way through the layers.

Every '#include "folder/..."' of the program's own code must name a folder its layer may use,
and Qt, PortAudio and libusb headers may be included only under platform/. Prints each
offending line and exits 1 when there is one.
"""
import os
import re
import sys

WINDOWS = ["acquisition", "plots", "plots/spectrum", "plots/spectrogram", "utilities", "siggen", "dialogs"]
BELOW_WINDOWS = ["app/settings", "wave", "dsp", "records", "numerics", "res", "platform/ui", "platform/core",
                 "platform/usb", "platform/sound"]

# folder -> the folders its files may include (its own is always allowed).
ALLOWED = {
    "platform/core": [],
    "platform/ui": ["platform/core"],
    "platform/usb": ["platform/core"],
    "platform/sound": ["platform/core"],
    "platform/entry": ["platform/ui", "platform/core"],
    "records": ["platform/core"],
    "numerics": ["platform/core"],
    "wave": ["records", "numerics", "platform/core"],
    "dsp": ["wave", "records", "numerics", "platform/core"],
    "app/settings": ["records", "platform/core"],
    "res": ["platform/ui", "platform/core"],
    **{w: WINDOWS + BELOW_WINDOWS for w in WINDOWS},
    "app": ["app/settings", "app/program"] + WINDOWS + BELOW_WINDOWS,
    "app/program": ["app"],
}

FOREIGN = re.compile(r'#\s*include\s*[<"](Q[A-Za-z]*(/|>|")|qt|portaudio|pa_|libusb)', re.I)
OWN = re.compile(r'#\s*include\s*"([^"]+)/[^/"]+"')


def folder_of(path):
    """The most specific folder of the table that holds `path`."""
    best = None
    for f in ALLOWED:
        if path.startswith(f + "/") and "/" not in path[len(f) + 1:]:
            return f
        if path.startswith(f + "/") and (best is None or len(f) > len(best)):
            best = f
    return best


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "."
    bad = []
    for top in ["platform", "records", "numerics", "wave", "dsp", "app", "res"] + WINDOWS:
        base = os.path.join(root, top)
        for dirpath, _, files in os.walk(base):
            rel_dir = os.path.relpath(dirpath, root)
            for name in files:
                if not name.endswith((".h", ".cpp", ".inc")):
                    continue
                rel = os.path.join(rel_dir, name)
                layer = folder_of(rel)
                if layer is None:
                    bad.append(f"{rel}: no layer for this folder")
                    continue
                with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                    for n, line in enumerate(f, 1):
                        if not rel.startswith("platform/") and FOREIGN.search(line):
                            bad.append(f"{rel}:{n}: Qt, PortAudio or libusb outside platform/: {line.strip()}")
                        m = OWN.search(line)
                        if not m:
                            continue
                        target = folder_of(m.group(1) + "/x")
                        if target is None:
                            continue  # a system or library header
                        if target != layer and target not in ALLOWED[layer]:
                            bad.append(f"{rel}:{n}: {layer} may not include {m.group(1)}/: {line.strip()}")
    for b in bad:
        print(b)
    if bad:
        print(f"{len(bad)} include(s) break the layers")
        return 1
    print("layers hold")
    return 0


if __name__ == "__main__":
    sys.exit(main())
