"""The exceptions of tavrik; the engine raises them with its own messages."""


class Error(ValueError):
    """A run, a reading or an analysis that cannot be done; the message says what and where.

    ``path``, ``line`` and ``field`` name the file, its 1-based line and the field or
    setting concerned, when the engine knows them (else None).
    """

    path = None
    line = None
    field = None


class DataError(Error):
    """The data or the choice cannot be used: a file that cannot be read, a column that is
    not numeric, a population or variable that is not there, a setting out of range."""


class AnalysisError(Error):
    """The data were read but the analysis cannot proceed (e.g. a matrix that cannot be
    inverted, a population without records)."""
