#include "analysis/PrincipalCoords.h"

namespace tavrik {

void writePrincipalCoordsSection(ReportWriter&,
                                 int,
                                 EigenDecomposition&,
                                 const std::vector<std::string>&,
                                 Matrix&)
{
}

} // namespace tavrik
