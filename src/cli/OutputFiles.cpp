#include "cli/OutputFiles.h"

#include "io/AtomicFile.h"
#include "io/Platform.h"

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

Status writeOutputs(std::span<const PendingOutput> outputs, const std::function<Status()>& lastStep)
{
    // Checked first, so that nothing is written when one target is refused. Files are opened
    // first, so that their bytes wait aside; devices and FIFOs, which take their bytes at once,
    // come after them.
    std::vector<const PendingOutput*> order;
    std::vector<const PendingOutput*> devices;
    for (const PendingOutput& output : outputs) {
        Result<OutputTarget> target = checkOutputTarget(output.target);
        if (!target) {
            return target.error();
        }
        std::error_code ec;
        const bool regular =
            target->descriptor < 0 && std::filesystem::is_regular_file(target->file, ec);
        if (target->kind != OutputKind::InPlace || regular) {
            order.push_back(&output);
        } else {
            devices.push_back(&output);
        }
    }
    const std::size_t fileCount = order.size();
    order.insert(order.end(), devices.begin(), devices.end());

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
    // A device is complete once closed.
    for (std::size_t i = fileCount; i < files.size(); ++i) {
        if (Status committed = files[i].commit(); !committed) {
            return committed;
        }
    }
    if (lastStep) {
        if (Status done = lastStep(); !done) {
            return done;
        }
    }
    // Files written in place first: copying their bytes over them can still fail, a rename
    // hardly can.
    for (std::size_t i = 0; i < fileCount; ++i) {
        if (files[i].kind() == OutputKind::InPlace) {
            if (Status committed = files[i].commit(); !committed) {
                return committed;
            }
        }
    }
    for (std::size_t i = 0; i < fileCount; ++i) {
        if (files[i].kind() != OutputKind::InPlace) {
            if (Status committed = files[i].commit(); !committed) {
                return committed;
            }
        }
    }
    return Done{};
}

} // namespace tavrik
