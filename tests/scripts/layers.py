#!/usr/bin/env python3
"""Fails when a file under src/ includes from a folder of a higher layer, or when folders
include each other in a cycle; prints the folder-level include graph with --graph."""
import collections
import os
import re
import sys

# Lower number = lower layer; a folder includes only from layers below its own.
LAYERS = {
    "base": 0,
    "record": 1,
    "platform": 1,
    "collect": 2,
    "remote": 2,
    "format": 2,
    "settings": 3,
    "monitor": 4,
    "exporter": 4,
    "sensors": 4,
    "options": 5,
    "display": 6,
    "cli": 6,
}

INCLUDE = re.compile(r'\s*#\s*include\s+"([a-z_]+)/')


def folder_graph(src):
    edges = collections.defaultdict(list)
    for folder in sorted(os.listdir(src)):
        top = os.path.join(src, folder)
        if not os.path.isdir(top):
            continue
        for dirpath, _, files in os.walk(top):
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for line in f:
                        m = INCLUDE.match(line)
                        if m and m.group(1) != folder and os.path.isdir(os.path.join(src, m.group(1))):
                            edges[(folder, m.group(1))].append(os.path.relpath(path, src))
    return edges


def cycles(edges):
    graph = collections.defaultdict(set)
    for a, b in edges:
        graph[a].add(b)
    found, state = [], {}

    def visit(node, path):
        state[node] = 1
        for nxt in sorted(graph[node]):
            if state.get(nxt) == 1:
                found.append(path[path.index(nxt):] + [nxt] if nxt in path else [node, nxt])
            elif nxt not in state:
                visit(nxt, path + [nxt])
        state[node] = 2

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 and not sys.argv[1].startswith("--") else "src"
    edges = folder_graph(src)
    if "--graph" in sys.argv:
        for (a, b), files in sorted(edges.items()):
            print(f"{a} -> {b} ({len(files)})")
    problems = []
    for (a, b), files in sorted(edges.items()):
        if a not in LAYERS or b not in LAYERS:
            problems.append(f"{a} -> {b}: folder missing from the layer table ({files[0]})")
        elif LAYERS[b] > LAYERS[a] or LAYERS[b] == LAYERS[a]:
            problems.append(f"{a} -> {b}: includes upwards or sideways ({', '.join(files[:3])})")
    for cycle in cycles(edges):
        problems.append("cycle: " + " -> ".join(cycle))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
