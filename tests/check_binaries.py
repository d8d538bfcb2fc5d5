#!/usr/bin/env python3
"""Checks what the build made without running it, so that it holds on a
machine that cannot execute the build's architecture:

  check_binaries.py --objdump OBJDUMP --format pei-i386|pei-x86-64
                    --version 2.4.2.218 ROLE:FILE...

Every file is an image of the build's architecture. The roles add:
  program    imports only Windows' own DLLs; a version resource of --version
  library    imports only Windows' own DLLs
  extension  imports only Windows' own DLLs; exports exactly the installer's
             six entry points by plain name; no version resource
  installer  nothing more (the installer system's own stub)
"""
import argparse
import re
import struct
import subprocess
import sys

WINDOWS_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "gdi32.dll",
    "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll", "rstrtmgr.dll", "shell32.dll",
    "shlwapi.dll",
    "urlmon.dll", "user32.dll", "version.dll", "wininet.dll", "ws2_32.dll",
}
ENTRY_POINTS = ["Check", "DoAntiSpam", "DoRegPlg", "DoToolBar", "IsAntiSpamOn", "IsToolBar"]
ROLES = ("program", "library", "extension", "installer")

VERSION_KEY = "VS_VERSION_INFO".encode("utf-16-le")
FIXED_INFO_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def objdump(tool, option, path):
    return subprocess.run([tool, option, path], check=True, capture_output=True,
                          text=True).stdout


def imports(dump):
    return [name.strip().lower() for name in re.findall(r"DLL Name: (.+)", dump)]


def exports(dump):
    """The names of the export table, and whether every export has one."""
    table = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s+\[\s*\d+\] \S+\n)*)", dump)
    names = re.findall(r"\] (\S+)", table.group(1)) if table else []
    functions = re.search(r"Export Address Table -- Ordinal Base \d+\n((?:\s+\[\s*\d+\] .*\n)*)",
                          dump)
    count = len(functions.group(1).splitlines()) if functions else 0
    return sorted(names), count == len(names)


def fixed_file_version(data):
    """The file version of the version resource, or None without one."""
    at = data.find(VERSION_KEY)
    if at < 0:
        return None
    at = data.find(FIXED_INFO_SIGNATURE, at)
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def check(path, role, args):
    problems = []
    header = objdump(args.objdump, "-f", path)
    found = re.search(r"file format (\S+)", header)
    if not found or found.group(1) != args.format:
        problems.append("is %s, not %s" % (found.group(1) if found else "no image",
                                           args.format))
    if role == "installer":
        return problems

    dump = objdump(args.objdump, "-p", path)
    foreign = [dll for dll in imports(dump) if dll not in WINDOWS_DLLS]
    if foreign:
        problems.append("imports %s, not part of Windows" % ", ".join(foreign))

    with open(path, "rb") as image:
        version = fixed_file_version(image.read())
    if role == "program" and version != args.version:
        problems.append("carries version %s, not %s" % (version, args.version))
    if role == "extension":
        if version is not None:
            problems.append("carries a version resource (%s)" % version)
        names, all_named = exports(dump)
        if names != ENTRY_POINTS or not all_named:
            problems.append("exports %s%s" % (", ".join(names) or "nothing",
                                              "" if all_named else " and unnamed ordinals"))
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--format", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("files", nargs="+", metavar="ROLE:FILE")
    args = parser.parse_args()

    failed = False
    for spec in args.files:
        role, _, path = spec.partition(":")
        if role not in ROLES:
            parser.error("unknown role in %s" % spec)
        try:
            problems = check(path, role, args)
        except (OSError, subprocess.CalledProcessError) as error:
            problems = ["cannot be read (%s)" % error]
        for problem in problems:
            print("%s %s" % (path, problem))
        if problems:
            failed = True
        else:
            print("%s: %s, %s" % (role, path, "as it should be"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
