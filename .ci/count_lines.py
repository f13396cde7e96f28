#!/usr/bin/env python3
"""Count non-blank, non-comment lines of a trelkey tree, per folder.

Usage: python3 .ci/count_lines.py [ROOT]

Rules
-----
Files taken: if ROOT is a git work tree, the tracked files plus the untracked
files that are not ignored (`git ls-files --cached --others --exclude-standard`);
otherwise a walk of ROOT that skips `.git` and every directory whose name starts
with `build`. Files that are not regular files (e.g. deleted but still tracked)
are skipped.

Languages (by file name):
  C/C++   *.cpp *.cc *.cxx *.h *.hpp *.c, and templates named *.cpp.in, *.h.in,
          *.c.in (configure_file inputs that are C++ source). Other *.in files
          (man page, resource script, README templates) are not counted.
  shell   *.sh, and files with no extension whose first line is a shebang
          naming sh/bash/dash (the scripts in .ci/).
  Python  *.py, and extension-less files with a python shebang.
  CMake   CMakeLists.txt and *.cmake.
Everything else (corpora, presets JSON, docs, packaging data) is ignored.

A line counts when, after comments are removed, it still holds a non-space
character.
  C/C++: `//` to end of line and `/* ... */` (which may span lines) are
         comments. String literals "...", character literals '...' (with
         backslash escapes) and raw strings R"d(...)d" are tracked so that
         comment markers inside them are not taken as comments. A line with
         code and a trailing comment counts. Preprocessor lines count as code.
  shell, Python, CMake: a line whose first non-blank character is `#` is a
         comment; this includes the `#!` shebang. A line with code followed by
         `# ...` counts. CMake bracket comments `#[[ ... ]]` / `#[=[ ... ]=]`
         are comments over all their lines. Python docstrings and here-document
         bodies count as code (they are strings, not comments).

Folders reported: top-level src, tests, fuzz, bench; each sub-folder of src/
(cli, keys, config, hid) and of tests/ (unit, double, linux, cli, windows,
third_party); files directly in src/ or tests/ appear
as "src/(files)" / "tests/(files)". Folders present in the tree but not in
these lists are reported too, so nothing is silently dropped. Files outside
src/tests/fuzz/bench are reported under "other:" rows (.ci, cmake, the root).
The ratio printed at the end is (tests + fuzz) / src.
"""

import os
import re
import subprocess
import sys

CPP_EXT = (".cpp", ".cc", ".cxx", ".h", ".hpp", ".c")
CPP_IN = tuple(e + ".in" for e in CPP_EXT)
TOP = ["src", "tests", "fuzz", "bench"]
SUBS = {
    "src": ["cli", "keys", "config", "hid"],
    "tests": ["unit", "double", "linux", "cli", "windows", "third_party"],
}
LANGS = ["C/C++", "shell", "Python", "CMake"]


def list_files(root):
    try:
        out = subprocess.run(
            ["git", "-C", root, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
            check=True, capture_output=True).stdout.decode("utf-8", "replace")
        files = sorted(set(f for f in out.split("\0") if f))
    except (OSError, subprocess.CalledProcessError):
        files = []
        for d, dirs, names in os.walk(root):
            dirs[:] = [x for x in dirs if x != ".git" and not x.startswith("build")]
            for n in names:
                files.append(os.path.relpath(os.path.join(d, n), root))
        files.sort()
    return [f for f in files if os.path.isfile(os.path.join(root, f))]


def first_line(path):
    try:
        with open(path, "rb") as fh:
            return fh.readline(200).decode("utf-8", "replace")
    except OSError:
        return ""


def language(root, rel):
    name = os.path.basename(rel)
    if name.endswith(CPP_EXT) or name.endswith(CPP_IN):
        return "C/C++"
    if name.endswith(".sh"):
        return "shell"
    if name.endswith(".py"):
        return "Python"
    if name == "CMakeLists.txt" or name.endswith(".cmake"):
        return "CMake"
    if "." not in name:
        head = first_line(os.path.join(root, rel))
        if head.startswith("#!"):
            if "python" in head:
                return "Python"
            if re.search(r"\b(ba|da|z|k)?sh\b", head):
                return "shell"
    return None


def count_cpp(text):
    """Lines holding code once // and /* */ comments are removed."""
    count = 0
    in_block = False      # inside /* */
    raw_end = None        # closing sequence of a raw string spanning lines
    for line in text.splitlines():
        code = False
        i, n = 0, len(line)
        while i < n:
            if in_block:
                j = line.find("*/", i)
                if j < 0:
                    i = n
                else:
                    in_block = False
                    i = j + 2
                continue
            if raw_end is not None:
                code = True
                j = line.find(raw_end, i)
                if j < 0:
                    i = n
                else:
                    i = j + len(raw_end)
                    raw_end = None
                continue
            c = line[i]
            if c == "/" and line.startswith("//", i):
                break
            if c == "/" and line.startswith("/*", i):
                in_block = True
                i += 2
                continue
            if c.isspace():
                i += 1
                continue
            code = True
            m = re.match(r'(?:u8|u|U|L)?R"([^()\\\s]{0,16})\(', line[i:])
            if m and (i == 0 or not (line[i - 1].isalnum() or line[i - 1] == "_")):
                raw_end = ")" + m.group(1) + '"'
                i += m.end()
                continue
            if c == "'":
                # a ' inside a number (1'000, 0xFF'FF) is a digit separator
                k = i
                while k > 0 and (line[k - 1].isalnum() or line[k - 1] in "_."):
                    k -= 1
                if k < i and line[k].isdigit():
                    i += 1
                    continue
            if c in "\"'":
                q = c
                i += 1
                while i < n and line[i] != q:
                    i += 2 if line[i] == "\\" else 1
                i += 1
                continue
            i += 1
        if code:
            count += 1
    return count


def count_hash(text, cmake):
    """Lines that are not blank and do not start with '#' (shell, Python, CMake)."""
    count = 0
    bracket_end = None
    for line in text.splitlines():
        s = line.strip()
        if bracket_end is not None:
            j = line.find(bracket_end)
            if j < 0:
                continue
            rest = line[j + len(bracket_end):].strip()
            bracket_end = None
            if rest and not rest.startswith("#"):
                count += 1
            continue
        if not s:
            continue
        if s.startswith("#"):
            m = re.match(r"#\[(=*)\[", s) if cmake else None
            if m:
                end = "]" + m.group(1) + "]"
                if end not in s[m.end():]:
                    bracket_end = end
            continue
        count += 1
    return count


def count_file(path, lang):
    with open(path, "rb") as fh:
        text = fh.read().decode("utf-8", "replace")
    if lang == "C/C++":
        return count_cpp(text)
    return count_hash(text, lang == "CMake")


def bucket_names(rel):
    """The rows a file adds to: its top-level folder and its sub-folder row."""
    parts = rel.split("/")
    if parts[0] in TOP:
        rows = [parts[0]]
        if parts[0] in SUBS:
            if len(parts) == 2:
                rows.append(parts[0] + "/(files)")
            else:
                rows.append(parts[0] + "/" + parts[1])
        return rows
    return ["other:" + (parts[0] if len(parts) > 1 else "(root)")]


def main():
    if len(sys.argv) > 2:
        sys.exit("usage: count_lines.py [ROOT]")
    root = sys.argv[1] if len(sys.argv) == 2 else os.path.join(os.path.dirname(__file__), "..")
    table = {}
    for rel in list_files(root):
        lang = language(root, rel)
        if lang is None:
            continue
        lines = count_file(os.path.join(root, rel), lang)
        for row in bucket_names(rel):
            table.setdefault(row, {l: 0 for l in LANGS})[lang] += lines

    order = []
    for top in TOP:
        order.append(top)
        if top in SUBS:
            subs = [top + "/" + s for s in SUBS[top]] + [top + "/(files)"]
            subs += sorted(r for r in table if r.startswith(top + "/") and r not in subs)
            order += subs
    order += sorted(r for r in table if r.startswith("other:"))

    print("%-22s %7s %7s %7s %7s %7s" % ("folder", "C/C++", "shell", "Python", "CMake", "lines"))
    for row in order:
        v = table.get(row, {l: 0 for l in LANGS})
        if row not in table and row.endswith("/(files)"):
            continue
        label = row if row in TOP or row.startswith("other:") else "  " + row
        print("%-22s %7d %7d %7d %7d %7d" % ((label,) + tuple(v[l] for l in LANGS) + (sum(v.values()),)))
    total = lambda r: sum(table.get(r, {}).values())
    src, tests, fuzz = total("src"), total("tests"), total("fuzz")
    print()
    print("tests+fuzz = %d, src = %d, ratio (tests+fuzz)/src = %s" % (
        tests + fuzz, src, "%.3f" % ((tests + fuzz) / src) if src else "n/a"))


if __name__ == "__main__":
    main()
