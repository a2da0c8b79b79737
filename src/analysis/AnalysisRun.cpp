#include "analysis/AnalysisRun.h"

namespace tavrik {

Result<RunOutput> runAnalysis(const RunInput&, const Clock&, ProgressSink&)
{
    return Error{ErrorKind::Analysis, "analysis not yet available", {}, 0, {}};
}

void applyRunOutput(ProgramState&, RunOutput&&) {}

} // namespace tavrik
