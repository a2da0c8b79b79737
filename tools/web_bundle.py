#!/usr/bin/env python3
"""Makes the web page: one HTML file with its style, its script, the engine's WebAssembly
(gzip-compressed, in base64), the worker that runs it, the example data and the user guide, so
that it opens from a local file and needs nothing else.

Usage: web_bundle.py ENGINE_JS OUTPUT_HTML   (ENGINE_WASM beside ENGINE_JS)
"""
import base64
import gzip
import json
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
PAGE = ROOT / "web" / "page"
EXAMPLES = ("highland.tvk", "highland_geography.csv")


def script_text(text):
    # Inside <script> nothing may close the element early or open an HTML comment; "<\/" means
    # "</" in JavaScript strings.
    if "<!--" in text:
        sys.exit("web_bundle.py: a script holds <!--, which the page cannot inline")
    return re.sub(r"</(script)", r"<\\/\1", text, flags=re.IGNORECASE)


def json_text(value):
    return json.dumps(value, ensure_ascii=False).replace("<", "\\u003c")


def guide_body():
    guide = (ROOT / "docs" / "help" / "tavrik-guide.html").read_text(encoding="utf-8")
    style = re.search(r"<style[^>]*>(.*?)</style>", guide, re.S)
    body = re.search(r"<body[^>]*>(.*)</body>", guide, re.S)
    if body is None:
        sys.exit("web_bundle.py: the user guide has no <body>")
    # the guide's own style, limited to the help panel
    rules = ""
    if style:
        rules = re.sub(r"(^|})\s*([^{}@]+){",
                       lambda m: m.group(1) + "\n" + ", ".join(
                           "#help-panel " + s.strip() for s in m.group(2).split(",")) + " {",
                       style.group(1))
        rules = rules.replace("#help-panel body", "#help-panel")
    return "<style>" + rules + "</style>" + body.group(1)


def fill(template, marker, text):
    if template.count(marker) != 1:
        sys.exit(f"web_bundle.py: the page template must hold {marker} exactly once")
    return template.replace(marker, text)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    engine_js = pathlib.Path(sys.argv[1])
    engine = engine_js.read_text(encoding="utf-8")
    # mtime 0: the same page from the same build
    wasm = gzip.compress(engine_js.with_suffix(".wasm").read_bytes(), compresslevel=9, mtime=0)
    out = pathlib.Path(sys.argv[2])
    page = (PAGE / "tavrik.html").read_text(encoding="utf-8")
    examples = {name: (ROOT / "examples" / name).read_text(encoding="utf-8") for name in EXAMPLES}
    worker = engine + "\n" + (PAGE / "worker.js").read_text(encoding="utf-8")
    page = fill(page, "/*@STYLE@*/", (PAGE / "style.css").read_text(encoding="utf-8"))
    page = fill(page, "/*@WASM@*/", base64.b64encode(wasm).decode("ascii"))
    page = fill(page, "/*@WORKER@*/", script_text(worker))
    page = fill(page, "/*@EXAMPLES@*/", json_text(examples))
    page = fill(page, "<!--@HELP@-->", guide_body())
    page = fill(page, "/*@APP@*/", script_text((PAGE / "app.js").read_text(encoding="utf-8")))
    tmp = out.with_name(out.name + ".tmp")
    tmp.write_text(page, encoding="utf-8")
    tmp.replace(out)


if __name__ == "__main__":
    main()
