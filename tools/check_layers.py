#!/usr/bin/env python3
"""Checks that includes and links run one way through the layers.

Every '#include "folder/..."' of the program's own code must name a folder its layer may use,
and Qt, PortAudio and libusb headers may be included only under platform/. The public headers
of platform/ui name no Qt type; the layer's Qt side (platform/ui/qt) is included only by
platform/ and the tests' helper library (tests/support/QtTestAccess.*). Tests outside
tests/platform include no Qt header: they use the helper library.

With --links FILE (written by cmake/LinkGraph.cmake), it also checks that every library links
exactly the folders its line of the table names, that only platform/ links Qt, PortAudio or
libusb, and that the link graph has no cycle. Prints each fault and exits 1 when there is one.
"""
import os
import re
import sys

# The layers, one line a folder: the folders each one uses (includes and links), no more. Its own
# folder is always allowed. The CMake links say the same (a test compares them), and a folder
# listed here that nothing in it includes is an error too, so the table stays exact.
WINDOWS = ["acquisition", "siggen", "dialogs", "plots", "plots/spectrum", "plots/spectrogram", "utilities"]
ALLOWED = {
    "platform/core": [],
    "platform/ui": ["platform/ui/qt", "platform/core"],
    "platform/ui/qt": ["platform/ui", "platform/core"],
    "platform/usb": ["platform/core"],
    "platform/sound": ["platform/core"],
    "platform/entry": ["platform/ui", "platform/core"],
    "records": ["platform/core"],
    "numerics": ["platform/core"],
    "wave": ["records", "numerics", "platform/core"],
    "dsp": ["wave", "records", "numerics", "platform/core"],
    "app/settings": ["wave", "records", "platform/core"],
    "res": ["platform/ui", "platform/core"],
    "acquisition": ["dsp", "wave", "records", "numerics", "res", "platform/ui", "platform/sound", "platform/usb",
                    "platform/core"],
    "siggen": ["acquisition", "dsp", "wave", "records", "res", "platform/ui", "platform/core"],
    "dialogs": ["siggen", "acquisition", "dsp", "wave", "records", "numerics", "res", "platform/ui",
                "platform/sound", "platform/core"],
    "plots": ["dialogs", "dsp", "wave", "records", "res", "platform/ui", "platform/core"],
    "plots/spectrum": ["plots", "dsp", "records", "res", "platform/ui", "platform/core"],
    "plots/spectrogram": ["plots", "dsp", "records", "platform/ui", "platform/core"],
    "utilities": ["plots", "acquisition", "dsp", "wave", "records", "numerics", "res", "platform/ui",
                  "platform/sound", "platform/core"],
    "app": WINDOWS + ["app/settings", "wave", "dsp", "records", "numerics", "res", "platform/ui",
                      "platform/sound", "platform/usb", "platform/core"],
    "app/program": ["app", "platform/entry"],
}
# Uses that are links only: the program takes its main() from the entry point and includes none of it.
LINK_ONLY = {"app/program": ["platform/entry"]}
# A folder whose files are built into another folder's library.
BUILT_INTO = {"platform/ui/qt": "platform/ui"}

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


def target_of(folder):
    """The CMake target a folder of the table is built into."""
    folder = BUILT_INTO.get(folder, folder)
    return "Durnex" if folder == "app/program" else folder.replace("/", "_")


def check_includes(root, bad):
    """Every include names a folder the table lets its folder use; every use in the table is made."""
    used = {f: set() for f in ALLOWED}
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
                        if target is None or target == layer:
                            continue  # a system or library header, or its own folder
                        used[layer].add(target)
                        if target not in ALLOWED[layer]:
                            bad.append(f"{rel}:{n}: {layer} may not include {m.group(1)}/: {line.strip()}")
    for layer, uses in ALLOWED.items():
        for u in uses:
            if u not in used[layer] and u not in LINK_ONLY.get(layer, []):
                bad.append(f"table: {layer} lists {u}, which nothing in {layer}/ includes")


def read_link_graph(path):
    """{target: (type, [direct links])} from the file cmake/LinkGraph.cmake writes."""
    graph = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            head, _, links = line.rstrip("\n").partition(": ")
            target, _, kind = head.partition(" ")
            # "::@..." marks links made from another directory's CMakeLists: no library.
            graph[target] = (kind, [l for l in links.split(";") if l and not l.startswith("::@")])
    return graph


def find_cycle(edges):
    """A list of targets that form a cycle in {target: [targets]}, or None."""
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in edges.get(node, []):
            if state.get(nxt) == "open":
                return path[path.index(nxt):] + [nxt] if nxt in path else path + [nxt]
            if nxt not in state:
                found = visit(nxt, path + [nxt])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in sorted(edges):
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def check_links(path, bad):
    """The CMake links equal the table, foreign libraries stay in platform/, and there is no cycle."""
    try:
        graph = read_link_graph(path)
    except OSError as e:
        bad.append(f"links: cannot read {path}: {e.strerror}")
        return
    folders = {target_of(f): f for f in ALLOWED if f not in BUILT_INTO}
    for target, folder in sorted(folders.items()):
        if target not in graph:
            bad.append(f"links: no target {target} for {folder}/")
    edges = {}
    for target, (kind, links) in sorted(graph.items()):
        folder = folders.get(target)
        if folder is None:
            if kind != "EXECUTABLE":
                bad.append(f"links: library {target} has no line in the table")
            continue  # a tool of its folder (the USB probe)
        own = {l for l in links if l in folders}
        for l in sorted(set(links) - own):
            if not folder.startswith("platform/"):
                bad.append(f"links: {target} links {l}; only platform/ links foreign libraries")
        want = {target_of(u) for u in ALLOWED[folder]} - {target}
        for l in sorted(own - want):
            bad.append(f"links: {target} links {l}, which the table does not let {folder}/ use")
        for l in sorted(want - own):
            bad.append(f"links: {target} does not link {l}, which the table says {folder}/ uses")
        edges[target] = sorted(own)
    cycle = find_cycle(edges)
    if cycle:
        bad.append("links: a cycle: " + " -> ".join(cycle))


def main():
    args = sys.argv[1:]
    links = None
    if "--links" in args:
        i = args.index("--links")
        links = args[i + 1]
        del args[i:i + 2]
    root = args[0] if args else "."
    bad = []
    check_includes(root, bad)
    check_platform_ui_headers(root, bad)
    check_tests(root, bad)
    if links:
        check_links(links, bad)
    for b in bad:
        print(b)
    if bad:
        print(f"{len(bad)} fault(s) in the layers")
        return 1
    print("layers hold")
    return 0


if __name__ == "__main__":
    sys.exit(main())
