#!/usr/bin/env python3
"""The two readings tools/code-order.sh makes of a hidden start, each adding to the order file.

code_order.py callgrind PROGRAM WORK ORDER   the functions of PROGRAM in WORK/cg.*.* (callgrind's dumps)
code_order.py faults PROGRAM WORK ORDER      the functions of PROGRAM whose code faulted in
                                             WORK/faults.txt (perf script --show-mmap-events -F addr),
                                             named from WORK/symbols.txt (nm -n --defined-only)
Prints how many functions it added.
"""
import bisect
import glob
import re
import sys


def callgrind(program, work):
    # callgrind names each object and function once, by number, and by number only afterwards.
    define = re.compile(r'^(ob|cob|fn|cfn)=\((\d+)\)(?: (.*))?$')
    names = set()
    for path in glob.glob(work + '/cg.*.*'):
        objects, functions, current = {}, {}, None
        for line in open(path, errors='replace'):
            m = define.match(line.rstrip('\n'))
            if not m:
                continue
            kind, number, name = m.groups()
            table = objects if kind in ('ob', 'cob') else functions
            if name:
                table[number] = name
            if kind == 'ob':
                current = objects.get(number)
            elif kind == 'fn' and current == program:
                name = functions[number].split("'")[0]  # without callgrind's recursion and context marks
                if not name.startswith(('0x', '(')):  # unnamed code
                    names.add(name)
    return names


def faults(program, work):
    symbols = []
    for line in open(work + '/symbols.txt'):
        parts = line.split()
        if len(parts) == 3 and parts[1] in 'tTwW':
            symbols.append((int(parts[0], 16), parts[2]))
    starts = [a for a, _ in symbols]
    # Several runs one after the other: each address is read against the run's own mapping.
    base, code, names = None, None, set()
    mapping = re.compile(r'\[(0x[0-9a-f]+)\((0x[0-9a-f]+)\) @ (0x[0-9a-f]+|0) .*\]: (\S+) (\S+)$')
    for line in open(work + '/faults.txt', errors='replace'):
        m = mapping.search(line.rstrip('\n'))
        if m and m.group(5) == program:
            start, size, offset = (int(m.group(i), 16) for i in (1, 2, 3))
            if offset == 0:
                base = start
            if 'x' in m.group(4):
                code = (start, start + size)
        elif re.fullmatch(r'\s*[0-9a-f]+\s*', line) and base is not None and code:
            a = int(line, 16)
            if code[0] <= a < code[1]:
                i = bisect.bisect_right(starts, a - base) - 1
                if i >= 0:
                    names.add(symbols[i][1])
    return names


def main():
    kind, program, work, out = sys.argv[1:5]
    try:
        known = set(open(out).read().split())
    except FileNotFoundError:
        known = set()
    new = (callgrind if kind == 'callgrind' else faults)(program, work) - known
    with open(out, 'w') as f:
        f.write(''.join(n + '\n' for n in sorted(known | new)))
    print(len(new))


if __name__ == '__main__':
    main()
