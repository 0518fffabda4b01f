#!/usr/bin/python3
"""Checks that a JSON export agrees with qarpost's execution profile listing
of the same inputs under the same coverage view: the TER of every function
that the listing gives one, of every file and of the whole run (with its
coverage type), and the statement lines of functions, files and summary.

  check_agreement.py PROFILE_LISTING JSON_EXPORT VIEW
VIEW: function, decision, condition, mcdc or as_instrumented.
"""
import json
import re
import sys

TER = re.compile(r"^\*\*\*TER +(\d+) % \( *(\d+)/ *(\d+)\) of (FUNCTION|FILE) (.*)$")
STATEMENT = re.compile(r"^ +(?:(N\.A\.) statement|(\d+) % \( *(\d+)/ *(\d+)\) statement(?: \(N\.A\. for (\d+) functions\))?)$")
SUMMARY_TER = re.compile(r"^TER +: (\d+) % \((\d+)/(\d+)\)(.*)$")
FILE_HEADER = re.compile(r"^MONITORED (?:SOURCE|HEADER) FILE : (.*)$")

failures = []


def fail(message):
    failures.append(message)


def parse_listing(path):
    """Files in order, each with its function TER lines and its own TER line."""
    files = []
    summary = []
    with open(path, encoding="latin-1") as handle:
        lines = [line.rstrip("\n") for line in handle]
    i = 0
    while i < len(lines):
        line = lines[i]
        header = FILE_HEADER.match(line)
        if header:
            files.append({"name": header.group(1), "functions": [], "file": None})
        ter = TER.match(line)
        if ter:
            statement = STATEMENT.match(lines[i + 1])
            if not statement:
                fail(f"{path}: no statement line after: {line}")
                statement = None
            entry = {"ter": tuple(int(ter.group(n)) for n in (1, 2, 3)), "name": ter.group(5),
                     "statement": statement.groups() if statement else None}
            if ter.group(4) == "FUNCTION":
                files[-1]["functions"].append(entry)
            else:
                files[-1]["file"] = entry
        match = SUMMARY_TER.match(line)
        if match:
            summary.append(match.groups())
        i += 1
    return files, summary


def ter_of(figures):
    return (figures["percent"], figures["covered"], figures["items"])


def main():
    listing_path, json_path, view = sys.argv[1:4]
    with open(json_path, encoding="utf-8") as handle:
        document = json.load(handle)
    files, summary = parse_listing(listing_path)
    exported = document["files"]
    if len(files) != len(exported):
        fail(f"{len(files)} files in the listing, {len(exported)} in the JSON")
    for listed, file in zip(files, exported):
        where = file["name"]
        if listed["name"] != file["name"][:260]:
            fail(f"file {listed['name']} listed where the JSON has {file['name']}")
            continue
        if listed["functions"]:
            if len(listed["functions"]) != len(file["functions"]):
                fail(f"{where}: {len(listed['functions'])} function TER lines, {len(file['functions'])} functions")
            for line, function in zip(listed["functions"], file["functions"]):
                if line["name"] != function["name"] + "()":
                    fail(f"{where}: function {line['name']} listed where the JSON has {function['name']}")
                if line["ter"] != ter_of(function["ter"][view]):
                    fail(f"{where}: {function['name']}: TER {line['ter']} listed, {ter_of(function['ter'][view])} exported")
                statements = function["statements"]
                if statements is None:
                    wanted = ("N.A.", None, None, None, None)
                else:
                    wanted = (None, str(statements["percent"]), str(statements["hits"]), str(statements["total"]), None)
                if line["statement"] != wanted:
                    fail(f"{where}: {function['name']}: statement line {line['statement']}, exported {wanted}")
        elif file["instrumentation_mode"].split("+")[0] != "function" and view != "function" and file["functions"]:
            fail(f"{where}: no function TER lines in the listing")
        own = listed["file"]
        if own is None:
            fail(f"{where}: no file TER line")
            continue
        if own["ter"] != ter_of(file["ter"][view]):
            fail(f"{where}: file TER {own['ter']} listed, {ter_of(file['ter'][view])} exported")
        s = file["statements"]
        na = str(s["functions_without_figures"]) if s["functions_without_figures"] else None
        wanted = (None, str(s["percent"]), str(s["hits"]), str(s["total"]), na)
        if own["statement"] != wanted:
            fail(f"{where}: file statement line {own['statement']}, exported {wanted}")

    run = document["summary"]
    if len(summary) != 2:
        fail(f"{listing_path}: {len(summary)} summary TER lines")
    else:
        ter_line, statement_line = summary
        coverage_type = run["coverage_type"][view]
        wanted = (str(run["ter"][view]["percent"]), str(run["ter"][view]["covered"]), str(run["ter"][view]["items"]),
                  " " + coverage_type if coverage_type else "")
        if ter_line != wanted:
            fail(f"summary TER {ter_line} listed, {wanted} exported")
        s = run["statements"]
        na = f" statement (N.A. for {s['functions_without_figures']} functions)" if s["functions_without_figures"] else " statement"
        wanted = (str(s["percent"]), str(s["hits"]), str(s["total"]), na)
        if statement_line != wanted:
            fail(f"summary statement {statement_line} listed, {wanted} exported")
    for message in failures[:20]:
        print(f"check_agreement ({view}): {message}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
