#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a C++ table that compares, field by field, the structs our SherpaOnnxApi.h declares with those
of sherpa-onnx's own c-api.h: for every field of the library's struct, its offset and size in both, then
each struct's size and alignment. A field of theirs that ours lacks does not compile; one more field of
ours is a row that fails.

Usage: compare_layouts.py OURS.h REFERENCE.h OUTPUT.inc
"""
import re
import sys


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def fields(body):
    names = []
    for declaration in body.split(";"):
        declaration = declaration.strip()
        if declaration:
            names.append(re.findall(r"[A-Za-z_]\w*", declaration)[-1])
    return names


def main():
    ours_path, reference_path, output_path = sys.argv[1:]
    ours = strip_comments(open(ours_path, encoding="utf-8").read())
    reference = strip_comments(open(reference_path, encoding="utf-8").read())
    ours_structs = {m.group(1): fields(m.group(2)) for m in re.finditer(r"struct (SherpaOnnx\w+)\s*\{(.*?)\};", ours, re.S)}
    reference_structs = {m.group(1): fields(m.group(2))
                         for m in re.finditer(r"typedef struct (SherpaOnnx\w+)\s*\{(.*?)\}\s*\1\s*;", reference, re.S)}
    if not ours_structs:
        sys.exit(f"{ours_path} declares no struct")
    rows = []
    for name, our_fields in sorted(ours_structs.items()):
        if name not in reference_structs:
            sys.exit(f"{reference_path} has no struct {name}")
        theirs = reference_structs[name]
        for field in theirs:
            rows.append(f'    {{"{name}", "{field}", offsetof(parlune::sherpa::{name}, {field}), offsetof(::{name}, {field}), '
                        f"sizeof(parlune::sherpa::{name}::{field}), sizeof(::{name}::{field})}},")
        rows.append(f'    {{"{name}", "(size)", sizeof(parlune::sherpa::{name}), sizeof(::{name}), '
                    f"alignof(parlune::sherpa::{name}), alignof(::{name})}},")
        rows.append(f'    {{"{name}", "(number of fields)", {len(our_fields)}, {len(theirs)}, 0, 0}},')
    with open(output_path, "w", encoding="utf-8") as output:
        output.write("// Written by compare_layouts.py: {struct, field, our offset, theirs, our size, theirs}.\n")
        output.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
