// tavrik-batch: the analysis from the command line. Hands the arguments over to
// runBatchCommand; nothing else happens here but settling the standard descriptors.
#include "cli/BatchCommand.h"
#include "io/Platform.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    tavrik::settleStandardStreams();
    const std::vector<std::string> given = tavrik::programArguments(argc, argv);
    const std::vector<std::string_view> args(given.begin(), given.end());
    return tavrik::runBatchCommand(args, std::getenv("SOURCE_DATE_EPOCH"), std::cout, std::cerr);
}
