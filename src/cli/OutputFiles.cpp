#include "cli/OutputFiles.h"

#include "export/AtomicFile.h"

#include <sys/stat.h>
#include <vector>

namespace tavrik {

bool namesSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) {
        return true;
    }
    return std::filesystem::absolute(a, ec).lexically_normal() ==
           std::filesystem::absolute(b, ec).lexically_normal();
}

bool isCharacterDevice(const std::filesystem::path& path)
{
    struct stat st = {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

Status writeOutputs(std::span<const PendingOutput> outputs)
{
    // Checked first, so that nothing is written when one target is refused. Then written in this
    // order: files beside their targets (nothing shows yet), devices and FIFOs, and last the
    // regular files written in place, which are the only ones a later failure would harm.
    std::vector<const PendingOutput*> order;
    std::vector<const PendingOutput*> devices;
    std::vector<const PendingOutput*> sharedFiles;
    for (const PendingOutput& output : outputs) {
        Result<OutputTarget> target = checkOutputTarget(output.target);
        if (!target) {
            return target.error();
        }
        struct stat st = {};
        if (target->kind != OutputKind::InPlace) {
            order.push_back(&output);
        } else if (target->descriptor < 0 && ::stat(target->file.c_str(), &st) == 0 &&
                   S_ISREG(st.st_mode)) {
            sharedFiles.push_back(&output);
        } else {
            devices.push_back(&output);
        }
    }
    order.insert(order.end(), devices.begin(), devices.end());
    order.insert(order.end(), sharedFiles.begin(), sharedFiles.end());

    // Files not yet committed are discarded when this vector goes out of scope.
    std::vector<AtomicFile> files;
    files.reserve(order.size());
    for (const PendingOutput* output : order) {
        Result<AtomicFile> file = AtomicFile::open(output->target);
        if (!file) {
            return file.error();
        }
        if (Status reserved = file->reserve(output->bytes.size()); !reserved) {
            return reserved;
        }
        if (Status written = file->write(output->bytes); !written) {
            return written;
        }
        files.push_back(std::move(file.value()));
    }
    // In-place outputs are complete once closed; only then do the others replace their targets.
    for (AtomicFile& file : files) {
        if (file.kind() == OutputKind::InPlace) {
            if (Status committed = file.commit(); !committed) {
                return committed;
            }
        }
    }
    for (AtomicFile& file : files) {
        if (file.kind() != OutputKind::InPlace) {
            if (Status committed = file.commit(); !committed) {
                return committed;
            }
        }
    }
    return Done{};
}

} // namespace tavrik
