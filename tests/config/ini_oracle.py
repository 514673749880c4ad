#!/usr/bin/env python3
"""Prints an INI file as configparser reads it: "[name]" per section, then
"key=value" per entry. Set up for the subset both readers share: "=" only,
"#" and ";" comments (inline after a blank), case-sensitive keys, merged
duplicates, no interpolation, keys without value."""
import configparser
import sys

parser = configparser.ConfigParser(
    delimiters=("=",), comment_prefixes=("#", ";"), inline_comment_prefixes=("#", ";"),
    strict=False, allow_no_value=True, interpolation=None,
    default_section="\x01no default section", empty_lines_in_values=False)
parser.optionxform = str
with open(sys.argv[1], encoding="latin-1") as f:
    parser.read_file(f)
for name in parser.sections():
    print(f"[{name}]")
    for key, value in parser.items(name, raw=True):
        print(f"{key}={'' if value is None else value}")
