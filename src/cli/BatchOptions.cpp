#include "cli/BatchOptions.h"

#include "state/HeritabilityText.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace tavrik {

namespace {

// Returns the text of the complaint, or an empty text when the value was taken.
using ApplyOption = std::string (*)(BatchOptions&, std::string_view value);

struct OptionSpec
{
    std::string_view name;      // without the leading "--"
    std::string_view valueName; // empty for an option that takes no value
    std::string_view help;
    ApplyOption apply;
};

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

// One row per option: adding an option is adding a row. The help text is built from it.
const OptionSpec optionTable[] = {
    {"heritability",
     "H",
     "heritability of the traits, 0 < H <= 1 (default 1)",
     [](BatchOptions& o, std::string_view v) -> std::string {
         const std::optional<float> h = parseHeritability(v);
         if (!h) {
             return "heritability " + quoted(v) + " is not a number in the range 0 < H <= 1";
         }
         o.settings.heritability = *h;
         return {};
     }},
    {"no-bias-correction",
     {},
     "do not correct r(ii) and the distances for sampling bias",
     [](BatchOptions& o, std::string_view) -> std::string {
         o.settings.biasCorrection = 0;
         return {};
     }},
    {"scaled",
     {},
     "also analyse the R matrix scaled by the population weights",
     [](BatchOptions& o, std::string_view) -> std::string {
         o.settings.scaledAnalysis = 1;
         return {};
     }},
    {"show-matrices",
     {},
     "append the matrix listing to the report when both fit in 24000 bytes",
     [](BatchOptions& o, std::string_view) -> std::string {
         o.settings.showMatrices = 1;
         return {};
     }},
    {"population",
     "NAME",
     "use the population of this exact name; repeat for more (default: all)",
     [](BatchOptions& o, std::string_view v) -> std::string {
         o.populations.emplace_back(v);
         return {};
     }},
    {"variable",
     "NAME",
     "use the variable of this exact name; repeat for more (default: all)",
     [](BatchOptions& o, std::string_view v) -> std::string {
         o.variables.emplace_back(v);
         return {};
     }},
    {"report",
     "FILE",
     "write the report to FILE; - is standard output (the default)",
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v.empty()) {
             return "--report needs a file name";
         }
         o.reportPath = v;
         return {};
     }},
    {"listing",
     "FILE",
     "write the matrix listing to FILE; - is standard output",
     [](BatchOptions& o, std::string_view v) -> std::string {
         if (v.empty()) {
             return "--listing needs a file name";
         }
         o.listingPath = std::string(v);
         return {};
     }},
    {"progress",
     {},
     "print the progress lines on standard error",
     [](BatchOptions& o, std::string_view) -> std::string {
         o.progress = true;
         return {};
     }},
    {"help",
     {},
     "show this help and exit",
     [](BatchOptions& o, std::string_view) -> std::string {
         o.help = true;
         return {};
     }},
    {"version",
     {},
     "show the version and exit",
     [](BatchOptions& o, std::string_view) -> std::string {
         o.version = true;
         return {};
     }},
};

const OptionSpec* findOption(std::string_view name)
{
    for (const OptionSpec& spec : optionTable) {
        if (spec.name == name) {
            return &spec;
        }
    }
    return nullptr;
}

Error usageError(std::string message)
{
    return Error{ErrorKind::Usage, std::move(message), {}, 0, {}};
}

} // namespace

std::optional<float> parseHeritability(std::string_view text)
{
    double value = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc{} || end != last || text.empty()) {
        return std::nullopt;
    }
    // Values far outside the range are refused before the cast, which would be undefined
    // beyond the float range. The rest is judged on the 32-bit float, as the Options dialog
    // judges it: decimal -> double -> float, then 0 < h <= 1.
    if (!(value > 0.0) || value > 2.0) {
        return std::nullopt;
    }
    const auto h = static_cast<float>(value);
    if (!heritabilityAccepted(h)) {
        return std::nullopt;
    }
    return h;
}

Result<BatchOptions> parseBatchOptions(std::span<const std::string_view> args)
{
    BatchOptions options;
    std::vector<std::string_view> operands;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            return usageError("unknown option " + quoted(arg));
        }
        std::string_view name = arg.substr(2);
        std::optional<std::string_view> inlineValue;
        if (const std::size_t eq = name.find('='); eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionSpec* spec = findOption(name);
        if (spec == nullptr) {
            return usageError("unknown option " + quoted(arg));
        }
        std::string_view value;
        if (spec->valueName.empty()) {
            if (inlineValue) {
                return usageError("option --" + std::string(name) + " takes no value");
            }
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return usageError("option --" + std::string(name) + " needs a value (" +
                              std::string(spec->valueName) + ")");
        }
        if (std::string complaint = spec->apply(options, value); !complaint.empty()) {
            return usageError(std::move(complaint));
        }
    }

    if (options.help || options.version) {
        return options;
    }
    if (operands.empty()) {
        return usageError("no data file given");
    }
    if (operands.size() > 1) {
        return usageError("one data file expected, found also " + quoted(operands[1]));
    }
    options.dataFile = operands.front();
    return options;
}

std::string batchUsage()
{
    std::string text =
        "Usage: tavrik-batch [OPTIONS] DATAFILE\n"
        "Population-genetic analysis of the quantitative traits in DATAFILE (.tvk):\n"
        "R matrix, Fst, D-square distances, Velbrand-Torvane comparison and\n"
        "principal coordinates. The report goes to standard output.\n"
        "\n"
        "Options:\n";
    constexpr std::size_t helpColumn = 26;
    for (const OptionSpec& spec : optionTable) {
        std::string left = "  --" + std::string(spec.name);
        if (!spec.valueName.empty()) {
            left += " " + std::string(spec.valueName);
        }
        left.resize(std::max(left.size() + 2, helpColumn), ' ');
        text += left + std::string(spec.help) + "\n";
    }
    text += "\n"
            "Exit status: 0 done; 1 the analysis cannot proceed or an output file cannot be\n"
            "written; 2 a usage error; 3 the data file cannot be read.\n"
            "With SOURCE_DATE_EPOCH set, the report's date and time are that instant in UTC.\n";
    return text;
}

} // namespace tavrik
