#!/usr/bin/env python3
"""tools/check-layers.py fails on includes planted against the layers in a copy
of src/, naming each planted line, and passes on a small tree that keeps them.

Usage: layers_planted.py SOURCE_DIR
"""
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

source = Path(sys.argv[1]).resolve()
checker = source / 'tools' / 'check-layers.py'
failures = []
checks = 0


def check(work, root):
    """The checker's exit code and output, run from `work` on `root`."""
    run = subprocess.run([sys.executable, str(checker), '--root', root,
                          '--layers', str(source / 'tools' / 'layers.txt')],
                         cwd=work, capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


def expect(condition, what, output):
    global checks
    checks += 1
    if not condition:
        failures.append(f'{what}; the checker said:\n{output}')


def write(root, name, text):
    path = root / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text)


with tempfile.TemporaryDirectory() as work:
    tree = Path(work) / 'src'
    shutil.copytree(source / 'src', tree)
    plants = [('core', 'app/MainWindow.h', 'core may not include app'),
              ('view', 'security/Summary.h', 'view may not include security'),
              ('security', 'view/Paint.h', 'security may not include view')]
    for folder, header, message in plants:
        target = sorted((tree / folder).glob('*.cpp'))[0]
        original = target.read_text()
        first, rest = original.split('\n', 1)
        target.write_text(f'{first}\n#include "{header}"\n{rest}')
        code, output = check(work, 'src')
        planted = f'src/{folder}/{target.name}:2: {message}'
        expect(code == 1 and any(line.startswith(planted) for line in output.splitlines()),
               f'{planted} not reported', output)
        if folder == 'core':
            expect(any(line.startswith('cycle between') and 'app' in line and 'core' in line
                       for line in output.splitlines()), 'no cycle through app and core', output)
        target.write_text(original)

    # Only some listed folders exist; a block comment and a relative path.
    clean = Path(work) / 'clean'
    write(clean, 'core/Text.h', '#pragma once\n/* An old note:\n#include "app/Main.h"\n*/\n')
    write(clean, 'core/Text.cpp', '#include "core/Text.h"\n#include <windows.h>\n')
    write(clean, 'perf/Data.cpp', '#include "core/Text.h"\n')
    write(clean, 'view/Paint.cpp', '#include "model/Rows.h"\n#include "perf/Data.h"\n')
    write(clean, 'security/Menu.cpp', '#include "../core/Text.h"\n')
    write(clean, 'app/Main.cpp',
          '#include "view/Paint.h"\n#include "security/Menu.h"\n#include <resources/resource.h>\n')
    code, output = check(work, 'clean')
    expect(code == 0 and output == 'layers: 6 files, 7 cross-folder includes, all downward\n',
           'the clean tree did not pass', output)

    write(clean, 'perf/Data.cpp', '#include "core/Text.h"\n#include "../app/Main.h"\n')
    write(clean, 'widgets/Button.cpp', '#include "core/Text.h"\n')
    write(clean, 'core/Text.cpp', '#include "core/Text.h"\n#include "widgets/Button.h"\n')
    code, output = check(work, 'clean')
    for line in ['clean/perf/Data.cpp:2: perf may not include app', 'clean/widgets: folder widgets is not in',
                 'clean/core/Text.cpp:2: core may not include widgets']:
        expect(code == 1 and any(said.startswith(line) for said in output.splitlines()),
               f'{line} not reported', output)

print('\n\n'.join(failures))
print(f'layers_planted: {checks - len(failures)} passed, {len(failures)} failed')
sys.exit(1 if failures else 0)
