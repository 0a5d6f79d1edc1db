#!/usr/bin/env python3
"""Checks that the source folders include each other only downwards.

The layers file lists the folders under the source root, bottom layer first,
peers on one line. A file may include files of its own folder and of folders
on strictly lower layers. Reported, one line each: includes against that
direction or between peers, includes of a folder that exists under the root
but is not listed, folders under the root that are not listed, and every
cycle in the folder include graph. Listed folders need not exist yet.
"""

import argparse
import os
import re
import sys
from collections import defaultdict
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
# Both forms: the build puts the source root on the include path, so
# <core/X.h> would reach the same file as "core/X.h".
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')
BLOCK_COMMENT = re.compile(r'/\*.*?\*/', re.S)


def read_layers(path):
    """Maps each listed folder to its layer's index, bottom 0."""
    level = {}
    layers = 0
    for number, line in enumerate(path.read_text().splitlines(), 1):
        folders = line.split('#', 1)[0].split()
        if not folders:
            continue
        for folder in folders:
            if folder in level:
                sys.exit(f'{path}:{number}: {folder} is listed twice')
            level[folder] = layers
        layers += 1
    return level


def shown(path):
    """The path relative to the working folder or else to the repository,
    when it lies below either."""
    for base in (Path.cwd(), REPO):
        try:
            return str(path.relative_to(base))
        except ValueError:
            pass
    return str(path)


def include_lines(path):
    """(line number, included path) for each include of the file."""
    text = path.read_text(encoding='utf-8', errors='replace')
    # Blank out block comments but keep their line breaks, so numbers hold.
    text = BLOCK_COMMENT.sub(lambda m: '\n' * m.group(0).count('\n'), text)
    for number, line in enumerate(text.splitlines(), 1):
        match = INCLUDE.match(line)
        if match:
            yield number, (match.group(1) or match.group(2)).replace('\\', '/')


def target_folder(root, source, included):
    """The top folder under the root that an include names, or None."""
    parts = included.split('/')
    if '..' in parts or parts[0] == '.':
        # Relative to the including file, as the compiler looks first.
        resolved = Path(os.path.normpath(source.parent / included))
        try:
            parts = resolved.relative_to(root).parts
        except ValueError:
            return None
        return parts[0] if len(parts) > 1 else None
    return parts[0] if len(parts) > 1 else None


def cycles(edges):
    """Each group of two or more folders that reach each other through
    includes (sorted), with a shortest cycle from its first folder."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for other in sorted(edges[node]):
            if other not in index:
                visit(other)
                low[node] = min(low[node], low[other])
            elif other in on_stack:
                low[node] = min(low[node], index[other])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(list(edges)):
        if node not in index:
            visit(node)

    found = []
    for group in sorted(groups):
        start = group[0]
        paths = {start: [start]}
        queue = [start]
        while queue:
            node = queue.pop(0)
            for other in sorted(edges[node]):
                if other == start:
                    found.append((group, paths[node] + [start]))
                    queue = []
                    break
                if other in group and other not in paths:
                    paths[other] = paths[node] + [other]
                    queue.append(other)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--root', type=Path, default=REPO / 'src', help='source root (default: src/)')
    parser.add_argument('--layers', type=Path, default=REPO / 'tools' / 'layers.txt',
                        help='layers file (default: tools/layers.txt)')
    args = parser.parse_args()
    root = args.root.resolve()
    if not root.is_dir():
        sys.exit(f'check-layers: no source root {args.root}')
    if not args.layers.is_file():
        sys.exit(f'check-layers: no layers file {args.layers}')
    level = read_layers(args.layers)
    layers_name = shown(args.layers.resolve())

    problems = []
    existing = sorted(p.name for p in root.iterdir() if p.is_dir())
    for folder in existing:
        if folder not in level:
            problems.append(f'{shown(root / folder)}: folder {folder} is not in {layers_name}')

    files = sorted(p for p in root.rglob('*') if p.suffix in ('.h', '.cpp') and p.is_file())
    edges = defaultdict(set)
    crossing = 0
    for source in files:
        relative = source.relative_to(root).parts
        own = relative[0] if len(relative) > 1 else None
        for number, included in include_lines(source):
            other = target_folder(root, source, included)
            if other is None or other == own or (other not in level and other not in existing):
                continue
            crossing += 1
            where = f'{shown(source)}:{number}'
            if own is None:
                problems.append(f'{where}: a file outside every layer folder may not include {other}')
                continue
            edges[own].add(other)
            if other not in level:
                problems.append(f'{where}: {own} may not include {other} ({other} is not in {layers_name})')
            elif own not in level:
                continue  # its folder is reported above
            elif level[other] == level[own]:
                problems.append(f'{where}: {own} may not include {other} (peers on one layer)')
            elif level[other] > level[own]:
                problems.append(f'{where}: {own} may not include {other} ({other} is above {own})')

    for group, path in cycles(edges):
        problems.append(f'cycle between {", ".join(group)}: {" -> ".join(path)}')

    if problems:
        print('\n'.join(problems))
        print(f'layers: {len(problems)} problems in {len(files)} files')
        return 1
    print(f'layers: {len(files)} files, {crossing} cross-folder includes, all downward')
    return 0


if __name__ == '__main__':
    sys.exit(main())
