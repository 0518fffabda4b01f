#!/usr/bin/python3
"""Has the real consumers read the exports of one qarpost-export run and
checks that they agree with each other and with the JSON export.

  check_exports.py --schema SCHEMA --dtd DTD --xsd XSD [--json F] [--lcov F] [--cobertura F] [--sonarqube F]

- JSON: parses and validates against the schema; the summary's line coverage
  equals the sum over its sources.
- LCOV: genhtml (without sources, with branches) reads it without a warning;
  lcov --summary and the tracefile's own LF/LH, BRF/BRH and FNF/FNH totals
  equal the JSON's line coverage.
- Cobertura: xmllint validates it against the DTD; the root's totals and the
  lines of its classes equal the JSON's.
- SonarQube: xmllint validates it against the XML schema; a line carries
  both branch counts or neither, the covered ones no more than the others;
  its lines and branches equal the JSON's.
Without a JSON export the formats are compared with the LCOV tracefile's
totals, or, without one either, only checked by their readers.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

import jsonschema

failures = []


def fail(message):
    failures.append(message)


def check_json(path, schema_path):
    with open(path, encoding="utf-8") as handle:
        document = json.load(handle)
    with open(schema_path, encoding="utf-8") as handle:
        schema = json.load(handle)
    validator = jsonschema.Draft202012Validator(schema)
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    for error in errors[:5]:
        fail(f"{path}: schema: {'/'.join(map(str, error.path))}: {error.message}")
    summary = document["summary"]["line_coverage"]
    sums = {"lines": [0, 0], "branches": [0, 0], "functions": [0, 0]}
    for source in document["sources"]:
        coverage = source["line_coverage"]
        own = {
            "lines": (len(source["lines"]), sum(1 for _, hits in source["lines"] if hits > 0)),
            "branches": (len(source["branches"]), sum(1 for b in source["branches"] if b[3] > 0)),
            "functions": (len(source["functions"]), sum(1 for f in source["functions"] if f["calls"] > 0)),
        }
        for kind in sums:
            if (coverage[kind]["found"], coverage[kind]["hit"]) != own[kind]:
                fail(f"{path}: {source['path']}: {kind} totals {coverage[kind]} do not count its entries {own[kind]}")
            sums[kind][0] += coverage[kind]["found"]
            sums[kind][1] += coverage[kind]["hit"]
        names = [f["name"] for f in source["functions"]]
        if len(set(names)) != len(names):
            fail(f"{path}: {source['path']}: function names not unique")
    for kind in sums:
        if (summary[kind]["found"], summary[kind]["hit"]) != tuple(sums[kind]):
            fail(f"{path}: summary {kind} {summary[kind]} is not the sum over the sources {sums[kind]}")
    return {kind: (summary[kind]["found"], summary[kind]["hit"]) for kind in sums}


def run(command):
    return subprocess.run(command, capture_output=True, text=True)


def lcov_totals_of_tracefile(path):
    totals = {"lines": [0, 0], "branches": [0, 0], "functions": [0, 0]}
    keys = {"LF": ("lines", 0), "LH": ("lines", 1), "BRF": ("branches", 0), "BRH": ("branches", 1),
            "FNF": ("functions", 0), "FNH": ("functions", 1)}
    records = 0
    with open(path, encoding="utf-8") as handle:
        for line in handle:
            tag, _, value = line.rstrip("\n").partition(":")
            if tag in keys:
                kind, index = keys[tag]
                totals[kind][index] += int(value)
            elif tag == "end_of_record":
                records += 1
    return {kind: tuple(value) for kind, value in totals.items()}, records


def check_lcov(path, expected):
    own, records = lcov_totals_of_tracefile(path)
    if expected is not None and own != expected:
        fail(f"{path}: tracefile totals {own} differ from the JSON's {expected}")
    if records == 0:
        # genhtml and lcov refuse a tracefile without records; an empty
        # database has none to give.
        if own != {"lines": (0, 0), "branches": (0, 0), "functions": (0, 0)}:
            fail(f"{path}: no records but totals {own}")
        return
    with tempfile.TemporaryDirectory() as html:
        result = run(["genhtml", "--no-source", "--branch-coverage", "--function-coverage",
                      "--output-directory", html, path])
        if result.returncode != 0 or result.stderr.strip():
            fail(f"{path}: genhtml: status {result.returncode}: {result.stderr.strip()[:500]}")
    result = run(["lcov", "--summary", path, "--rc", "lcov_branch_coverage=1"])
    text = result.stdout + result.stderr
    if result.returncode != 0 or "WARNING" in text:
        fail(f"{path}: lcov --summary: status {result.returncode}: {text.strip()[:500]}")
        return
    summary = {}
    for kind in ("lines", "functions", "branches"):
        match = re.search(rf"{kind}\.*: [0-9.]+% \(([0-9]+) of ([0-9]+) \w+\)", text)
        if match:
            summary[kind] = (int(match.group(2)), int(match.group(1)))
        elif re.search(rf"{kind}\.*: no data found", text):
            summary[kind] = (0, 0)
        else:
            fail(f"{path}: lcov --summary gives no {kind} figure: {text.strip()[:300]}")
            return
    if summary != own:
        fail(f"{path}: lcov --summary {summary} differs from the tracefile's totals {own}")


def check_cobertura(path, dtd, expected):
    result = run(["xmllint", "--noout", "--dtdvalid", dtd, path])
    if result.returncode != 0:
        fail(f"{path}: xmllint --dtdvalid: {result.stderr.strip()[:500]}")
        return
    root = ElementTree.parse(path).getroot()
    attributes = {"lines": (int(root.get("lines-valid")), int(root.get("lines-covered"))),
                  "branches": (int(root.get("branches-valid")), int(root.get("branches-covered")))}
    lines = [0, 0]
    branches = [0, 0]
    for cls in root.iter("class"):
        for line in cls.find("lines").iter("line"):
            lines[0] += 1
            lines[1] += int(line.get("hits")) > 0
            coverage = line.get("condition-coverage")
            if line.get("branch") == "true":
                hit, found = re.search(r"\(([0-9]+)/([0-9]+)\)", coverage).groups()
                branches[0] += int(found)
                branches[1] += int(hit)
    counted = {"lines": tuple(lines), "branches": tuple(branches)}
    if counted != attributes:
        fail(f"{path}: the classes' lines and branches {counted} differ from the root's totals {attributes}")
    if expected is not None:
        wanted = {"lines": expected["lines"], "branches": expected["branches"]}
        if attributes != wanted:
            fail(f"{path}: totals {attributes} differ from the JSON's {wanted}")


def check_sonarqube(path, xsd, expected):
    result = run(["xmllint", "--noout", "--schema", xsd, path])
    if result.returncode != 0:
        fail(f"{path}: xmllint --schema: {result.stderr.strip()[:500]}")
        return
    root = ElementTree.parse(path).getroot()
    if root.tag != "coverage" or root.get("version") != "1":
        fail(f"{path}: not generic coverage version 1")
    lines = [0, 0]
    branches = [0, 0]
    for file in root.iter("file"):
        for line in file.iter("lineToCover"):
            lines[0] += 1
            lines[1] += line.get("covered") == "true"
            if (line.get("branchesToCover") is None) != (line.get("coveredBranches") is None):
                fail(f"{path}: line {line.get('lineNumber')}: one branch count without the other")
            elif line.get("branchesToCover") is not None:
                found = int(line.get("branchesToCover"))
                hit = int(line.get("coveredBranches"))
                if found <= 0 or hit > found:
                    fail(f"{path}: line {line.get('lineNumber')}: {hit} of {found} branches")
                branches[0] += found
                branches[1] += hit
    counted = {"lines": tuple(lines), "branches": tuple(branches)}
    if expected is not None:
        wanted = {"lines": expected["lines"], "branches": expected["branches"]}
        if counted != wanted:
            fail(f"{path}: lines and branches {counted} differ from the JSON's {wanted}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--schema", required=True)
    parser.add_argument("--dtd", required=True)
    parser.add_argument("--xsd", required=True)
    for option in ("json", "lcov", "cobertura", "sonarqube"):
        parser.add_argument(f"--{option}")
    arguments = parser.parse_args()
    expected = None
    if arguments.json:
        expected = check_json(arguments.json, arguments.schema)
    if arguments.lcov:
        check_lcov(arguments.lcov, expected)
        if expected is None:
            expected, _ = lcov_totals_of_tracefile(arguments.lcov)
    if arguments.cobertura:
        check_cobertura(arguments.cobertura, arguments.dtd, expected)
    if arguments.sonarqube:
        check_sonarqube(arguments.sonarqube, arguments.xsd, expected)
    for message in failures:
        print("check_exports: " + message, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
