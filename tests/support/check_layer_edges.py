#!/usr/bin/env python3
"""Checks that no include runs against the layers of src/.

Every quoted include "<layer>/..." in a file under src/<layer>/ must name its
own layer or one the table below allows. The table is the architecture: a
layer sees only what is below it, so it has no cycle (checked too), and a
folder added to src/ must be given a row before anything builds on it.

usage: check_layer_edges.py <source root>
"""
import pathlib
import re
import sys

# Layer -> the layers its files may include. "vantix" is the public headers
# (<vantix/...>).
ALLOWED = {
    "platform": {"vantix"},
    "catalog": set(),
    # The virtual camera is the test oracle: it must never see the library's
    # catalog, sensors or transport, or the tests would agree with their mistakes.
    "emulator": {"platform"},
    "drivers": {"platform", "emulator"},
    "transport": {"platform", "drivers", "catalog"},
    "sensors": {"platform", "transport"},
    "engine": {"platform", "catalog", "transport", "sensors"},
    "imaging": {"platform", "catalog"},
    "output": {"platform", "imaging"},
    "preview": {"platform", "imaging"},
    "settings": {"platform", "catalog"},
    # The toolkit-neutral dialog models (and, in dialogs/gtk/, their view module).
    "dialogs": {"platform", "catalog", "settings"},
    "session": {"vantix", "platform", "catalog", "drivers", "transport", "engine", "settings", "dialogs",
                "imaging", "output", "preview"},
    # The virtual-camera control export plugs the emulator's cameras itself.
    "api": {"vantix", "platform", "session", "settings", "transport", "emulator"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([a-z_]+)/[^"]*"|<(vantix)/[^>]*>)', re.MULTILINE)


def find_cycle(graph):
    """A list of layers that form a cycle in `graph`, or None."""
    state = {}

    def visit(node, path):
        state[node] = "open"
        for target in sorted(graph.get(node, ())):
            if target not in graph:
                continue
            if state.get(target) == "open":
                return path[path.index(target):] + [target]
            if target not in state:
                found = visit(target, path + [target])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    root = pathlib.Path(sys.argv[1])
    problems = []
    cycle = find_cycle(ALLOWED)
    if cycle:
        problems.append("the table of allowed edges has a cycle: " + " -> ".join(cycle))
    # Folders without sources (resources) are not layers.
    layers = sorted(p.name for p in root.iterdir()
                    if p.is_dir() and any(f.suffix in (".h", ".cpp") for f in p.rglob("*")))
    for layer in layers:
        if layer not in ALLOWED:
            problems.append(f"src/{layer}/ has no row in the table of allowed edges")
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or len(path.relative_to(root).parts) < 2:
            continue
        layer = path.relative_to(root).parts[0]
        allowed = ALLOWED.get(layer, set()) | {layer}
        text = path.read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            target = match.group(1) or match.group(2)
            if target not in allowed and (target in ALLOWED or target == "vantix"):
                line = text.count("\n", 0, match.start()) + 1
                problems.append(f"{path.relative_to(root)}:{line}: {layer} -> {target} is not an allowed edge")
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"layer edges: {len(layers)} layers, every include allowed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
