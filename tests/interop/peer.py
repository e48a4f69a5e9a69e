#!/usr/bin/env python3
"""Python's plistlib as an independent peer for the interop tests.

usage: peer.py write DIR   writes DIR/NAME.plistlib.bplist, and NAME.plistlib.xml when
                           plistlib_xml is set, for every case in DIR/cases.json
       peer.py check DIR   loads DIR/NAME.ours.bplist and NAME.ours.xml (when present), compares
                           each with the case's value and exits 1 listing every difference

cases.json holds [{"name", "xml", "plistlib_xml", "value"}] with tagged values such as ["integer", "-5"],
["dict", [[key, value], ...]]; numbers are text so that nothing rounds them on the way. A
container the value holds in several places is ["shared", n, tagged] the first time and
["same", n] after.
"""

import datetime
import json
import math
import os
import plistlib
import sys

REFERENCE_DATE = datetime.datetime(2001, 1, 1)


def build(tagged, shared=None):
    """The value; ["shared", n, tagged] builds one container that every ["same", n] after it
    refers to, so that plistlib's binary writer stores it once."""
    shared = {} if shared is None else shared
    tag, *rest = tagged
    if tag == "shared":
        shared[rest[0]] = build(rest[1], shared)
        return shared[rest[0]]
    if tag == "same":
        return shared[rest[0]]
    if tag == "dict":
        return {key: build(value, shared) for key, value in rest[0]}
    if tag == "array":
        return [build(item, shared) for item in rest[0]]
    if tag == "string":
        return rest[0]
    if tag == "integer":
        return int(rest[0])
    if tag == "real":
        return float(rest[0])
    if tag == "bool":
        return rest[0]
    if tag == "date":
        return REFERENCE_DATE + datetime.timedelta(seconds=float(rest[0]))
    if tag == "data":
        return bytes.fromhex(rest[0])
    if tag == "uid":
        return plistlib.UID(int(rest[0]))
    raise ValueError(f"unknown tag {tag!r}")


def short(value):
    text = repr(value)
    return text if len(text) <= 200 else text[:200] + "..."


def difference(got, expected, path):
    """The first place where got differs from expected, or None. Types must match exactly:
    True is not 1, 1.0 is not 1, and -0.0 is not 0.0."""
    if type(got) is not type(expected):
        return f"{path}: expected {type(expected).__name__} {short(expected)}, " \
               f"got {type(got).__name__} {short(got)}"
    if isinstance(expected, dict):
        for key in expected:
            if key not in got:
                return f"{path}[{key!r}]: missing"
            found = difference(got[key], expected[key], f"{path}[{key!r}]")
            if found:
                return found
        for key in got:
            if key not in expected:
                return f"{path}[{key!r}]: not expected"
        return None
    if isinstance(expected, list):
        for i, (g, e) in enumerate(zip(got, expected)):
            found = difference(g, e, f"{path}[{i}]")
            if found:
                return found
        if len(got) != len(expected):
            return f"{path}: expected {len(expected)} elements, got {len(got)}"
        return None
    if isinstance(expected, float):
        same = (math.isnan(got) and math.isnan(expected)) or \
               (got == expected and math.copysign(1, got) == math.copysign(1, expected))
    else:
        same = got == expected
    return None if same else f"{path}: expected {short(expected)}, got {short(got)}"


def formats(case, xml_flag):
    yield "bplist", plistlib.FMT_BINARY
    if case[xml_flag]:
        yield "xml", plistlib.FMT_XML


def load_cases(folder):
    with open(os.path.join(folder, "cases.json"), encoding="utf-8") as f:
        return json.load(f)


def write(folder):
    for case in load_cases(folder):
        value = build(case["value"])
        for suffix, fmt in formats(case, "plistlib_xml"):
            path = os.path.join(folder, f"{case['name']}.plistlib.{suffix}")
            with open(path, "wb") as f:
                plistlib.dump(value, f, fmt=fmt, sort_keys=True)
    return 0


def check(folder):
    failures = []
    checked = 0
    for case in load_cases(folder):
        expected = build(case["value"])
        for suffix, fmt in formats(case, "xml"):
            name = f"{case['name']}.ours.{suffix}"
            path = os.path.join(folder, name)
            if not os.path.exists(path):
                continue
            checked += 1
            try:
                with open(path, "rb") as f:
                    got = plistlib.load(f, fmt=fmt)
            except Exception as error:  # any refusal is a finding, whatever its type
                failures.append(f"{name}: plistlib cannot load it: {type(error).__name__}: {error}")
                continue
            found = difference(got, expected, "root")
            if found:
                failures.append(f"{name}: {found}")
    for failure in failures:
        print(failure)
    print(f"checked {checked} files, {len(failures)} differ")
    return 1 if failures or checked == 0 else 0


def main(argv):
    if len(argv) != 3 or argv[1] not in ("write", "check"):
        print(__doc__, file=sys.stderr)
        return 2
    return write(argv[2]) if argv[1] == "write" else check(argv[2])


if __name__ == "__main__":
    sys.exit(main(sys.argv))
