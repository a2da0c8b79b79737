// TAVRIK's engine for programs that embed it: build a data set from columns (TableData), choose
// populations, variables and settings (EngineChoice), run it (runTable, or runFile for a .tvk
// file), and take the results (EngineRun: every matrix and vector, the report, the listing,
// engineJson's document, and the report's texts after a bootstrap, tree or Mantel test:
// bootstrapSummaryText, treeSupportText, mantelSummaryText), the heritability sweep (sweepOf), the
// bootstrap (bootstrapOf), the Mantel test (mantelOf) and the tree (treeOf, newickText). Errors
// come back as values (Result, Error) with the messages tavrik-batch prints. Link the CMake target
// tavrik_api.
//
//     tavrik::TableData t;
//     t.population = {"A", "A", "B", "B", "C", "C"};
//     t.variableNames = {"Length"};
//     t.variables = {{170.5, 168.0, 175.1, 174.2, 169.9, 171.3}};
//     auto run = tavrik::runTable(t, {}, tavrik::systemClock());
//     if (run) std::cout << run->report();
//     else std::cerr << run.error().message << '\n';
#pragma once

#include "export/MantelText.h"
#include "export/ResamplingText.h"
#include "export/TreeText.h"

#include "api/Engine.h"
