#!/usr/bin/env python3
"""Prints an INI file as configparser reads it, in the dump form of the tests:
"[name]" for each section, then "key=value" for each of its entries.

configparser is set up for the subset of the format both readers share:
"=" as the only delimiter, "#" and ";" comments (inline ones after a blank),
case-sensitive keys, duplicates merged, no interpolation, keys without value.
"""
import configparser
import sys


def main():
    parser = configparser.ConfigParser(
        delimiters=("=",), comment_prefixes=("#", ";"), inline_comment_prefixes=("#", ";"),
        strict=False, allow_no_value=True, interpolation=None,
        default_section="\x01no default section", empty_lines_in_values=False)
    parser.optionxform = str
    with open(sys.argv[1], encoding="latin-1") as f:
        parser.read_file(f)
    out = []
    for name in parser.sections():
        out.append(f"[{name}]\n")
        for key, value in parser.items(name, raw=True):
            out.append(f"{key}={'' if value is None else value}\n")
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main()
