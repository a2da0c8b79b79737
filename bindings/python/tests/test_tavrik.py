"""The module against tavrik-batch (TAVRIK_BATCH) on the same data: every number to the last
bit, the texts byte for byte; missing values, the input it refuses, and its exceptions."""

import json
import math
import os
import subprocess
from pathlib import Path

import numpy as np
import pandas as pd
import pytest

import tavrik

EXAMPLES = Path(os.environ.get("TAVRIK_EXAMPLES", Path(__file__).parents[3] / "examples"))
EPOCH = "1000000000"


@pytest.fixture(autouse=True)
def fixed_date(monkeypatch):
    # the report's date line, as the batch program is given it
    monkeypatch.setenv("SOURCE_DATE_EPOCH", EPOCH)


def batch(tmp_path, *args):
    program = os.environ.get("TAVRIK_BATCH")
    if not program:
        pytest.skip("TAVRIK_BATCH names no tavrik-batch to compare with")
    env = dict(os.environ, SOURCE_DATE_EPOCH=EPOCH)
    done = subprocess.run(
        [program, *map(str, args)], cwd=tmp_path, env=env, capture_output=True, text=True
    )
    assert done.returncode == 0, done.stderr


def read_bytes(path):
    return Path(path).read_bytes().decode("utf-8")


def same(values, expected):
    """Equal to the last bit, null in the document being NaN here."""
    expected = np.array(expected, dtype=object)
    expected = np.where(expected == None, np.nan, expected).astype(np.float64)  # noqa: E711
    values = np.asarray(values, dtype=np.float64)
    assert values.shape == expected.shape
    assert np.array_equal(values, expected, equal_nan=True), (values, expected)


def test_the_highland_example_gives_every_number_of_tavrik_batch(tmp_path):
    data = EXAMPLES / "highland.tvk"
    geography = EXAMPLES / "highland_geography.csv"
    batch(
        tmp_path,
        data,
        "--scaled",
        "--heritability", "0.8",
        "--heritability-sweep", "0.5:1:0.25", "--sweep-output", "sweep.csv",
        "--bootstrap", "60",
        "--seed", "11",
        "--tree", "tree.nwk",
        "--mantel", geography,
        "--report", "report.txt",
        "--listing", "listing.txt",
        "--json", "run.json",
    )  # fmt: skip

    frame = tavrik.read_tvk(data)
    assert isinstance(frame["Population"].dtype, pd.CategoricalDtype)
    assert frame.attrs["census"]["Harnavel"] == 4120.0
    result = tavrik.run(frame, scaled=True, heritability=0.8)
    sweep = tavrik.sweep(result, "0.5:1:0.25")
    boot = tavrik.bootstrap(result, 60, seed=11)
    mantel = tavrik.mantel(result, geography, seed=11)
    newick = tavrik.tree(result, bootstrap=boot)

    text = read_bytes(tmp_path / "run.json")
    assert result.to_json(sweep=sweep, bootstrap=boot, mantel=mantel) == text
    assert result.listing == read_bytes(tmp_path / "listing.txt")
    assert newick == read_bytes(tmp_path / "tree.nwk")
    assert result.report + boot.report in read_bytes(tmp_path / "report.txt")
    assert read_bytes(tmp_path / "report.txt").endswith(mantel.report)

    doc = json.loads(text)
    assert result.populations == [p["name"] for p in doc["populations"]]
    assert result.variables == [v["name"] for v in doc["variables"]]
    same(result.R, doc["rMatrix"]["values"])
    same(result.R_se, doc["rMatrix"]["standardErrors"])
    same(result.R_uncorrected_diagonal, doc["rMatrix"]["uncorrectedDiagonal"])
    same(result.D2, doc["dSquare"]["values"])
    same(result.D2_se, doc["dSquare"]["standardErrors"])
    same(result.R_scaled, doc["scaled"]["rMatrix"])
    same(result.D2_scaled, doc["scaled"]["dSquare"])
    same(result.pcoa_scaled, doc["scaled"]["principalCoordinates"]["scores"])
    same(result.eigenvalues, doc["principalCoordinates"]["eigenvalues"])
    same(result.shares, doc["principalCoordinates"]["shares"])
    same(result.pcoa, doc["principalCoordinates"]["scores"])
    assert list(result.pcoa.index) == result.populations
    assert tuple(result.fst) == (doc["fst"]["fst"], doc["fst"]["unbiased"], doc["fst"]["se"])
    vt = doc["velbrandTorvane"]
    same(result.vt["observed"], vt["observedVariance"])
    same(result.vt["expected"], vt["expectedVariance"])
    same(result.vt["residual"], vt["residualVariance"])
    same(result.n, [p["sampleSize"] for p in doc["populations"]])
    same(result.weights, [p["weight"] for p in doc["populations"]])
    same(result.census, [p["censusSize"] for p in doc["populations"]])
    points = doc["heritabilitySweep"]["points"]
    same(sweep.table["fst_se"], [p["fstSe"] for p in points])
    same(sweep.table["Kelmoth"], [p["rDiagonal"][1] for p in points])
    stats = doc["bootstrap"]["statistics"]
    same(boot.statistics["lower"], [s["lower"] for s in stats])
    same(boot.statistics["bootstrap_se"], [s["bootstrapSe"] for s in stats])
    same(mantel.table["p"], [m["p"] for m in doc["mantel"]["matrices"]])

    # the file run directly, and a run's parts refused by another run
    assert tavrik.run(data, scaled=True, heritability=0.8).to_json() == result.to_json()
    with pytest.raises(tavrik.Error, match="another run"):
        tavrik.run(frame).to_json(bootstrap=boot)


def valleys():
    """Three populations as a dict: labels that are numbers, values as lists and arrays,
    missing values as NaN and None, and a variable left out of the choice."""
    rng = np.random.default_rng(5)
    population = [7, 3, 9] * 12
    length = 170 + rng.normal(0, 4, 36) + np.array(population) * 0.6
    breadth = list(60 + rng.normal(0, 2, 36) - np.array(population) * 0.3)
    height = 120 + rng.normal(0, 3, 36)
    length[4] = np.nan
    breadth[9] = None
    height[20] = np.nan
    return {"Valley": population, "Length": length, "Breadth": breadth, "Height": height}


def test_a_dict_with_missing_values_runs_as_its_data_file_does(tmp_path):
    data = valleys()
    census = {"3": 500, "7": 1250.5, "9": 800}
    file = tmp_path / "valleys.tvk"
    tavrik.write_tvk(data, file, population="Valley", census=census, title="Three valleys")
    assert not [p for p in tmp_path.iterdir() if p.name.startswith(".")]
    batch(
        tmp_path, file, "--scaled", "--variable", "Length", "--variable", "Breadth",
        "--json", "run.json", "--report", "report.txt",
    )  # fmt: skip

    result = tavrik.run(
        data,
        population="Valley",
        variables=["Length", "Breadth"],
        census=census,
        scaled=True,
        name=str(file),
        title="Three valleys",
    )
    assert result.to_json() == read_bytes(tmp_path / "run.json")
    assert result.report == read_bytes(tmp_path / "report.txt")
    # the records missing Length or Breadth are left out; the one missing Height is not
    assert result.populations == ["7", "3", "9"]
    assert list(result.n) == [11, 11, 12]
    assert list(result.left_out) == [1, 1, 0]

    # read back, the file gives the same table and the same run
    frame = tavrik.read_tvk(file)
    assert frame.attrs["census"] == {"7": 1250.5, "3": 500.0, "9": 800.0}
    assert math.isnan(frame["Breadth"][9]) and math.isnan(frame["Height"][20])
    assert (
        tavrik.run(frame, variables=["Length", "Breadth"], scaled=True).to_json()
        == result.to_json()
    )


def test_a_distance_matrix_serves_as_the_geography_file_would(tmp_path):
    result = tavrik.run(tavrik.read_tvk(EXAMPLES / "highland.tvk"))
    names = result.populations[::-1]
    rng = np.random.default_rng(2)
    upper = np.triu(rng.uniform(1, 300, (6, 6)), 1)
    distances = upper + upper.T
    file = tmp_path / "distances.csv"
    file.write_text(
        "," + ",".join(names) + "\n"
        + "".join(n + "," + ",".join(repr(v) for v in row) + "\n" for n, row in zip(names, distances))
    )  # fmt: skip
    from_file = tavrik.mantel(result, file, permutations=999)
    from_frame = tavrik.mantel(
        result, pd.DataFrame(distances, index=names, columns=names), permutations=999
    )
    from_pair = tavrik.mantel(result, (names, distances), permutations=999)
    pd.testing.assert_frame_equal(from_frame.table, from_file.table, check_exact=True)
    pd.testing.assert_frame_equal(from_pair.table, from_file.table, check_exact=True)


def test_a_column_that_is_not_numeric_is_refused_by_name():
    data = valleys()
    data["Site"] = ["north", "south"] * 18
    with pytest.raises(tavrik.DataError, match='the variable "Site" is not numeric'):
        tavrik.run(data, population="Valley")
    data["Site"] = [1.5] * 35 + ["n/a"]
    with pytest.raises(tavrik.DataError, match=r'"Site" is not numeric: row 36 holds \'n/a\''):
        tavrik.run(pd.DataFrame(data), population="Valley")
    frame = pd.DataFrame(data)
    frame["Flag"] = True
    with pytest.raises(tavrik.DataError, match='"Flag" is not numeric: it holds bool'):
        tavrik.run(frame, population="Valley", variables=["Length", "Flag"])
    # chosen away, it costs nothing
    assert tavrik.run(frame, population="Valley", variables=["Length", "Height"]).total_n == 34


def test_errors_come_as_their_classes_with_the_engine_s_messages(tmp_path):
    data = valleys()
    cases = [
        (tavrik.DataError, "no population column \"Population\"", lambda: tavrik.run(data)),
        (tavrik.DataError, "no variable named \"Weight\"", lambda: tavrik.run(
            str(EXAMPLES / "highland.tvk"), variables=["Weight"])),
        (tavrik.DataError, "the heritability must be above 0 and at most 1", lambda: tavrik.run(
            data, population="Valley", heritability=0)),
        (tavrik.DataError, "there are 3 populations and 2 census sizes", lambda: tavrik.run(
            data, population="Valley", census=[1, 2])),
        (tavrik.DataError, "absent.tvk", lambda: tavrik.read_tvk(tmp_path / "absent.tvk")),
        (tavrik.DataError, "has no value in row 2", lambda: tavrik.run(
            {"Population": ["A", None, "B"], "X": [1, 2, 3]})),
    ]  # fmt: skip
    for kind, message, call in cases:
        with pytest.raises(kind, match=message) as raised:
            call()
        assert isinstance(raised.value, tavrik.Error) and isinstance(raised.value, ValueError)
    with pytest.raises(tavrik.DataError) as raised:
        tavrik.read_tvk(tmp_path / "absent.tvk")
    assert raised.value.path.endswith("absent.tvk")

    # Breadth is Length halved: the pooled covariance matrix cannot be inverted
    data["Breadth"] = data["Length"] / 2
    with pytest.raises(tavrik.AnalysisError) as raised:
        tavrik.run(data, population="Valley", variables=["Length", "Breadth"])
    assert not isinstance(raised.value, tavrik.DataError)
