// First screen and peak memory against the recording's length: 8 channels at
// 1000 Hz for 1 minute, 1 hour, 24 hours and 72 hours, as a ".sig" file in
// memory mode and in file mode, and as EDF, BDF, EDF+ with an annotation
// signal, WFDB records of format 212, format 8, FLAC (516) and of hour-long
// segments, and GDF (through the reader process: its resident set counts
// when it is the larger, as the peak is the largest of the bench's process
// and those it waited for).
// Each open runs in a fresh process (this program again), which opens the
// recording as a file named at start-up is opened and paints a 1920x1080
// view; the time is from before the open to the painted buffer, the memory
// the process's peak resident set; a page step from the middle of the
// recording is timed after it. The lengths of one format are measured
// interleaved, so each ratio to 1 minute comes from one stretch of time.
// The files are written to a scratch folder, one format at a time, and
// removed.
//
//   build/bench/scaling_bench                 (all lengths, 11 repetitions)
//   KORU_SCALING_LENGTHS=1m,1h build/bench/scaling_bench
//   KORU_SCALING_REPS=3 TMPDIR=/big/disk build/bench/scaling_bench
//   KORU_SCALING_ONLY="WFDB|EDF+" build/bench/scaling_bench   (those rows only)
//   build/bench/scaling_bench --write-edf PATH SECONDS [lists]   (one EDF file only)
//   build/bench/scaling_bench --write-gdf PATH SECONDS   (one GDF file only)
//
// Targets: at 72 hours the first screen within 1.5x of 1 minute and the
// peak resident set at most 150 MB, in every row.

#include <FLAC/stream_encoder.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "EcgRecording.h"
#include "app/Snapshot.h"
#include "signal/SignalHeader.h"
#include "view/SignalView.h"

namespace {

constexpr int kChannels = 8;
constexpr int kRate = 1000;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

using bench::EcgSample;

struct Length {
    std::string name;
    int64_t seconds;
};

// Writes `frames` frames in blocks of one second: `put` appends a second's
// bytes, from frame `first`.
void WriteSeconds(std::ofstream& out, int64_t seconds,
                  const std::function<void(std::string&, int64_t)>& put) {
    std::string block;
    for (int64_t s = 0; s < seconds; ++s) {
        block.clear();
        put(block, s * kRate);
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

void PutLe(std::string& b, int32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) b += static_cast<char>((v >> (8 * k)) & 0xFF);
}

std::string Padded(const std::string& s, std::size_t width) {
    std::string out = s.substr(0, width);
    out.resize(width, ' ');
    return out;
}

std::string WriteSig(const std::string& path, int64_t seconds) {
    koru::SignalHeader h;
    h.ChannelCount = kChannels;
    h.Interval = 1000000 / kRate;
    h.SetDescription("scaling bench");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto header = koru::SerializeHeader(h);
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    WriteSeconds(out, seconds, [](std::string& b, int64_t f0) {
        for (int64_t f = f0; f < f0 + kRate; ++f)
            for (int c = 0; c < kChannels; ++c) PutLe(b, EcgSample(f, c), 2);
    });
    return path;
}

// An EDF+ annotation signal's samples a record: its time, and a note a minute.
constexpr int kListSamples = 30;

// EDF (2 bytes a sample) or BDF (3), one-second records; with `lists`, an
// EDF+ file whose last signal holds each record's annotation list.
std::string WriteEdf(const std::string& path, int64_t seconds, int bytes, bool lists = false) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const int signals = kChannels + (lists ? 1 : 0);
    std::string h = bytes == 3 ? std::string(
                                     "\xff"
                                     "BIOSEMI",
                                     8)
                               : Padded("0", 8);
    h += Padded("X X X scaling", 80) + Padded("Startdate X X X X", 80);
    h += "01.01.11"
         "00.00.00" +
         Padded(std::to_string(256 * (signals + 1)), 8) +
         Padded(bytes == 3 ? "24BIT"
                : lists    ? "EDF+C"
                           : "",
                44);
    h += Padded(std::to_string(seconds), 8) + Padded("1", 8) + Padded(std::to_string(signals), 4);
    auto each = [&](const std::function<std::string(int)>& v, std::size_t w) {
        for (int c = 0; c < signals; ++c) h += Padded(c < kChannels ? v(c) : v(-1), w);
    };
    const std::string lo = bytes == 3 ? "-8388608" : "-32768",
                      hi = bytes == 3 ? "8388607" : "32767";
    each([](int c) { return c < 0 ? "EDF Annotations" : "ECG " + std::to_string(c + 1); }, 16);
    each([](int) { return std::string(); }, 80);
    each([](int c) { return std::string(c < 0 ? "" : "uV"); }, 8);
    each([&](int c) { return c < 0 ? "-1" : lo; }, 8),
        each([&](int c) { return c < 0 ? "1" : hi; }, 8);
    each([&](int) { return lo; }, 8), each([&](int) { return hi; }, 8);
    each([](int) { return std::string(); }, 80);
    each([](int c) { return std::to_string(c < 0 ? kListSamples : kRate); }, 8);
    each([](int) { return std::string(); }, 32);
    out << h;
    WriteSeconds(out, seconds, [bytes, lists](std::string& b, int64_t f0) {
        for (int c = 0; c < kChannels; ++c)
            for (int64_t f = f0; f < f0 + kRate; ++f) PutLe(b, EcgSample(f, c), bytes);
        if (!lists) return;
        const std::string t = "+" + std::to_string(f0 / kRate);
        std::string list = t + "\x14\x14";
        list += '\0';
        if (f0 % (60 * kRate) == 0) list += t + "\x14minute\x14" + std::string(1, '\0');
        list.resize(2 * kListSamples, '\0');
        b += list;
    });
    return path;
}

template <typename T>
void PutRaw(std::string& b, T v) {
    b.append(reinterpret_cast<const char*>(&v), sizeof v);
}

// GDF 2.10 (int16 samples, one-second records, no event table), read
// through the reader process; its start is 2011-01-01 00:00:00.
std::string WriteGdf(const std::string& path, int64_t seconds) {
    std::string h = "GDF 2.10" + Padded("X scaling", 66) + std::string(10 + 4, '\0');
    h += Padded("scaling bench", 64) + std::string(16, '\0');
    PutRaw<uint64_t>(h, uint64_t{734504} << 32);  // days from year 0 to 2011-01-01
    PutRaw<uint64_t>(h, 0);                       // birthday
    PutRaw<uint16_t>(h, 1 + kChannels);           // header blocks of 256 bytes
    h += std::string(6 + 8 + 6 + 6 + 12 + 12, '\0');
    PutRaw<int64_t>(h, seconds);  // records
    PutRaw<uint32_t>(h, 1), PutRaw<uint32_t>(h, 1);
    PutRaw<uint16_t>(h, kChannels);
    h += std::string(2, '\0');
    auto each = [&](const std::function<void(int)>& put) {
        for (int c = 0; c < kChannels; ++c) put(c);
    };
    each([&](int c) { h += Padded("ECG " + std::to_string(c + 1), 16); });
    each([&](int) { h += std::string(80, ' '); });
    each([&](int) { h += Padded("uV", 6); });
    each([&](int) { PutRaw<uint16_t>(h, 4275); });  // uV
    for (double v : {-32768.0, 32767.0, -32768.0, 32767.0}) each([&](int) { PutRaw(h, v); });
    each([&](int) { h += std::string(68, '\0'); });
    each([&](int) { h += std::string(12, '\0'); });  // filters
    each([&](int) { PutRaw<uint32_t>(h, kRate); });  // samples per record
    each([&](int) { PutRaw<uint32_t>(h, 3); });      // int16
    each([&](int) { h += std::string(32, '\0'); });
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << h;
    WriteSeconds(out, seconds, [](std::string& b, int64_t f0) {
        for (int c = 0; c < kChannels; ++c)
            for (int64_t f = f0; f < f0 + kRate; ++f) PutLe(b, EcgSample(f, c), 2);
    });
    return path;
}

// A WFDB record: header beside a format 212 signal file.
std::string WriteWfdb(const std::string& dir, const std::string& name, int64_t seconds) {
    std::ofstream hea(dir + "/" + name + ".hea", std::ios::trunc);
    hea << name << " " << kChannels << " " << kRate << " " << seconds * kRate << "\n";
    for (int c = 0; c < kChannels; ++c)
        hea << name << ".dat 212 200 12 0 0 0 0 ECG" << c + 1 << "\n";
    std::ofstream out(dir + "/" + name + ".dat", std::ios::binary | std::ios::trunc);
    WriteSeconds(out, seconds, [](std::string& b, int64_t f0) {
        // Two 12-bit samples in three bytes, the channels of a frame in turn.
        for (int64_t f = f0; f < f0 + kRate; ++f)
            for (int c = 0; c < kChannels; c += 2) {
                const int a = EcgSample(f, c) & 0xFFF, d = EcgSample(f, c + 1) & 0xFFF;
                b += static_cast<char>(a & 0xFF);
                b += static_cast<char>(((a >> 8) & 0x0F) | ((d >> 4) & 0xF0));
                b += static_cast<char>(d & 0xFF);
            }
    });
    return dir + "/" + name + ".hea";
}

// A WFDB record of format 8 (first differences, each clipped to a byte, so
// the running value follows EcgSample as closely as a byte allows).
std::string WriteWfdb8(const std::string& dir, const std::string& name, int64_t seconds) {
    std::ofstream hea(dir + "/" + name + ".hea", std::ios::trunc);
    hea << name << " " << kChannels << " " << kRate << " " << seconds * kRate << "\n";
    for (int c = 0; c < kChannels; ++c) hea << name << ".dat 8 200 12 0 0 0 0 ECG" << c + 1 << "\n";
    std::ofstream out(dir + "/" + name + ".dat", std::ios::binary | std::ios::trunc);
    std::vector<int> running(kChannels, 0);
    WriteSeconds(out, seconds, [&running](std::string& b, int64_t f0) {
        for (int64_t f = f0; f < f0 + kRate; ++f)
            for (int c = 0; c < kChannels; ++c) {
                const int d =
                    std::clamp(EcgSample(f, c) - running[static_cast<std::size_t>(c)], -128, 127);
                running[static_cast<std::size_t>(c)] += d;
                b += static_cast<char>(static_cast<int8_t>(d));
            }
    });
    return dir + "/" + name + ".hea";
}

// A WFDB record of format 516: one FLAC stream of the 8 channels, as
// compressed as the encoder's fastest level makes it, without a seek table.
std::string WriteWfdbFlac(const std::string& dir, const std::string& name, int64_t seconds) {
    std::ofstream hea(dir + "/" + name + ".hea", std::ios::trunc);
    hea << name << " " << kChannels << " " << kRate << " " << seconds * kRate << "\n";
    for (int c = 0; c < kChannels; ++c)
        hea << name << ".dat 516 200 16 0 0 0 0 ECG" << c + 1 << "\n";
    const std::string path = dir + "/" + name + ".dat";
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(encoder, kChannels);
    FLAC__stream_encoder_set_bits_per_sample(encoder, 16);
    FLAC__stream_encoder_set_sample_rate(encoder, kRate);
    FLAC__stream_encoder_set_compression_level(encoder, 0);
    FLAC__stream_encoder_set_total_samples_estimate(encoder,
                                                    static_cast<FLAC__uint64>(seconds * kRate));
    if (FLAC__stream_encoder_init_file(encoder, path.c_str(), nullptr, nullptr) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        std::abort();
    std::vector<FLAC__int32> block(static_cast<std::size_t>(kRate * kChannels));
    for (int64_t s = 0; s < seconds; ++s) {
        for (int64_t f = 0; f < kRate; ++f)
            for (int c = 0; c < kChannels; ++c)
                block[static_cast<std::size_t>(f * kChannels + c)] = EcgSample(s * kRate + f, c);
        if (!FLAC__stream_encoder_process_interleaved(encoder, block.data(), kRate)) std::abort();
    }
    FLAC__stream_encoder_finish(encoder);
    FLAC__stream_encoder_delete(encoder);
    return dir + "/" + name + ".hea";
}

// A multi-segment WFDB record: format 212 segments of an hour at most.
std::string WriteWfdbSegments(const std::string& dir, const std::string& name, int64_t seconds) {
    const int64_t hour = 3600;
    const int64_t count = (seconds + hour - 1) / hour;
    std::ofstream hea(dir + "/" + name + ".hea", std::ios::trunc);
    hea << name << "/" << count << " " << kChannels << " " << kRate << " " << seconds * kRate
        << "\n";
    for (int64_t s = 0; s < count; ++s) {
        const std::string seg = name + "_" + std::to_string(s);
        WriteWfdb(dir, seg, std::min(hour, seconds - s * hour));
        hea << seg << " " << std::min(hour, seconds - s * hour) * kRate << "\n";
    }
    return dir + "/" + name + ".hea";
}

struct Format {
    std::string name;
    bool fileMode;
    std::function<std::string(const std::string& dir, const Length&)> write;
};

std::vector<Format> Formats() {
    auto sig = [](const std::string& dir, const Length& l) {
        return WriteSig(dir + "/" + l.name + ".sig", l.seconds);
    };
    return {
        {"sig, memory mode", false, sig},
        {"sig, file mode", true, sig},
        {"EDF", false,
         [](const std::string& dir, const Length& l) {
             return WriteEdf(dir + "/" + l.name + ".edf", l.seconds, 2);
         }},
        {"BDF", false,
         [](const std::string& dir, const Length& l) {
             return WriteEdf(dir + "/" + l.name + ".bdf", l.seconds, 3);
         }},
        {"WFDB 212", false,
         [](const std::string& dir, const Length& l) {
             return WriteWfdb(dir, "r" + l.name, l.seconds);
         }},
        {"WFDB 8", false,
         [](const std::string& dir, const Length& l) {
             return WriteWfdb8(dir, "d" + l.name, l.seconds);
         }},
        {"WFDB FLAC", false,
         [](const std::string& dir, const Length& l) {
             return WriteWfdbFlac(dir, "f" + l.name, l.seconds);
         }},
        {"WFDB segments", false,
         [](const std::string& dir, const Length& l) {
             return WriteWfdbSegments(dir, "m" + l.name, l.seconds);
         }},
        {"EDF+ annotations", false,
         [](const std::string& dir, const Length& l) {
             return WriteEdf(dir + "/" + l.name + "a.edf", l.seconds, 2, true);
         }},
        {"GDF", false,
         [](const std::string& dir, const Length& l) {
             return WriteGdf(dir + "/" + l.name + ".gdf", l.seconds);
         }},
    };
}

double MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// In the child: open and paint, then step pages; prints the milliseconds of
// the first screen and of a page step.
int OpenOnce(const std::string& path, bool fileMode) {
    const auto t0 = std::chrono::steady_clock::now();
    koru::HeadlessUi ui;
    koru::Session session{ui};
    session.geometry().SetScreen(kWidth, kHeight);
    session.settings().fileMode = fileMode ? 1 : 0;
    koru::SignalView view(session.viewContext());
    view.ResizeClient(kWidth, kHeight);
    if (!koru::RenderFirstScreen(session, view, path)) return 1;
    const double first = MsSince(t0);
    // What the window does next: the annotations the open left, read after
    // the first screen is shown.
    if (session.CompleteAnnotations()) {
        view.InvalidateAll();
        view.Update();
    }
    // Page steps from the middle of the recording, each repainting the view.
    view.Reposition(view.HorizontalRange() / 2);
    view.Update();
    std::vector<double> steps;
    for (int k = 0; k < 9; ++k) {
        const auto t = std::chrono::steady_clock::now();
        view.Reposition(view.ScrollX() + view.PageStep());
        view.Update();
        steps.push_back(MsSince(t));
    }
    std::printf("%.3f %.3f\n", first, Median(steps));
    return ui.warned ? 1 : 0;
}

struct Sample {
    double ms = 0;
    double stepMs = 0;
    double rssMb = 0;
};

// Runs this program on `path` in a fresh process.
Sample Measure(const std::string& self, const std::string& path, bool fileMode) {
    int fds[2];
    if (::pipe(fds) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::execl(self.c_str(), self.c_str(), "--open", path.c_str(), fileMode ? "file" : "memory",
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ::close(fds[1]);
    std::string text;
    char buf[64];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "scaling_bench: opening %s failed\n", path.c_str());
        std::exit(1);
    }
    Sample s;
    std::istringstream(text) >> s.ms >> s.stepMs;
    s.rssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return s;
}

std::vector<Length> Lengths() {
    const std::vector<Length> all = {
        {"1m", 60}, {"1h", 3600}, {"24h", 24 * 3600}, {"72h", 72 * 3600}};
    const char* env = std::getenv("KORU_SCALING_LENGTHS");
    if (!env) return all;
    std::vector<Length> out;
    std::stringstream list(env);
    for (std::string name; std::getline(list, name, ',');)
        for (const Length& l : all)
            if (l.name == name) out.push_back(l);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--open")
        return OpenOnce(argv[2], std::string(argv[3]) == "file");
    // The side-by-side script's files: --write-edf PATH SECONDS [lists] (lists: EDF+
    // with an annotation signal).
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--write-edf") {
        WriteEdf(argv[2], std::atoll(argv[3]), 2, argc == 5 && std::string(argv[4]) == "lists");
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--write-gdf") {
        WriteGdf(argv[2], std::atoll(argv[3]));
        return 0;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const int reps = std::max(1, std::atoi(std::getenv("KORU_SCALING_REPS") ?: "11"));
    const std::vector<Length> lengths = Lengths();
    if (lengths.empty()) return 2;

    std::string templ = (std::filesystem::temp_directory_path() / "koru-scaling-XXXXXX").string();
    if (!::mkdtemp(templ.data())) return 1;
    const std::string dir = templ;

    std::printf(
        "8 channels, %d Hz, %dx%d view; median of %d; per length: first screen ms, "
        "page step ms, peak RSS MB\n",
        kRate, kWidth, kHeight, reps);
    std::printf("%-17s", "format");
    for (const Length& l : lengths)
        std::printf(" %8s %5s %6s", (l.name + " ms").c_str(), "step", "MB");
    std::printf("  first %s/%s  step %s/%s\n", lengths.back().name.c_str(),
                lengths.front().name.c_str(), lengths.back().name.c_str(),
                lengths.front().name.c_str());
    // KORU_SCALING_ONLY="WFDB|EDF+": only the rows whose name holds one of these.
    const std::string only = std::getenv("KORU_SCALING_ONLY") ?: "";
    for (const Format& format : Formats()) {
        bool picked = only.empty();
        std::stringstream names(only);
        for (std::string part; std::getline(names, part, '|');)
            picked = picked || (!part.empty() && format.name.find(part) != std::string::npos);
        if (!picked) continue;
        std::vector<std::string> paths;
        for (const Length& l : lengths) paths.push_back(format.write(dir, l));
        const std::size_t n = lengths.size();
        std::vector<std::vector<double>> ms(n), step(n), rss(n);
        for (int r = 0; r < reps; ++r) {
            for (std::size_t k = 0; k < n; ++k) {
                const Sample m = Measure(self, paths[k], format.fileMode);
                ms[k].push_back(m.ms);
                step[k].push_back(m.stepMs);
                rss[k].push_back(m.rssMb);
            }
        }
        std::printf("%-17s", format.name.c_str());
        for (std::size_t k = 0; k < n; ++k)
            std::printf(" %8.1f %5.1f %6.1f", Median(ms[k]), Median(step[k]), Median(rss[k]));
        std::printf("  %9.2fx  %8.2fx\n", Median(ms[n - 1]) / Median(ms[0]),
                    Median(step[n - 1]) / Median(step[0]));
        std::fflush(stdout);
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            std::filesystem::remove(entry.path());
    }
    std::filesystem::remove_all(dir);
    return 0;
}
