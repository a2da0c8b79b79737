"""Type hints of the module tavrik; see its docstrings for what each call does."""

import os
from typing import Any, Mapping, NamedTuple, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

Array = npt.NDArray[np.float64]
Frame = Any  # a pandas DataFrame, or a dict of arrays without pandas
Data = Union[Frame, Mapping[str, Union[Sequence[Any], npt.ArrayLike]], str, os.PathLike[str]]
Census = Union[Mapping[str, float], Sequence[float], None]
Geography = Union[str, os.PathLike[str], Frame, Tuple[Sequence[str], npt.ArrayLike]]

class Error(ValueError):
    path: Optional[str]
    line: Optional[int]
    field: Optional[str]

class DataError(Error): ...
class AnalysisError(Error): ...

class Fst(NamedTuple):
    estimate: float
    unbiased: Optional[float]
    se: float

class Result:
    name: str
    title: str
    populations: list[str]
    variables: list[str]
    heritability: float
    bias_correction: bool
    scaled: bool
    R: Array
    R_se: Array
    R_uncorrected_diagonal: Array
    D2: Array
    D2_se: Array
    R_scaled: Optional[Array]
    D2_scaled: Optional[Array]
    fst: Fst
    n: npt.NDArray[np.int64]
    left_out: npt.NDArray[np.int64]
    total_n: int
    weights: Array
    census: Array
    grand_means: Array
    total_variances: Array
    mean_within_variance: float
    vt: Frame
    pcoa: Frame
    eigenvalues: Array
    eigenvalues_listed: int
    shares: Array
    pcoa_scaled: Optional[Frame]
    scaled_eigenvalues: Optional[Array]
    scaled_eigenvalues_listed: Optional[int]
    scaled_shares: Optional[Array]
    @property
    def report(self) -> str: ...
    @property
    def listing(self) -> str: ...
    def to_json(
        self,
        sweep: Optional[Sweep] = ...,
        bootstrap: Optional[Bootstrap] = ...,
        mantel: Optional[Mantel] = ...,
    ) -> str: ...

class Sweep:
    table: Frame
    points: int

class Bootstrap:
    statistics: Frame
    replicates: int
    used: int
    seed: int
    interval: str
    report: str

class Mantel:
    table: Frame
    permutations: int
    notes: list[str]
    report: str

def run(
    data: Data,
    population: str = ...,
    variables: Optional[Sequence[str]] = ...,
    census: Census = ...,
    heritability: float = ...,
    bias_correction: bool = ...,
    scaled: bool = ...,
    *,
    name: Optional[str] = ...,
    title: Optional[str] = ...,
) -> Result: ...
def read_tvk(path: Union[str, os.PathLike[str]]) -> Frame: ...
def write_tvk(
    data: Data,
    path: Union[str, os.PathLike[str]],
    population: str = ...,
    variables: Optional[Sequence[str]] = ...,
    census: Census = ...,
    title: Optional[str] = ...,
) -> None: ...
def sweep(result: Result, heritabilities: str = ...) -> Sweep: ...
def bootstrap(
    result: Result, replicates: int = ..., seed: int = ..., interval: str = ...
) -> Bootstrap: ...
def mantel(
    result: Result,
    geography: Geography,
    control: Optional[Geography] = ...,
    method: str = ...,
    permutations: int = ...,
    exhaustive: bool = ...,
    alternative: str = ...,
    seed: int = ...,
) -> Mantel: ...
def tree(result: Result, bootstrap: Optional[Bootstrap] = ..., scaled: bool = ...) -> str: ...
