#!/usr/bin/env python3
"""Checks the DOM of HTML report pages, as a browser built it, against the
JSON export of the same run.

  check_html_pages.py figures INDEX_DOM PAGE_DOM PAGE_PATH REPORT.json
  check_html_pages.py hostile PAGE_DOM INDEX_DOM
  check_html_pages.py sorted INDEX_DOM COLUMN ascending|descending
  check_html_pages.py measured DOM light|dark
  check_html_pages.py filtered INDEX_DOM PATH

figures: the index's cards equal the JSON summary, its file table has one row
per file of the JSON with that file's figures, the sort script ran (the
headings became buttons); the file page's cards and function rows equal the
JSON's figures of that file, and its code table has rows.
sorted: after clicks on a column's heading, the rows of every directory are
in the order of that column's figures.
filtered: after the filter's text was typed, the one file row left shown
is PATH's, and every other row and empty directory is hidden.
measured: what html_measure.js found in the laid-out page: every file name
of the index is shown whole inside its cell and the window, the page took
the asked colour scheme, and no text has a contrast below 4.5:1.
hostile: names and descriptions holding markup are text: no element came
from them, and their text is there as written.
"""
import html.parser
import json
import sys


class Dom(html.parser.HTMLParser):
    """A small element tree: tag, attributes, children, text."""

    VOID = {"meta", "link", "br", "img", "input", "col", "hr"}

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.root = {"tag": "#root", "attrs": {}, "children": [], "text": ""}
        self.stack = [self.root]
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        node = {"tag": tag, "attrs": dict(attrs), "children": [], "text": ""}
        self.stack[-1]["children"].append(node)
        if tag not in self.VOID:
            self.stack.append(node)

    def handle_endtag(self, tag):
        for depth in range(len(self.stack) - 1, 0, -1):
            if self.stack[depth]["tag"] == tag:
                del self.stack[depth:]
                return

    def handle_data(self, data):
        self.stack[-1]["children"].append(data)


def walk(node):
    yield node
    for child in node["children"]:
        if isinstance(child, dict):
            yield from walk(child)


def text(node):
    return "".join(c if isinstance(c, str) else text(c) for c in node["children"])


def find(node, tag, cls=None, ident=None):
    for n in walk(node):
        if n["tag"] != tag:
            continue
        if cls is not None and cls not in n["attrs"].get("class", "").split():
            continue
        if ident is not None and n["attrs"].get("id") != ident:
            continue
        yield n


failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def cards(dom):
    """{label: (percent text, "covered of items ...")} of the figure cards."""
    out = {}
    for card in find(dom.root, "div", "card"):
        parts = {c["attrs"].get("class"): text(c) for c in card["children"] if isinstance(c, dict)}
        out[parts["label"]] = (parts["pct"], parts["of"])
    return out


def shown(percent, covered, items):
    """The page's percentage: "—" with nothing to count, else tenths
    truncated, which agree with the JSON's whole percent."""
    if items == 0:
        return "\u2014"
    tenths = covered * 1000 // items
    expect(tenths // 10 == percent, f"{covered}/{items}: JSON percent {percent}")
    return f"{tenths // 10}.{tenths % 10} %"


def expect_card(found, label, percent, covered, items):
    expect(label in found, f"card {label} missing")
    if label in found:
        pct, of = found[label]
        want = shown(percent, covered, items)
        expect(pct == want, f"card {label}: {pct!r}, JSON {want}")
        if items == 0:
            expect(of.startswith("no "), f"card {label}: {of!r}, nothing to count")
        else:
            expect(of.startswith(f"{covered} of {items} "), f"card {label}: {of!r}, JSON {covered} of {items}")


def spaced(node):
    return " ".join(c if isinstance(c, str) else spaced(c) for c in node["children"])


def cell(node):
    return " ".join(spaced(node).split())


def figure_text(percent, covered, items):
    if items == 0:
        return "\u2014"
    return f"{shown(percent, covered, items)} {covered}/{items}"


def file_rows(index_dom):
    """(path, cells) of every file row of the index, in document order: the
    directory from its group's heading, the name from the row's link."""
    for group in find(index_dom.root, "section"):
        heading = next(find(group, "h3"), None)
        if heading is None:
            continue
        directory = text(heading)
        directory = "" if directory == "(no directory)" else directory
        for tr in find(group, "tr"):
            cells = [c for c in tr["children"] if isinstance(c, dict) and c["tag"] in ("td", "th")]
            link = next(find(cells[0], "a"), None) if cells else None
            if link is not None:
                yield directory + text(link), cells


def sorted_index(index_dom, column, descending):
    """The rows of every directory are in the order of `column`'s figure
    (covered / items), a figure with nothing to count ("—") after every
    number in either direction, ties in name order."""
    groups = {}
    for path, cells in file_rows(index_dom):
        directory = path.rsplit("/", 1)[0] if "/" in path else ""
        groups.setdefault(directory, []).append(cell(cells[column]))
    expect(groups, "sorted index: no rows")

    def key(figure):
        if "/" not in figure:
            return -1.0
        covered, items = figure.split()[-1].split("/")
        return int(covered) / int(items)

    for directory, figures in groups.items():
        keys = [key(f) for f in figures]
        numbers = [k for k in keys if k >= 0]
        want = sorted(numbers, reverse=descending) + [k for k in keys if k < 0]
        expect(keys == want, f"sorted index: {directory or '(no directory)'} in the order {figures}")
    heads = [th for th in find(index_dom.root, "th") if th["attrs"].get("aria-sort")]
    expect(len(heads) == 1, f"sorted index: {len(heads)} headings marked as sorted")


def figures(index_dom, page_dom, page_path, report):
    view = report["coverage_view"]
    summary = report["summary"]
    found = cards(index_dom)
    ter = summary["ter"][view]
    expect_card(found, "TER", ter["percent"], ter["covered"], ter["items"])
    st = summary["statements"]
    expect_card(found, "Statements", st["percent"], st["hits"], st["total"])
    lc = summary["line_coverage"]
    for label, key in (("Functions", "functions"), ("Lines", "lines"), ("Branches", "branches")):
        expect_card(found, label, lc[key]["percent"], lc[key]["hit"], lc[key]["found"])
    if summary["mcdc"]["conditions"] > 0:
        m = summary["mcdc"]
        expect_card(found, "MC/DC", m["percent"], m["covered"], m["conditions"])
    # A figure with nothing to count draws no bar, in the cards and the rows.
    for card in find(index_dom.root, "div", "na"):
        expect(not any(find(card, "div", "bar")), "index: a card with nothing to count has a bar")
    for td in find(index_dom.root, "td"):
        if cell(td) == "\u2014":
            expect(td["attrs"].get("class") == "na", f"index: a \u2014 cell of class {td['attrs'].get('class')!r}")

    table = next(find(index_dom.root, "table", ident="files"), None)
    expect(table is not None, "index: no file table")
    if table is None:
        return
    heads = list(find(table, "th"))
    expect(all(any(c["tag"] == "button" for c in th["children"] if isinstance(c, dict)) for th in heads),
           "index: the sort script did not make the headings buttons")
    sources = {s["path"]: s["line_coverage"] for s in report["sources"]}
    rows = {path: [cell(c) for c in cells] for path, cells in file_rows(index_dom)}
    expect(len(rows) == len(report["files"]), f"index: {len(rows)} file rows, JSON {len(report['files'])} files")
    for f in report["files"]:
        row = rows.get(f["path"])
        expect(row is not None, f"index: no row for {f['path']}")
        if row is None:
            continue
        t = f["ter"][view]
        expect(row[1] == figure_text(t["percent"], t["covered"], t["items"]), f"{f['path']} TER {row[1]!r}")
        s = f["statements"]
        expect(row[2] == figure_text(s["percent"], s["hits"], s["total"]), f"{f['path']} statements {row[2]!r}")
        if f["path"] in sources:
            c = sources[f["path"]]
            for col, key in ((3, "functions"), (4, "lines"), (5, "branches")):
                want = figure_text(c[key]["percent"], c[key]["hit"], c[key]["found"])
                expect(row[col] == want, f"{f['path']} {key} {row[col]!r}, JSON {want!r}")

    f = next((f for f in report["files"] if f["path"] == page_path), None)
    expect(f is not None, f"JSON has no file {page_path}")
    if f is None:
        return
    found = cards(page_dom)
    t = f["ter"][view]
    expect_card(found, "TER", t["percent"], t["covered"], t["items"])
    s = f["statements"]
    expect_card(found, "Statements", s["percent"], s["hits"], s["total"])
    c = sources[page_path]
    for label, key in (("Functions", "functions"), ("Lines", "lines"), ("Branches", "branches")):
        expect_card(found, label, c[key]["percent"], c[key]["hit"], c[key]["found"])
    table = next(find(page_dom.root, "table", "grid"), None)
    names = []
    for tr in find(table, "tr"):
        cells = [c for c in tr["children"] if isinstance(c, dict) and c["tag"] in ("td", "th")]
        if cells and cells[0]["tag"] == "th" and cells[0]["attrs"].get("scope") == "row":
            names.append((cell(cells[0]), cell(cells[3])))
    want = [(fn["name"] + "()", figure_text(fn["ter"][view]["percent"], fn["ter"][view]["covered"],
                                             fn["ter"][view]["items"])) for fn in f["functions"]]
    expect(names == want, f"page functions {names}, JSON {want}")
    code = next(find(page_dom.root, "table", "code"), None)
    expect(code is not None and sum(1 for _ in find(code, "tr")) > 1, "page: no code rows")


def hostile(page_dom, index_dom):
    for dom, name in ((page_dom, "page"), (index_dom, "index")):
        expect(not any(find(dom.root, "img")), f"{name}: an img element came from a text")
        titles = [text(t) for t in find(dom.root, "title")]
        expect(all("owned" not in t for t in titles), f"{name}: a script ran: {titles}")
    scripts = [text(s) for s in find(page_dom.root, "script")]
    expect(all("alert" not in s and "owned" not in s for s in scripts), "page: a script element came from a text")
    body = text(page_dom.root)
    for written in ('"><img src=x onerror=alert(2)> <script>alert(1)</script>', "<script>document.title='owned'</script>"):
        expect(written in body, f"page: the text {written!r} is not shown as text")


def filtered(index_dom, path):
    shown = []
    for group in find(index_dom.root, "section"):
        heading = next(find(group, "h3"), None)
        if heading is None:
            continue
        group_hidden = "hidden" in group["attrs"]
        for tr in find(group, "tr"):
            link = next(find(tr, "a"), None)
            if link is not None and "hidden" not in tr["attrs"] and not group_hidden:
                shown.append(text(heading) + text(link))
    expect(shown == [path], f"filtered: rows shown {shown}, want [{path!r}]")


def measured(dom, scheme):
    pre = next(find(dom.root, "pre", ident="measure"), None)
    expect(pre is not None, "measured: the page did not measure itself")
    if pre is None:
        return
    found = json.loads(text(pre))
    expect(found["dark"] == (scheme == "dark"), f"measured: the page is not in the {scheme} scheme")
    for name in found["names"]:
        whole = (name["cell"] > 0 and name["textWidth"] > 0 and not name["clipped"]
                 and name["textRight"] <= name["cellRight"] + 1 and name["textRight"] <= name["viewport"] + 1)
        expect(whole, f"measured: the name {name['name']!r} is not shown whole: {name}")
    expect(found["texts"] > 0, "measured: no text")
    for low in found["lowContrast"]:
        expect(False, f"measured ({scheme}): contrast {low['ratio']} of {low['text']!r} ({low['color']} on "
                      f"{low['background']})")


def main():
    if sys.argv[1] == "figures":
        index_dom = Dom(open(sys.argv[2], encoding="utf-8").read())
        page_dom = Dom(open(sys.argv[3], encoding="utf-8").read())
        figures(index_dom, page_dom, sys.argv[4], json.load(open(sys.argv[5], encoding="utf-8")))
    elif sys.argv[1] == "filtered":
        filtered(Dom(open(sys.argv[2], encoding="utf-8").read()), sys.argv[3])
    elif sys.argv[1] == "measured":
        measured(Dom(open(sys.argv[2], encoding="utf-8").read()), sys.argv[3])
    elif sys.argv[1] == "sorted":
        sorted_index(Dom(open(sys.argv[2], encoding="utf-8").read()), int(sys.argv[3]), sys.argv[4] == "descending")
    else:
        hostile(Dom(open(sys.argv[2], encoding="utf-8").read()), Dom(open(sys.argv[3], encoding="utf-8").read()))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
