#!/usr/bin/env python3
"""Counts messages sent by a literal selector rather than through a declared plat::Message.

A send names its message by literal when the selector argument of plat::send, sendIfResponds,
respondsToSelector, or one of the few local helpers that wrap them (tell, and the link router's
report and reportCode), holds a string literal spelled like a selector ("shopDetailMainView:backToTopView:"). Messages
declared once with plat::Message are not counted: their text appears only in the declaration.

  scripts/literal-selectors.py [--list] [--by-area] [folder ...]   (default: src)

Prints the number of such sends and of distinct selectors; --list prints each site, --by-area
the count per folder. The exit status is 0 either way: the count is a measure, not a gate.
"""
import argparse
import collections
import os
import re
import sys

SENDERS = ("send", "sendIfResponds", "respondsToSelector", "tell", "report", "reportCode")
CALL = re.compile(r"\b(" + "|".join(SENDERS) + r")\s*(<[^;()]*?>)?\s*\(")
# Helpers that send only in some files: elsewhere a function of the same name does something else
# (the secret store's report logs an error).
HELPER_FILES = {"report": ("app/links/UriDirect.",), "reportCode": ("app/links/UriDirect.",)}
SELECTOR_LITERAL = re.compile(r'"((?:[A-Za-z_][A-Za-z0-9_]*:?)+)"')


def skip_string(text, i):
    """The index just past the string literal that starts at text[i]."""
    i += 1
    while i < len(text) and text[i] != '"':
        i += 2 if text[i] == "\\" else 1
    return i + 1


def arguments(text, start):
    """The top-level arguments of the call whose '(' ends just before start."""
    args, current, depth, i = [], [], 0, start
    while i < len(text):
        c = text[i]
        if c == '"':
            end = skip_string(text, i)
            current.append(text[i:end])
            i = end
            continue
        if c in "([{":
            depth += 1
        elif c in ")]}":
            if depth == 0:
                break
            depth -= 1
        if c == "," and depth == 0:
            args.append("".join(current))
            current = []
        else:
            current.append(c)
        i += 1
    args.append("".join(current))
    return args


def strip_comments(text):
    """The text with comments blanked: same length, same line numbers."""
    out, i = [], 0
    while i < len(text):
        if text.startswith("//", i) or text.startswith("/*", i):
            if text[i + 1] == "/":
                end = text.find("\n", i)
                end = len(text) if end < 0 else end
            else:
                end = text.find("*/", i + 2)
                end = len(text) if end < 0 else end + 2
            out.append("".join(c if c == "\n" else " " for c in text[i:end]))
            i = end
        elif text[i] == '"':
            end = skip_string(text, i)
            out.append(text[i:end])
            i = end
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def scan(folders):
    sites = []
    for folder in folders:
        for directory, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = strip_comments(f.read())
                for call in CALL.finditer(text):
                    places = HELPER_FILES.get(call.group(1))
                    if places and not any(place in path for place in places):
                        continue
                    args = arguments(text, call.end())
                    # The selector is the first argument of respondsToSelector and of the helpers
                    # that take it first; otherwise it follows the target.
                    index = 0 if call.group(1) in ("respondsToSelector", "report", "reportCode") else 1
                    if len(args) <= index:
                        continue
                    literal = SELECTOR_LITERAL.search(args[index])
                    if literal:
                        line = text.count("\n", 0, call.start()) + 1
                        sites.append((path, line, literal.group(1)))
    return sites


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--by-area", action="store_true")
    parser.add_argument("folders", nargs="*", default=["src"])
    options = parser.parse_args()
    sites = scan(options.folders)
    if options.list:
        for path, line, selector in sites:
            print(f"{path}:{line}: {selector}")
    if options.by_area:
        areas = collections.Counter(os.path.dirname(path) for path, _, _ in sites)
        for area, count in sorted(areas.items(), key=lambda item: (-item[1], item[0])):
            print(f"{count:5d} {area}")
    print(f"{len(sites)} literal-selector sends, {len(set(s for _, _, s in sites))} selectors")
    return 0


if __name__ == "__main__":
    sys.exit(main())
