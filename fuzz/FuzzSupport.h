#pragma once
// What every fuzz target shares: a scratch folder of its own (the readers
// take paths), a check that stops the run with a reproducer, and a reader
// over bytes in memory with a chosen block size.

#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace koru::fuzz {

// A finding: libFuzzer saves the input that got here.
#define KORU_FUZZ_CHECK(cond, what)                                                           \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "FUZZ CHECK FAILED at %s:%d: %s (%s)\n", __FILE__, __LINE__, \
                         #cond, what);                                                        \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

// One folder per process, removed at exit, under $KORU_FUZZ_SCRATCH (which
// scripts/fuzz.sh makes and removes, so a crash leaves nothing behind), else
// in memory where the system offers it. Parallel runs each get their own.
class ScratchDir {
  public:
    static ScratchDir& Get() {
        static ScratchDir dir;
        return dir;
    }
    const std::string& path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

    // Replaces the file with exactly these bytes.
    std::string Write(std::string_view name, std::string_view bytes) const {
        const std::string p = File(name);
        std::FILE* f = std::fopen(p.c_str(), "wb");
        KORU_FUZZ_CHECK(f != nullptr, p.c_str());
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        KORU_FUZZ_CHECK(std::fclose(f) == 0 && ok, p.c_str());
        return p;
    }
    std::string Write(std::string_view name, const std::vector<uint8_t>& bytes) const {
        return Write(name,
                     std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    // Empties the folder between inputs, so no input sees another's files.
    void Clear() const {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(path_, ec))
            std::filesystem::remove_all(e.path(), ec);
    }

  private:
    ScratchDir() {
        struct stat st {};
        const char* given = std::getenv("KORU_FUZZ_SCRATCH");
        std::string root = "/dev/shm";
        if (given && *given)
            root = given;
        else if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            root = std::filesystem::temp_directory_path().string();
        std::string templ = root + "/koru-fuzz-XXXXXX";
        KORU_FUZZ_CHECK(::mkdtemp(templ.data()) != nullptr, "cannot make the scratch folder");
        path_ = templ;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string path_;
};

// The whole file, or empty when it is not there.
inline std::string ReadAll(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

inline bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// A TextReader source over `text` that hands out at most `block` bytes per
// call, so readers meet every item split across a refill.
struct ChoppedText {
    std::string_view text;
    std::size_t block;
    std::size_t pos = 0;
    std::size_t operator()(char* out, std::size_t max) {
        const std::size_t n = std::min({max, block, text.size() - pos});
        std::copy_n(text.data() + pos, n, out);
        pos += n;
        return n;
    }
};

inline bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = c < 0x80         ? 1
                          : (c >> 5) == 6  ? 2
                          : (c >> 4) == 14 ? 3
                          : (c >> 3) == 30 ? 4
                                           : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

}  // namespace koru::fuzz
