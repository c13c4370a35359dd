#!/usr/bin/env python3
"""Checks readable profile files against docs/profile-json.schema.json.

Usage: check_profile_schema.py SCHEMA [--invalid] FILE...
Every FILE must be valid (or, after --invalid, every following FILE must be refused). Prints one line per
file that is not as expected and exits 1 when there is one.
"""
import json
import sys

import jsonschema


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    expect_valid = True
    checked = 0
    bad = 0
    for path in argv[2:]:
        if path == "--invalid":
            expect_valid = False
            continue
        with open(path, encoding="utf-8") as f:
            doc = json.load(f)
        errors = sorted(validator.iter_errors(doc), key=lambda e: list(e.absolute_path))
        checked += 1
        if expect_valid and errors:
            bad += 1
            e = errors[0]
            where = "$" + "".join(f"[{p!r}]" for p in e.absolute_path)
            print(f"{path}: {where}: {e.message[:300]}")
        elif not expect_valid and not errors:
            bad += 1
            print(f"{path}: the schema accepts it")
    print(f"{checked} files checked, {bad} not as expected")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
