"""TAVRIK's analysis of quantitative traits across populations, from Python.

The R matrix with its standard errors, Fst, D-square, the Velbrand-Torvane comparison and the
principal coordinates of a data set held in a pandas DataFrame, a dict of columns or a .tvk
file, with exactly the numbers tavrik-batch prints; and, on a run, the heritability sweep, the
bootstrap, the Mantel test against geography and the neighbor-joining tree.

    >>> import tavrik
    >>> result = tavrik.run(tavrik.read_tvk("examples/highland.tvk"))
    >>> print(result.report)

A missing value is NaN (or None, or pandas' NA): a record missing a chosen variable is left
out, as the programs leave it out. Errors are tavrik.DataError and tavrik.AnalysisError,
both tavrik.Error, itself a ValueError, with the programs' own messages.
"""

import math
import os
import tempfile
from collections import namedtuple

import numpy as np

from . import _engine
from ._errors import AnalysisError, DataError, Error

try:
    import pandas as _pd
except ImportError:  # the results come as dicts of arrays instead
    _pd = None

__version__ = _engine.version
__all__ = [
    "run",
    "read_tvk",
    "write_tvk",
    "sweep",
    "bootstrap",
    "mantel",
    "tree",
    "Result",
    "Sweep",
    "Bootstrap",
    "Mantel",
    "Fst",
    "Error",
    "DataError",
    "AnalysisError",
]

Fst = namedtuple("Fst", ["estimate", "unbiased", "se"])
Fst.__doc__ = """Fst, its unbiased estimate (None without the correction for sampling bias)
and its standard error."""


def _frame(columns, index=None):
    """A DataFrame when pandas is there, else the dict of arrays itself (with the index as
    the key "index")."""
    if _pd is not None:
        return _pd.DataFrame(columns, index=index)
    out = dict(columns)
    if index is not None:
        out["index"] = list(index)
    return out


# ---------------------------------------------------------------- reading the input


def _columns_of(data):
    """The columns of a DataFrame or of a dict of arrays or lists, by name, in order."""
    if _pd is not None and isinstance(data, _pd.DataFrame):
        return {str(name): data[name] for name in data.columns}
    if isinstance(data, dict):
        return {str(name): column for name, column in data.items()}
    raise TypeError(
        "the data must be a pandas DataFrame, a dict of columns or the path of a .tvk file, "
        f"not {type(data).__name__}"
    )


def _is_missing(value):
    if value is None:
        return True
    if _pd is not None and value is _pd.NA:
        return True
    return isinstance(value, float) and math.isnan(value)


def _numeric(name, column):
    """The column as float64, NaN for a missing value; a column of anything but numbers is a
    DataError naming it."""
    if _pd is not None and isinstance(column, _pd.Series):
        if _pd.api.types.is_bool_dtype(column.dtype) or not (
            _pd.api.types.is_numeric_dtype(column.dtype) or column.dtype == object
        ):
            raise DataError(f'the variable "{name}" is not numeric: it holds {column.dtype}')
        if column.dtype != object:
            return column.to_numpy(dtype=np.float64, na_value=np.nan)
        column = column.to_numpy()
    values = np.asarray(column)
    if values.ndim != 1:
        raise DataError(f'the variable "{name}" is not a column of values')
    if values.dtype.kind in "iuf":
        return values.astype(np.float64)
    if values.dtype.kind != "O":
        raise DataError(f'the variable "{name}" is not numeric: it holds {values.dtype}')
    out = np.empty(len(values), dtype=np.float64)
    for row, value in enumerate(values):
        if _is_missing(value):
            out[row] = np.nan
        elif isinstance(value, (int, float, np.integer, np.floating)) and not isinstance(
            value, (bool, np.bool_)
        ):
            out[row] = float(value)
        else:
            raise DataError(
                f'the variable "{name}" is not numeric: row {row + 1} holds {value!r}'
            )
    return out


def _labels(name, column):
    """The population of every record as text, and the populations' order when the column
    gives one (a pandas categorical column: those of its categories that have records)."""
    order = []
    if _pd is not None and isinstance(column, _pd.Series) and isinstance(
        column.dtype, _pd.CategoricalDtype
    ):
        order = [str(c) for c in column.cat.categories]
    labels = []
    for row, value in enumerate(list(column)):
        if _is_missing(value):
            raise DataError(f'the population column "{name}" has no value in row {row + 1}')
        labels.append(str(value))
    present = set(labels)
    return labels, [c for c in order if c in present]


def _census_list(census, populations, labels):
    """Census sizes in the populations' order: from a dict or Series by name, or a sequence
    already in that order; [] for equal sizes."""
    if census is None:
        return []
    names = populations or list(dict.fromkeys(labels))
    if isinstance(census, dict) or (_pd is not None and isinstance(census, _pd.Series)):
        sizes = dict(census.items())
        absent = [n for n in names if n not in sizes]
        if absent:
            raise DataError(
                "the census sizes name no size for the population"
                + ("s " if len(absent) > 1 else " ")
                + ", ".join(f'"{n}"' for n in absent)
            )
        return [float(sizes[n]) for n in names]
    return [float(size) for size in census]


class _Table:
    """The engine's view of the data: name, title, records' populations, order, census
    sizes, variables."""

    def __init__(self, data, population, variables, census, name, title):
        columns = _columns_of(data)
        attrs = getattr(data, "attrs", {}) if _pd is not None else {}
        if population not in columns:
            raise DataError(f'the data have no population column "{population}"')
        self.population, self.populations = _labels(population, columns[population])
        if census is None:
            census = attrs.get("census")
        self.census = _census_list(census, self.populations, self.population)
        # every numeric column goes to the engine, which chooses among them as the programs
        # choose among a file's variables; a column not chosen may hold anything
        self.chosen = [] if variables is None else [str(v) for v in variables]
        self.variable_names, self.variables = [], []
        for n, column in columns.items():
            if n == population:
                continue
            try:
                values = _numeric(n, column)
            except DataError:
                if variables is None or n in self.chosen:
                    raise
                continue
            self.variable_names.append(n)
            self.variables.append(values)
        self.name = name if name is not None else attrs.get("path", "data")
        self.title = title if title is not None else attrs.get("title", "")

    def arguments(self):
        return (
            str(self.name),
            str(self.title),
            self.population,
            self.populations,
            self.census,
            self.variable_names,
            self.variables,
        )


# ---------------------------------------------------------------- results


class Result:
    """One analysis run.

    Attributes (numpy arrays in the order of ``populations``):

    - ``populations``, ``variables``: the names of the run's populations and variables;
    - ``R``, ``R_se``: the R matrix (corrected for sampling bias when asked) and its standard
      errors; ``R_uncorrected_diagonal``: r(ii) before the correction;
    - ``D2``, ``D2_se``: D-square and its standard errors;
    - ``R_scaled``, ``D2_scaled``: the scaled matrices (None unless the run was scaled and
      the census sizes differ);
    - ``fst``: an Fst named tuple (estimate, unbiased, se);
    - ``vt``: the Velbrand-Torvane comparison, one row per population (observed, expected
      and residual variance); ``mean_within_variance``;
    - ``pcoa``: the scores on the first two principal coordinates (columns I and II), with
      ``eigenvalues`` (all, largest first; the report lists the first
      ``eigenvalues_listed``) and ``shares`` (percent on I and II); ``pcoa_scaled`` and the
      ``scaled_`` ones likewise;
    - ``n``: records used per population; ``left_out``: records left out for a missing
      value; ``weights``: the census weights; ``census``: the census sizes;
    - ``report``: the report text; ``listing``: the matrix listing (both with the CR LF
      line ends the programs write).

    ``vt`` and ``pcoa`` are pandas DataFrames indexed by population when pandas is
    installed, else dicts of arrays.
    """

    def __init__(self, run):
        self._run = run
        d = run.results()
        self.populations = list(d["populations"])
        self.variables = list(d["variables"])
        self.name = d["name"]
        self.title = d["title"]
        self.heritability = d["heritability"]
        self.bias_correction = d["bias_correction"]
        self.scaled = d["scaled"]
        self.R = d["R"]
        self.R_se = d["R_se"]
        self.R_uncorrected_diagonal = d["R_uncorrected_diagonal"]
        self.D2 = d["D2"]
        self.D2_se = d["D2_se"]
        self.fst = Fst(d["fst"], d["fst_unbiased"], d["fst_se"])
        self.n = d["n"].astype(np.int64)
        self.left_out = d["left_out"].astype(np.int64)
        self.total_n = int(d["total_n"])
        self.weights = d["weights"]
        self.census = d["census"]
        self.grand_means = d["grand_means"]
        self.total_variances = d["total_variances"]
        self.mean_within_variance = d["mean_within_variance"]
        self.vt = _frame(
            {
                "observed": d["observed_variance"],
                "expected": d["expected_variance"],
                "residual": d["residual_variance"],
            },
            index=self.populations,
        )
        self.eigenvalues = d["eigenvalues"]
        self.eigenvalues_listed = int(d["eigenvalues_listed"])
        self.shares = d["shares"]
        self.pcoa = _frame(
            {"I": d["scores"][:, 0], "II": d["scores"][:, 1]}, index=self.populations
        )
        self.R_scaled = d.get("R_scaled")
        self.D2_scaled = d.get("D2_scaled")
        self.scaled_eigenvalues = d.get("scaled_eigenvalues")
        self.scaled_eigenvalues_listed = d.get("scaled_eigenvalues_listed")
        self.scaled_shares = d.get("scaled_shares")
        self.pcoa_scaled = None
        if self.scaled:
            scores = d["scaled_scores"]
            self.pcoa_scaled = _frame(
                {"I": scores[:, 0], "II": scores[:, 1]}, index=self.populations
            )

    @property
    def report(self):
        """The report text, as tavrik-batch --report writes it."""
        return self._run.report

    @property
    def listing(self):
        """The matrix listing, as tavrik-batch --listing writes it."""
        return self._run.listing

    def to_json(self, sweep=None, bootstrap=None, mantel=None):
        """The results document, as tavrik-batch --json writes it, with the sweep, bootstrap
        and Mantel test given (each a result of this run)."""
        for part in (sweep, bootstrap, mantel):
            if part is not None and part._result is not self:
                raise Error("the sweep, bootstrap or Mantel test belongs to another run")
        return _engine.json(
            self._run,
            None if sweep is None else sweep._sweep,
            None if bootstrap is None else bootstrap._boot,
            None if mantel is None else mantel._mantel,
        )

    def __repr__(self):
        unbiased = "" if self.fst.unbiased is None else f", unbiased {self.fst.unbiased:.6g}"
        return (
            f"<tavrik.Result: {len(self.populations)} populations, {len(self.variables)} "
            f"variables, {self.total_n} records; Fst {self.fst.estimate:.6g}{unbiased} "
            f"(se {self.fst.se:.6g})>"
        )


class Sweep:
    """A heritability sweep: ``table`` has one row per heritability (fst, fst_unbiased,
    fst_se, and r(ii) of every population, in columns named after them); ``points`` is its
    number of rows."""

    def __init__(self, result, sweep):
        self._result = result
        self._sweep = sweep
        d = sweep.rows()
        columns = {
            "heritability": d["heritability"],
            "fst": d["fst"],
            "fst_unbiased": d["fst_unbiased"] if d["bias_correction"] else None,
            "fst_se": d["fst_se"],
        }
        if columns["fst_unbiased"] is None:
            columns["fst_unbiased"] = np.full(len(d["fst"]), np.nan)
        for name, values in zip(d["populations"], d["r_diagonal"]):
            columns[name] = values
        self.table = _frame(columns)
        self.points = len(d["heritability"])

    def __repr__(self):
        return f"<tavrik.Sweep: {self.points} heritabilities>"


class Bootstrap:
    """A bootstrap of a run's records: ``statistics`` (one row per statistic: Fst, unbiased
    Fst, r(ii) per population, D-square per pair, with the run's estimate, the analytic and
    bootstrap standard errors, the bias and the interval), ``replicates``, ``used``, ``seed``,
    ``interval`` and ``report`` (the text the report adds)."""

    def __init__(self, result, boot):
        self._result = result
        self._boot = boot
        d = boot.rows()
        self.statistics = _frame(
            {
                k: d[k]
                for k in (
                    "statistic",
                    "population",
                    "population2",
                    "estimate",
                    "analytic_se",
                    "bootstrap_mean",
                    "bias",
                    "bootstrap_se",
                    "lower",
                    "upper",
                )
            }
        )
        self.replicates = d["replicates"]
        self.used = d["used"]
        self.seed = d["seed"]
        self.interval = d["interval"]
        self.report = d["report"]

    def __repr__(self):
        return f"<tavrik.Bootstrap: {self.used} of {self.replicates} replicates, seed {self.seed}>"


class Mantel:
    """A Mantel test: ``table`` (one row per matrix: r, p, and the partial test's r and p
    when a control was given), ``permutations``, ``notes`` and ``report`` (the text the
    report adds)."""

    def __init__(self, result, mantel):
        self._result = result
        self._mantel = mantel
        d = mantel.rows()
        self.table = _frame(
            {
                "matrix": d["matrix"],
                "r": d["r"],
                "p": d["p"],
                "partial_r": [np.nan if v is None else v for v in d["partial_r"]],
                "partial_p": [np.nan if v is None else v for v in d["partial_p"]],
            }
        )
        self.permutations = d["permutations"]
        self.notes = list(d["notes"])
        self.report = d["report"]

    def __repr__(self):
        return f"<tavrik.Mantel: {self.permutations} permutations>"


# ---------------------------------------------------------------- the calls


def run(
    data,
    population="Population",
    variables=None,
    census=None,
    heritability=1.0,
    bias_correction=True,
    scaled=False,
    *,
    name=None,
    title=None,
):
    """Runs the analysis and returns a Result.

    data: a pandas DataFrame, a dict of numpy arrays or lists (one per column), or the path
    of a .tvk file. population: the column holding every record's population (any values,
    taken as text; a categorical column's categories give the populations' order, else the
    order of first appearance). variables: the columns to analyse (default: all others).
    census: the census sizes, a dict or Series by population or a sequence in the
    populations' order; None takes ``data.attrs["census"]`` (as read_tvk sets it), else
    equal sizes. heritability in (0, 1]. scaled: the scaled analysis too. name and title
    stand for the data file in the report (default: ``data.attrs["path"]`` and
    ``["title"]``, else "data").

    A run of a .tvk file takes the file's census sizes; population and census are then
    not used.
    """
    settings = (float(heritability), bool(bias_correction), bool(scaled))
    if isinstance(data, (str, os.PathLike)):
        chosen = [] if variables is None else [str(v) for v in variables]
        return Result(_engine.run_file(os.fspath(data), *settings, chosen))
    table = _Table(data, str(population), variables, census, name, title)
    return Result(_engine.run_table(*table.arguments(), *settings, table.chosen))


def read_tvk(path):
    """Reads a .tvk file into a DataFrame (a dict of arrays without pandas): the column
    "Population" (categorical, in the file's order of populations) and one column per
    variable, NaN for a missing value. ``attrs`` holds "census" (a dict of census sizes by
    population), "title" and "path" (the file's full path), which run() takes."""
    name, title, population, populations, census, variable_names, columns = _engine.read_table(
        os.fspath(path)
    )
    sizes = dict(zip(populations, census))
    if _pd is None:
        out = {"Population": population}
        out.update(zip(variable_names, columns))
        return out
    frame = _pd.DataFrame(
        {"Population": _pd.Categorical(population, categories=populations)}
    )
    for variable, column in zip(variable_names, columns):
        frame[variable] = column
    frame.attrs.update({"census": sizes, "title": title, "path": name})
    return frame


def write_tvk(data, path, population="Population", variables=None, census=None, title=None):
    """Writes data (as run() takes them) to a .tvk file that tavrik-batch and the desktop
    program read; the file is replaced only once the whole text is written."""
    target = os.fspath(path)
    table = _Table(data, str(population), variables, census, target, title)
    text = _engine.table_text(*table.arguments())
    folder = os.path.dirname(os.path.abspath(target))
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".tavrik-", suffix=".tvk")
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="") as out:
            out.write(text)
        os.replace(temporary, target)
    except BaseException:
        os.unlink(temporary)
        raise


def sweep(result, heritabilities="0.1:1:0.1"):
    """The run's heritability sweep over "FROM:TO:STEP" (as --heritability-sweep)."""
    return Sweep(result, _engine.sweep(result._run, str(heritabilities)))


def bootstrap(result, replicates=1000, seed=_engine.default_seed, interval="bca"):
    """The bootstrap of the run's records: replicates resamplings within populations, the
    interval "bca", "percentile" or "basic"; the same seed gives the same numbers."""
    if replicates < 1:
        raise DataError("the number of bootstrap replicates must be at least 1")
    return Bootstrap(
        result, _engine.bootstrap(result._run, int(replicates), int(seed), str(interval))
    )


def _geography_source(geography, what):
    """(path or CSV text, whether it is text) of a geography: a path, or a square matrix of
    distances with the populations' names (a DataFrame indexed and headed by them, or a
    (names, matrix) pair)."""
    if isinstance(geography, (str, os.PathLike)):
        return os.fspath(geography), False
    if _pd is not None and isinstance(geography, _pd.DataFrame):
        names, matrix = [str(n) for n in geography.index], geography.to_numpy(dtype=np.float64)
        if [str(c) for c in geography.columns] != names:
            raise DataError(f"the {what} matrix must name the same populations in its rows and columns")
    else:
        names, matrix = geography
        names, matrix = [str(n) for n in names], np.asarray(matrix, dtype=np.float64)
    if matrix.shape != (len(names), len(names)):
        raise DataError(f"the {what} matrix must be square, one row and column per name")

    def cell(text):
        plain = text == text.strip() and not any(c in text for c in ',;"\r\n')
        return text if plain else '"' + text.replace('"', '""') + '"'

    # repr gives the shortest text that reads back to the same double
    lines = ["," + ",".join(cell(n) for n in names)]
    for name, row in zip(names, matrix):
        lines.append(cell(name) + "," + ",".join(repr(float(v)) for v in row))
    return "\n".join(lines) + "\n", True


def mantel(
    result,
    geography,
    control=None,
    method="pearson",
    permutations=_engine.default_permutations,
    exhaustive=False,
    alternative="greater",
    seed=_engine.default_seed,
):
    """The Mantel test of the run's D-square (and scaled D-square) against geography: the
    path of a coordinates or distance CSV file, or a square distance matrix with the
    populations' names (a DataFrame, or a (names, matrix) pair); with a control (the same
    kinds) the partial test too. method "pearson" or "spearman"; alternative "greater" or
    "two-sided"."""
    if method not in ("pearson", "spearman"):
        raise DataError(f'the method must be "pearson" or "spearman", not "{method}"')
    if alternative not in ("greater", "two-sided"):
        raise DataError(f'the alternative must be "greater" or "two-sided", not "{alternative}"')
    source, is_text = _geography_source(geography, "geography")
    control_source, control_text = (None, False)
    if control is not None:
        control_source, control_text = _geography_source(control, "control")
    return Mantel(
        result,
        _engine.mantel(
            result._run,
            source,
            is_text,
            control_source,
            control_text,
            method == "spearman",
            int(permutations),
            bool(exhaustive),
            alternative == "two-sided",
            int(seed),
        ),
    )


def tree(result, bootstrap=None, scaled=False):
    """The neighbor-joining tree of the run's D-square (scaled: of the scaled one) as Newick
    text, with the support of a bootstrap of the same run on its inner nodes."""
    if bootstrap is not None and bootstrap._result is not result:
        raise Error("the bootstrap belongs to another run")
    newick, _, _ = _engine.tree(result._run, bool(scaled), None if bootstrap is None else bootstrap._boot)
    return newick
