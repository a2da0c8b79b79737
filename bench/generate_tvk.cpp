// tavrik-gen-tvk: writes a synthetic data file.
//   tavrik-gen-tvk [--pops N] [--vars V] [--records R | --size-mb M] [--seed S]
//                  [--decimals D] [--crlf]
//                  --out FILE
#include "generate_tvk.h"

#include "state/NumberText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

namespace tavrik::gen {

namespace {

constexpr std::array<const char*, 12> traitNames = {"Stature",
                                                    "Head length",
                                                    "Head breadth",
                                                    "Face height",
                                                    "Face breadth",
                                                    "Nose height",
                                                    "Nose breadth",
                                                    "Arm span",
                                                    "Sitting height",
                                                    "Bigonial breadth",
                                                    "Ear length",
                                                    "Hand length"};

class Writer
{
public:
    explicit Writer(std::FILE* f)
        : m_file(f)
    {
        m_buf.reserve(bufferBytes);
    }
    void put(std::string_view s)
    {
        m_buf.insert(m_buf.end(), s.begin(), s.end());
        if (m_buf.size() >= bufferBytes) {
            flush();
        }
    }
    void putFixed(double v, int decimals) { put(fixedText(v, decimals)); }
    void putInt(long long v)
    {
        char text[32];
        const auto r = std::to_chars(text, text + sizeof text, v);
        put({text, static_cast<std::size_t>(r.ptr - text)});
    }
    bool flush()
    {
        if (!m_buf.empty() && std::fwrite(m_buf.data(), 1, m_buf.size(), m_file) != m_buf.size()) {
            m_ok = false;
        }
        m_total += static_cast<long long>(m_buf.size());
        m_buf.clear();
        return m_ok;
    }
    long long bytes() const { return m_total + static_cast<long long>(m_buf.size()); }
    bool ok() const { return m_ok; }

private:
    static constexpr std::size_t bufferBytes = std::size_t{1} << 20;
    std::FILE* m_file;
    std::vector<char> m_buf;
    long long m_total = 0;
    bool m_ok = true;
};

// Deterministic on every platform, unlike std::normal_distribution.
class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_engine(seed)
    {}
    double uniform() { return static_cast<double>(m_engine() >> 11) * 0x1.0p-53; }
    double normal()
    {
        double u = uniform();
        while (u <= 0.0) {
            u = uniform();
        }
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * uniform());
    }
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    std::mt19937_64 m_engine;
};

} // namespace

bool writeTvk(const TvkShape& shape,
              const std::filesystem::path& out,
              TvkWritten& written,
              std::string& error)
{
    if (shape.decimals < 0 || shape.decimals > 9) {
        error = "decimals must be from 0 to 9";
        return false;
    }
    if (shape.pops < 1 || shape.pops > 32767 || shape.vars < 1 || shape.vars > 32767) {
        error = "population and variable counts must be from 1 to 32767";
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(out.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        error = "cannot create " + out.string() + ": " + std::strerror(errno);
        return false;
    }
    const std::string_view eol = shape.crlf ? "\r\n" : "\n";
    Random rnd(shape.seed);
    Writer w(file.get());

    w.put("\"Generated data set, seed ");
    w.putInt(static_cast<long long>(shape.seed));
    w.put("\"");
    w.put(eol);
    w.putInt(shape.pops);
    w.put(", ");
    w.putInt(shape.vars);
    w.put(eol);
    for (int i = 1; i <= shape.pops; ++i) {
        // Sizes differ from population 1's, so the scaled analysis is on offer.
        const long long size = 200 + 50LL * ((i * 37) % 97) + rnd.below(50);
        w.put("Population ");
        w.putInt(i);
        w.put(", ");
        w.putInt(i);
        w.put(", ");
        w.putInt(size);
        w.put(eol);
    }
    std::vector<double> means(static_cast<std::size_t>(shape.vars));
    std::vector<double> sds(means.size());
    for (int k = 0; k < shape.vars; ++k) {
        if (k > 0) {
            w.put(", ");
        }
        const auto n = static_cast<std::size_t>(k);
        if (n < traitNames.size()) {
            w.put(traitNames[n]);
        } else {
            w.put("Trait ");
            w.putInt(k + 1);
        }
        means[n] = 40.0 + 160.0 * rnd.uniform();
        sds[n] = 2.0 + 6.0 * rnd.uniform();
    }
    w.put(eol);
    std::vector<double> offsets(static_cast<std::size_t>(shape.pops) * means.size());
    for (double& o : offsets) {
        o = 3.0 * rnd.normal();
    }
    const long long headerBytes = w.bytes();

    long long records = 0;
    for (;;) {
        if (shape.targetBytes > 0 ? w.bytes() >= shape.targetBytes : records >= shape.records) {
            break;
        }
        const int pop = rnd.below(shape.pops);
        w.putInt(pop + 1);
        for (std::size_t k = 0; k < means.size(); ++k) {
            const double x = means[k] + offsets[static_cast<std::size_t>(pop) * means.size() + k] +
                             sds[k] * rnd.normal();
            w.put(", ");
            w.putFixed(x, shape.decimals);
        }
        w.put(eol);
        ++records;
        if (!w.ok()) {
            break;
        }
    }
    const long long total = w.bytes();
    if (!w.flush() || std::fclose(file.release()) != 0) {
        error = "cannot write " + out.string() + ": " + std::strerror(errno);
        return false;
    }
    written.records = records;
    written.bytes = total;
    written.recordBytes = total - headerBytes;
    return true;
}

} // namespace tavrik::gen

#ifndef TAVRIK_GEN_TVK_NO_MAIN

namespace {

bool parseCount(const char* text, long long& out)
{
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return r.ec == std::errc{} && r.ptr == end && out >= 0;
}

int usage()
{
    std::fputs("usage: tavrik-gen-tvk [--pops N] [--vars V] [--records R | --size-mb M] "
               "[--seed S] [--decimals D] [--crlf] --out FILE\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    tavrik::gen::TvkShape shape;
    std::filesystem::path out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--crlf") {
            shape.crlf = true;
            continue;
        }
        if (i + 1 >= argc) {
            return usage();
        }
        const char* v = argv[++i];
        long long n = 0;
        if (a == "--out") {
            out = v;
        } else if (!parseCount(v, n)) {
            return usage();
        } else if (a == "--pops") {
            shape.pops = static_cast<int>(std::min(n, 100000LL));
        } else if (a == "--vars") {
            shape.vars = static_cast<int>(std::min(n, 100000LL));
        } else if (a == "--records") {
            shape.records = n;
        } else if (a == "--size-mb") {
            shape.targetBytes = n * 1000000;
        } else if (a == "--decimals") {
            shape.decimals = static_cast<int>(std::min(n, 100LL));
        } else if (a == "--seed") {
            shape.seed = static_cast<std::uint64_t>(n);
        } else {
            return usage();
        }
    }
    if (out.empty()) {
        return usage();
    }
    tavrik::gen::TvkWritten written;
    std::string error;
    if (!tavrik::gen::writeTvk(shape, out, written, error)) {
        std::fprintf(stderr, "tavrik-gen-tvk: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "%s: %lld records, %lld bytes\n", out.string().c_str(), written.records, written.bytes);
    return 0;
}

#endif
