#!/usr/bin/env python3
"""Checks that includes run one way through the layers.

Every '#include "folder/..."' of the program's own code must name a folder its layer may use,
and Qt, PortAudio and libusb headers may be included only under platform/. The public headers
of platform/ui name no Qt type; the layer's Qt side (platform/ui/qt) is included only by
platform/ and the tests' helper library (tests/support/QtTestAccess.*). Tests outside
tests/platform include no Qt header: they use the helper library. Prints each offending line
and exits 1 when there is one.
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
    "platform/ui": ["platform/ui/qt", "platform/core"],
    "platform/ui/qt": ["platform/ui", "platform/core"],
    "platform/usb": ["platform/core"],
    "platform/sound": ["platform/core"],
    "platform/entry": ["platform/ui", "platform/ui/qt", "platform/core"],
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

QT_SIDE = "platform/ui/qt"
HELPER = "tests/support/QtTestAccess"
# A Qt class named in code: a forward declaration or a use (comments are stripped first).
QT_NAME = re.compile(r'\bQ[A-Z][a-z]\w*|\bQt::')
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


def code_of(line):
    """The line without its // comment."""
    return line.split("//", 1)[0]


def check_platform_ui_headers(root, bad):
    """Public headers of platform/ui: no Qt header, no Qt type, no include of the Qt side."""
    base = os.path.join(root, "platform", "ui")
    for name in sorted(os.listdir(base)):
        if not name.endswith(".h"):
            continue
        rel = f"platform/ui/{name}"
        with open(os.path.join(base, name), encoding="utf-8", errors="replace") as f:
            for n, line in enumerate(f, 1):
                code = code_of(line)
                if FOREIGN.search(code) or QT_NAME.search(code):
                    bad.append(f"{rel}:{n}: Qt in a public header: {line.strip()}")
                if '"' + QT_SIDE + "/" in code:
                    bad.append(f"{rel}:{n}: a public header includes the Qt side: {line.strip()}")


def check_tests(root, bad):
    """Tests reach Qt through the helper library; only tests/platform includes Qt itself."""
    base = os.path.join(root, "tests")
    for dirpath, _, files in os.walk(base):
        rel_dir = os.path.relpath(dirpath, root)
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            rel = os.path.join(rel_dir, name)
            if rel.startswith(HELPER):
                continue
            in_platform = rel.startswith("tests/platform/")
            with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
                for n, line in enumerate(f, 1):
                    if '"' + QT_SIDE + "/" in line:
                        bad.append(f"{rel}:{n}: tests reach {QT_SIDE}/ through {HELPER}.h: {line.strip()}")
                    elif not in_platform and FOREIGN.search(line):
                        bad.append(f"{rel}:{n}: Qt outside tests/platform (use {HELPER}.h): {line.strip()}")


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
    check_platform_ui_headers(root, bad)
    check_tests(root, bad)
    for b in bad:
        print(b)
    if bad:
        print(f"{len(bad)} include(s) break the layers")
        return 1
    print("layers hold")
    return 0


if __name__ == "__main__":
    sys.exit(main())
