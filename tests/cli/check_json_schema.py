#!/usr/bin/env python3
"""Runs tavrik-batch --json on several data sets and validates every document against the
published schema; then checks that the schema refuses documents with a member missing or of
the wrong kind, so that passing means something.

Usage: check_json_schema.py TAVRIK_BATCH SCHEMA EXAMPLES_DIR TEST_DATA_DIR
Exits 77 (skipped) when the jsonschema module is not installed.
"""
import copy
import json
import os
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("python3 jsonschema module not installed: skipped")
    sys.exit(77)


def main():
    batch, schema_path, examples, data = sys.argv[1:5]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)

    runs = {
        # census sizes that differ, the scaled pass, a sweep, a bootstrap and a Mantel test
        "highland": [os.path.join(examples, "highland.tvk"), "--scaled",
                     "--heritability-sweep", "0.5:1:0.1", "--sweep-output", "sweep.csv",
                     "--bootstrap", "30", "--bootstrap-output", "boot.csv",
                     "--mantel", os.path.join(examples, "highland_geography.csv"),
                     "--permutations", "99"],
        # equal sizes: no scaled pass although asked for
        "equal": [os.path.join(data, "golden", "equal_sizes.tvk"), "--scaled"],
        # names beyond ASCII, no bias correction
        "names": [os.path.join(data, "golden", "long_names.tvk"), "--no-bias-correction",
                  "--heritability", "0.8"],
        # records left out for a missing value
        "missing": [os.path.join(data, "missing_removed.tvk")],
    }
    failures = 0
    documents = {}
    with tempfile.TemporaryDirectory() as work:
        for name, args in runs.items():
            out = os.path.join(work, name + ".json")
            done = subprocess.run([batch, *args, "--report", os.path.join(work, name + ".txt"),
                                   "--json", out], cwd=work, capture_output=True, text=True)
            if done.returncode != 0:
                print(f"FAIL {name}: tavrik-batch exited {done.returncode}: {done.stderr}")
                failures += 1
                continue
            with open(out, encoding="utf-8") as f:
                documents[name] = json.load(f)
            for error in validator.iter_errors(documents[name]):
                print(f"FAIL {name}: {error.json_path}: {error.message}")
                failures += 1

    if "highland" in documents:
        good = documents["highland"]
        broken = {
            "without fst": lambda d: d.pop("fst"),
            "a text in the R matrix": lambda d: d["rMatrix"]["values"][0].__setitem__(0, "x"),
            "an empty scaled member": lambda d: d.__setitem__("scaled", {}),
            "an unknown member": lambda d: d.__setitem__("extra", 1),
            "null outside the bootstrap": lambda d: d["fst"].__setitem__("se", None),
            "a Mantel test without p": lambda d: d["mantel"]["matrices"][0].pop("p"),
        }
        for what, damage in broken.items():
            doc = copy.deepcopy(good)
            damage(doc)
            if validator.is_valid(doc):
                print(f"FAIL the schema accepts a document with {what}")
                failures += 1
        if not good["heritabilitySweep"]["points"] or good["scaled"] is None:
            print("FAIL highland: the sweep or the scaled pass is missing")
            failures += 1
    print(f"{len(documents)} documents checked, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
