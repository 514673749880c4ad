#!/usr/bin/env python3
# Prints an INI file as configparser reads it: "[name]", then "key=value" lines.
import configparser
import sys

parser = configparser.ConfigParser(
    delimiters=("=",), comment_prefixes=("#", ";"), inline_comment_prefixes=("#", ";"),
    strict=False, allow_no_value=True, interpolation=None,
    default_section="\x01no default section", empty_lines_in_values=False)
parser.optionxform = str  # case-sensitive keys
parser.read_file(open(sys.argv[1], encoding="latin-1"))
for name in parser.sections():
    print(f"[{name}]")
    for key, value in parser.items(name, raw=True):
        print(f"{key}={value or ''}")
