// What `koru convert` writes as EDF+ and BDF+, read by two readers that
// share no code with the program: MNE (Python) and EDFlib, which also
// refuses a file whose header breaks the format's rules. Both must give the
// samples the source holds (within half a step), its markers at their times
// and its start. A reader that is not installed skips with the reason.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;

// What a reader printed (see tests/interop/).
struct Reading {
    int status = -1;
    std::string type, start, error;
    std::vector<std::string> labels, units;
    std::vector<std::pair<int64_t, std::string>> annotations;  // onset in microseconds
    std::vector<std::vector<double>> rows;                     // one a frame
};

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

Reading Parse(const std::string& text) {
    Reading r;
    std::istringstream in(text);
    std::string line;
    bool data = false;
    while (std::getline(in, line)) {
        if (data) {
            std::istringstream values(line);
            r.rows.emplace_back();
            for (double v; values >> v;) r.rows.back().push_back(v);
        } else if (line.starts_with("type ")) {
            r.type = line.substr(5);
        } else if (line.starts_with("start ")) {
            r.start = line.substr(6);
        } else if (line.starts_with("signal ")) {
            const std::size_t tab = line.find('\t');
            r.labels.push_back(Trimmed(line.substr(7, tab - 7)));
            const std::size_t tab2 = line.find('\t', tab + 1);
            r.units.push_back(Trimmed(line.substr(tab + 1, tab2 - tab - 1)));
        } else if (line.starts_with("ann ")) {
            const std::size_t tab = line.find('\t');
            r.annotations.emplace_back(std::stoll(line.substr(4, tab - 4)), line.substr(tab + 1));
        } else if (line.starts_with("data ")) {
            data = true;
        }
    }
    return r;
}

// The independent readers, as the build found them (empty: not installed).
struct Reader {
    const char* name;
    std::string command;  // the file's path is appended
    std::string probe;    // succeeds when the reader can run
    const char* missing;
};

void PrintTo(const Reader& reader, std::ostream* os) {
    *os << reader.name;
}

Reader Mne() {
    const std::string python = KORU_PYTHON;
    if (python.empty())
        return {"MNE", "", "", "python3 was not found when the build was configured"};
    return {"MNE", python + " " + KORU_MNE_READ, python + " -c 'import mne'",
            "MNE (Debian python3-mne) is not installed; scripts/deps.sh installs it"};
}
Reader Edflib() {
    return {"EDFlib", KORU_EDFLIB_READ, "true",
            "EDFlib (Debian libedf-dev) was not found when the build was configured"};
}

struct InteropFixture : ::testing::TestWithParam<Reader> {
    test::TempDir dir;

    int Run(const std::string& command, const std::string& out) {
        const int raw = std::system(
            ("timeout 120 " + command + " >" + out + " 2>" + dir.File("stderr") + " </dev/null")
                .c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    void Koru(const std::string& args) {
        ASSERT_EQ(Run(std::string(KORU_CLI) + " --quiet " + args, dir.File("koru.out")), 0)
            << ReadText(dir.File("stderr"));
    }
    bool Available(const Reader& reader) {
        return !reader.command.empty() && Run(reader.probe, dir.File("probe.out")) == 0;
    }
    Reading Read(const Reader& reader, const std::string& path) {
        const std::string out = dir.File("reader.out");
        const int status = Run(reader.command + " " + path, out);
        Reading r = Parse(ReadText(out));
        r.status = status;
        r.error = ReadText(dir.File("stderr"));
        return r;
    }
};

// A ".sig" source of three channels at 4000 Hz whose third channel has a
// step that does not fit the header's 8 characters exactly, cut and whole,
// as EDF+ and BDF+.
TEST_P(InteropFixture, SigSourceReadsBackWithSamplesMarkersAndHeaderChecks) {
    const Reader reader = GetParam();
    if (!Available(reader)) GTEST_SKIP() << reader.missing;
    std::vector<uint8_t> bytes = test::SigFile(3, 250, 4001, "interop");
    const float odd = 0.0123456789f;
    std::memcpy(bytes.data() + 6 + 8, &odd, 4);  // channel 3's scale factor
    const std::string source = dir.Write("rec.sig", bytes);
    dir.WriteText("rec.mrk", "5\r\n900\r\n4000\r\n");
    const double steps[3] = {0.5, 1.0, static_cast<double>(odd)};

    struct Case {
        const char* args;
        int64_t from, to;
        std::vector<int> channels;  // 0-based
    };
    const std::vector<Case> cases = {
        {"", 0, 4000, {0, 1, 2}},
        {"--from 0.2s --to 1000 --channels 1,3", 800, 1000, {0, 2}},
    };
    for (const Case& c : cases) {
        for (const char* ext : {"edf", "bdf"}) {
            SCOPED_TRACE(std::string(ext) + " " + c.args);
            const std::string out = dir.File(std::string("out.") + ext);
            Koru("convert " + source + " " + out + " " + c.args);
            const Reading r = Read(reader, out);
            ASSERT_EQ(r.status, 0) << r.error;
            if (std::string(reader.name) == "EDFlib") {
                EXPECT_EQ(r.type, std::string(ext) == "edf" ? "EDF+" : "BDF+");
            }
            // The program's own recordings carry no start: the format's
            // "unknown" date, 1 January 1985.
            EXPECT_EQ(r.start, "1985-01-01 00:00:00");
            ASSERT_EQ(r.units.size(), c.channels.size());
            for (const std::string& unit : r.units) EXPECT_EQ(unit, "uV");
            // A last record the cutout does not fill repeats its last frame.
            ASSERT_GE(static_cast<int64_t>(r.rows.size()), c.to - c.from + 1);
            int off = 0;
            for (std::size_t k = 0; k < r.rows.size(); ++k) {
                const int64_t f = std::min(c.from + static_cast<int64_t>(k), c.to);
                const std::vector<double>& row = r.rows[k];
                ASSERT_EQ(row.size(), c.channels.size());
                for (std::size_t i = 0; i < row.size(); ++i) {
                    const int ch = c.channels[i];
                    const double want = test::Value(f, ch) * steps[ch];
                    if (std::fabs(row[i] - want) > steps[ch] / 2) ++off;
                }
            }
            EXPECT_EQ(off, 0) << "values farther than half a step from the source's";
            std::vector<std::pair<int64_t, std::string>> marks;
            for (const int64_t m : {5, 900, 4000})
                if (m >= c.from && m <= c.to) marks.emplace_back((m - c.from) * 250, "Marker");
            EXPECT_EQ(r.annotations, marks);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, InteropFixture, ::testing::Values(Mne(), Edflib()),
                         [](const auto& test) { return std::string(test.param.name); });

// A WFDB record with a start and labelled beats, cut from 0.5 s to 2 s: the
// header holds the cutout's start to the second, the annotations keep their
// labels and their times from the cutout's start (within a microsecond of
// the independent rdann listing's samples at 360 Hz), and converting the
// written file again writes the same annotations.
TEST_P(InteropFixture, WfdbSourceKeepsStartAndLabelledAnnotations) {
    const Reader reader = GetParam();
    if (!Available(reader)) GTEST_SKIP() << reader.missing;
    const std::string real = std::string(KORU_REAL_DATA_DIR) + "/mitdb/";
    std::string header = ReadText(real + "100.hea");
    const std::string line = "100 2 360 650000";
    ASSERT_NE(header.find(line), std::string::npos);
    header.replace(header.find(line), line.size(), line + " 23:59:59.750 31/12/2003");
    dir.WriteText("100.hea", header);
    std::filesystem::copy_file(real + "100.dat", dir.File("100.dat"));
    std::filesystem::copy_file(real + "100.atr", dir.File("100.atr"));

    // Beats of rdann's listing from frame 180 to 720.
    std::vector<std::pair<int64_t, std::string>> want;
    std::istringstream listing(ReadText(real + "100.atr.rdann.txt"));
    for (std::string time, label; listing >> time;) {
        int64_t sample = 0;
        listing >> sample >> label;
        std::string rest;
        std::getline(listing, rest);
        if (sample >= 180 && sample <= 720)
            want.emplace_back((sample - 180) * 1000000 / 360, label);
    }
    ASSERT_EQ(want.size(), 2u);  // two "N" beats: the listing was read

    Koru("convert " + dir.File("100.hea") + " " + dir.File("cut.edf") + " --from 0.5s --to 2s");
    Koru("convert " + dir.File("cut.edf") + " " + dir.File("again.edf"));
    for (const char* name : {"cut.edf", "again.edf"}) {
        SCOPED_TRACE(name);
        const Reading r = Read(reader, dir.File(name));
        ASSERT_EQ(r.status, 0) << r.error;
        // 23:59:59.75 and half a second: the next day's first second, the
        // quarter in the first record's time.
        EXPECT_EQ(r.start, "2004-01-01 00:00:00");
        ASSERT_EQ(r.annotations.size(), want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_NEAR(static_cast<double>(r.annotations[i].first),
                        static_cast<double>(want[i].first), 1.0);
            EXPECT_EQ(r.annotations[i].second, want[i].second);
        }
    }
}

}  // namespace
}  // namespace koru
