// The `koru` program as a script runs it: arguments in, stdout, stderr and
// the exit status out.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;

struct Outcome {
    int status;
    std::string out, err;
};

struct KoruFixture : ::testing::Test {
    test::TempDir dir;

    // A run that hangs is ended after ten seconds, with status 124.
    Outcome Koru(const std::string& args) {
        const std::string out = dir.File("stdout"), err = dir.File("stderr");
        const std::string command = "timeout 10 " + std::string(KORU_CLI) + " " + args + " >" +
                                    out + " 2>" + err + " </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out), ReadText(err)};
    }
};

TEST_F(KoruFixture, HelpVersionAndUsageErrors) {
    const Outcome help = Koru("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* sub :
         {"info", "convert", "markers", "annotations", "cut", "amplitude", "beats", "--quiet"})
        EXPECT_NE(help.out.find(sub), std::string::npos) << sub;
    EXPECT_EQ(Koru("--version").out, "KORU VIEW 95.4\n");
    EXPECT_EQ(Koru("info --help").status, 0);
    // Usage errors: status 2, a word on stderr.
    for (const char* args :
         {"", "nosuch", "info", "info a.sig --raw-channels 9", "info a.sig --raw-interval 0",
          "info a.sig --raw-channels x", "convert only-one.txt", "markers a.sig --bogus",
          "cut a.sig b.sig --from 1", "cut a.sig b.sig --from 1 --to 5 --channels 9",
          "amplitude a.sig --to 3", "cut a.sig b.sig --from 1x --to 5",
          "cut a.sig b --from 1 --to 5", "convert a.sig b.sig.bak",
          "markers a.sig --format json"}) {
        SCOPED_TRACE(args);
        const Outcome r = Koru(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty());
    }
}

TEST_F(KoruFixture, InfoPrintsTheLinesInOrder) {
    dir.Write("rec.sig", test::SigFile(3, 250, 1001, "Lead test"));
    dir.WriteText("rec.mrk", "5\r\n900\r\n");
    const Outcome r = Koru(dir.File("rec.sig"));
    EXPECT_EQ(r.status, 2);  // no subcommand
    const Outcome info = Koru("info " + dir.File("rec.sig"));
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out,
              "Channels: 3\nInterval: 250\nFrames: 1001\nLength: 00:00.250250\n"
              "Frequency: 4000.0 Hz\nDescription: Lead test\nMarkers: 2\n"
              "Scale: 0.5 1 1.5 2 2.5 3 3.5 4 4.5 5 5.5 6 6.5 7 7.5 8\n");
    EXPECT_EQ(info.err, "");
    EXPECT_EQ(Koru("info --filemode " + dir.File("rec.sig")).out, info.out);

    // A raw file: the Read Binary answers from the options.
    dir.Write("raw.bin", std::vector<uint8_t>(1000, 0));
    const Outcome raw = Koru("info --raw-channels 2 --raw-interval 2000000 " + dir.File("raw.bin"));
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out,
              "Channels: 2\nInterval: 2000000\nFrames: 250\nLength: 08:20.000000\n"
              "Frequency: 0.5000 Hz\nDescription: Bin right 12\nMarkers: 0\n"
              "Scale: 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
}

TEST_F(KoruFixture, ARecordingThatDoesNotOpenGivesTheOpenFlowsMessage) {
    const std::string bad = dir.WriteText("short.sig", "too short for a header");
    std::string upper = bad;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string sub : {"info ", "markers "}) {
        const Outcome r = Koru(sub + bad);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Error: KORU VIEW -- Invalid file: " + upper +
                             "\nThe file contents are not valid.\n");
        EXPECT_EQ(r.out, "");
    }
    const Outcome missing = Koru("info " + dir.File("gone.sig"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("Error: KORU VIEW -- Cannot open file: ", 0), 0u);
}

TEST_F(KoruFixture, MarkersPrintsTheListAsRead) {
    dir.Write("m.sig", test::SigFile(1, 1000, 100));
    dir.WriteText("M.MRK", "30\r\n-2\r\n0\r\n100\r\n101\r\n7\r\n");
    const Outcome r = Koru("markers " + dir.File("m.sig"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "0.030000 30 Marker\n-0.002000 -2 Marker\n0.000000 0 Marker\n0.100000 100 Marker\n");
    // The program's own file has markers and no annotations.
    EXPECT_EQ(Koru("annotations --format csv " + dir.File("m.sig")).out,
              "time_s,frame,label,text\n");
    dir.Write("none.sig", test::SigFile(1, 1000, 100));
    EXPECT_EQ(Koru("markers " + dir.File("none.sig")).out, "");
}

TEST_F(KoruFixture, ConvertRunsTheMenuCommandAndFailsWithItsMessages) {
    const std::string text = dir.WriteText(
        "in.txt",
        "Number of Channels: 1  Interval:8\r\nScale: 2  0  0  0  0  0  0  0  0  0  0  0  0  0  0"
        "  0 \r\nconverted\r\n    1 \r\n   -2 \r\n");
    const Outcome ok = Koru("convert " + text + " " + dir.File("out.sig"));
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err, "");
    const Outcome info = Koru("info " + dir.File("out.sig"));
    EXPECT_NE(info.out.find("Frames: 2\n"), std::string::npos);
    EXPECT_NE(info.out.find("Description: converted\n"), std::string::npos);
    EXPECT_NE(info.out.find("Scale: 2 0 "), std::string::npos);

    const std::string bad = dir.WriteText("bad.txt", "Number of Channels: 17  Interval:8\r\n");
    const Outcome refused = Koru("convert " + bad + " " + dir.File("x.sig"));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "Convert File Error: Error reading source file channels.\n");

    const std::string comma = dir.WriteText("comma.txt",
                                            "Number of Channels: 1  Interval:8\r\nScale: 0 0 0 0 0 "
                                            "0 0 0 0 0 0 0 0 0 0 0\r\nd\r\n1,2\r\n");
    const Outcome stopped = Koru("convert " + comma + " " + dir.File("y.sig"));
    EXPECT_EQ(stopped.status, 1);
    EXPECT_EQ(stopped.err,
              "Convert File Error: Conversion stopped at line 4: \",2\" is not a sample value. 1 "
              "samples were written.\n");
    EXPECT_EQ(ReadText(dir.File("y.sig")).size(), 326u + 2u);

    // Any other layout goes through a ".sig" that does not stay; a name of
    // no layout is refused.
    const Outcome raw = Koru("convert " + text + " " + dir.File("z.dat"));
    EXPECT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(ReadText(dir.File("z.dat")), std::string("\x10\x00\xe0\xff", 4));
    EXPECT_FALSE(std::filesystem::exists(dir.File("z.dat.converting.sig")));
    const Outcome none = Koru("convert " + text + " " + dir.File("z"));
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find(".sig, .bin, .dat, .nib, .txt, .edf, .bdf, .csv"), std::string::npos)
        << none.err;
}

TEST_F(KoruFixture, ConvertTakesAnyRecordingToAnyLayoutWithPositionsInTime) {
    const std::string rec = dir.Write("rec.sig", test::SigFile(3, 250, 1001, "Lead test"));
    dir.WriteText("rec.mrk", "5\r\n900\r\n");
    ASSERT_EQ(Koru("convert " + rec + " " + dir.File("out.edf")).status, 0);
    const Outcome back = Koru("convert " + dir.File("out.edf") + " " + dir.File("back.sig"));
    ASSERT_EQ(back.status, 0) << back.err;
    // The recording's own three channels, every frame, the markers with them.
    EXPECT_EQ(ReadText(dir.File("back.sig")).substr(326), ReadText(rec).substr(326));
    EXPECT_EQ(ReadText(dir.File("back.mrk")), "5\r\n900\r\n");
    EXPECT_EQ(Koru("markers " + dir.File("out.edf")).out,
              "0.001250 5 Marker\n0.225000 900 Marker\n");

    // 1 ms is frame 4 at 250 us a frame, 00:00.002 frame 8.
    const Outcome part = Koru("convert " + rec + " " + dir.File("part.CSV") +
                              " --from 0.001s --to 00:00.002 --channels 2");
    ASSERT_EQ(part.status, 0) << part.err;
    const std::string csv = ReadText(dir.File("part.CSV"));
    EXPECT_EQ(csv.substr(0, csv.find('\n') + 1), "time_s,II [uV]\r\n");  // the layout's lead name
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6);
    EXPECT_NE(csv.find("\r\n0.001000,"), std::string::npos);
    EXPECT_EQ(Koru("convert " + rec + " " + dir.File("x.csv") + " --from 1s").status, 1);

    // A record's own unit comes along: MIT-BIH 100 begins with samples 995
    // and 1011 on baseline 1024 at 200 a millivolt.
    const std::string mit = std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea";
    ASSERT_EQ(Koru("--quiet convert " + mit + " " + dir.File("mit.csv") + " --to 1").status, 0);
    EXPECT_EQ(ReadText(dir.File("mit.csv")).substr(0, 47),
              "time_s,I [mV],II [mV]\r\n0.000000,-0.145,-0.065\r\n");
}

TEST_F(KoruFixture, CutWritesTheChosenChannelsAndAppendsWithTheMenusRefusals) {
    const std::string rec = dir.File("rec.sig");
    dir.Write("rec.sig", test::SigFile(3, 250, 1001, "Lead test"));
    dir.WriteText("rec.mrk", "5\r\n15\r\n");
    const std::string out = dir.File("out.sig");
    const Outcome cut = Koru("cut " + rec + " " + out + " --from 20 --to 10 --channels 2,5");
    EXPECT_EQ(cut.status, 0) << cut.err;
    std::vector<uint8_t> want = test::SigHeaderBytes(2, 250, "Lead test");
    for (int64_t f = 10; f <= 20; ++f) {
        test::PutLe16(want, static_cast<uint16_t>(test::Value(f, 1)));
        test::PutLe16(want, 0);
    }
    EXPECT_EQ(ReadText(out), std::string(want.begin(), want.end()));
    EXPECT_EQ(ReadText(dir.File("out.mrk")), "5\r\n");

    const Outcome appended =
        Koru("cut " + rec + " " + out + " --from -3 --to 1 --channels 2,5 --append --filemode");
    EXPECT_EQ(appended.status, 0) << appended.err;
    EXPECT_EQ(ReadText(out).size(), want.size() + 2 * 4);  // frames 0 and 1

    const Outcome self = Koru("cut " + rec + " " + rec + " --from 1 --to 5 --append");
    EXPECT_EQ(self.status, 1);
    EXPECT_EQ(self.err, "Append Error: Cannot append to the currently displayed file!\n");
    const Outcome shape = Koru("cut " + rec + " " + out + " --from 1 --to 5 --append");
    EXPECT_EQ(shape.status, 1);
    EXPECT_EQ(shape.err, "Append Error: Cannot append: " + out +
                             " has 2 channels at 250 microseconds per sample; the cutout has 3 "
                             "channels at 250.\n");
    const Outcome empty = Koru("cut " + rec + " " + dir.File("e.txt") + " --from 7 --to 7");
    EXPECT_EQ(empty.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("e.txt")));
}

TEST_F(KoruFixture, AmplitudePrintsTheEightLines) {
    dir.Write("rec.sig", test::SigFile(2, 250, 1001));
    const Outcome r = Koru("amplitude " + dir.File("rec.sig") + " --from 100 --to 110");
    EXPECT_EQ(r.status, 0) << r.err;
    // Value() climbs by 7 a frame here on both channels.
    EXPECT_EQ(r.out,
              "Channel 1:  70\nChannel 2:  70\nChannel 3:  0\nChannel 4:  0\nChannel 5:  0\n"
              "Channel 6:  0\nChannel 7:  0\nChannel 8:  0\n");
}

TEST_F(KoruFixture, PipesFoldersAndHugeRecordingsGiveAMessageAndNeverHang) {
    const std::string pipe = dir.File("pipe.sig"), folder = dir.File("folder.sig");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    for (const std::string& path : {pipe, folder}) {
        const Outcome r = Koru("info " + path);
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.err.rfind("Error: KORU VIEW -- Cannot open file: ", 0), 0u) << r.err;
    }
    // A pipe where the marker file would be: no markers, and no failure.
    dir.Write("rec.sig", test::SigFile(1, 1000, 100));
    ASSERT_EQ(::mkfifo(dir.File("rec.mrk").c_str(), 0600), 0);
    const Outcome markers = Koru("markers " + dir.File("rec.sig"));
    EXPECT_EQ(markers.status, 0) << markers.err;
    EXPECT_EQ(markers.out, "");

    const std::string text = dir.File("in.txt");
    ASSERT_EQ(::mkfifo(text.c_str(), 0600), 0);
    const Outcome convert = Koru("convert " + text + " " + dir.File("out.sig"));
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.err, "Convert File Error: Error opening text file.\n");

    // More frames than a signed 32-bit count: told, shown as far as it goes.
    const std::string huge = dir.Write("huge.sig", test::SigHeaderBytes(1, 1000));
    ASSERT_EQ(::truncate(huge.c_str(), 326 + 2 * (off_t{INT32_MAX} + 1)), 0);
    const Outcome info = Koru("info --filemode " + huge);
    EXPECT_EQ(info.status, 1);
    std::string upper = huge;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(info.err,
              "WARNING: Only the first 2147483647 frames of " + upper + " can be shown.\n");
    EXPECT_NE(info.out.find("Frames: 2147483647\n"), std::string::npos);
}

}  // namespace
}  // namespace koru

namespace koru {
namespace {

TEST_F(KoruFixture, InfoReadsForeignRecordsAndTakesSignalsByFileNumber) {
    const std::string real = KORU_REAL_DATA_DIR;
    const Outcome mit = Koru("info " + real + "/mitdb/100.hea");
    EXPECT_EQ(mit.status, 0);  // keeping 2048 of the annotations is no failure
    EXPECT_NE(mit.out.find("Channels: 2\nInterval: 2778\nFrames: 650000\n"), std::string::npos);
    EXPECT_NE(mit.out.find("Frequency: 360.0 Hz\nDescription: 100: MLII, V5\nMarkers: 2048\n"),
              std::string::npos);
    EXPECT_NE(mit.err.find("Markers: Only the first 2048 of 2273 annotations"), std::string::npos);

    const Outcome ptb = Koru("info " + real + "/ptbdb/s0010_re.hea --signals 13,14,15");
    EXPECT_EQ(ptb.status, 0);
    EXPECT_NE(ptb.out.find("Channels: 3\n"), std::string::npos);
    const Outcome one = Koru("info " + real + "/mitdb/100.hea --signals 2");
    EXPECT_EQ(one.status, 0);  // a record of two signals takes the choice as well
    EXPECT_NE(one.out.find("Channels: 1\n"), std::string::npos);
    EXPECT_NE(one.out.find("Description: 100: MLII, V5\n"), std::string::npos);
    EXPECT_NE(Koru("info " + real + "/ptbdb/s0010_re.hea").out.find("Channels: 8\n"),
              std::string::npos);  // the first eight without --signals
    const Outcome missing = Koru("info " + real + "/ptbdb/s0010_re.hea --signals 1,16");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no signal 16"), std::string::npos);
    EXPECT_EQ(Koru("info " + real + "/ptbdb/s0010_re.hea --signals 0").status, 2);

    dir.WriteText("bad.edf", "0       not really");
    const Outcome bad = Koru("info " + dir.File("bad.edf"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Invalid file"), std::string::npos);
}

// Every annotation of MIT-BIH 100, in both forms: rdann lists 2274 (the
// first the rhythm "+" with text "(N" at 18, then the beat at 77), beyond
// the Marker list's 2048.
TEST_F(KoruFixture, AnnotationsListsEveryOneWithLabelAndText) {
    const std::string rec = std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea";
    const Outcome csv = Koru("annotations --format csv " + rec);
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out.rfind("time_s,frame,label,text\n0.05,18,+,(N\n0.213889,77,N,\n", 0), 0u)
        << csv.out.substr(0, 200);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 2275);
    EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), 'A'), 33);
    const Outcome text = Koru("--quiet annotations " + rec);
    ASSERT_EQ(text.status, 0);
    EXPECT_EQ(text.out.rfind("0.05 18 + (N\n0.213889 77 N\n", 0), 0u);
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 2274);
}

// Beats of MIT-BIH 100 (2273 reference beats, the first at frame 77) in each
// of the output forms; the Marker file stops at its limit and says so.
TEST_F(KoruFixture, BeatsWritesFramesMarkersCsvAndRr) {
    const std::string rec = std::string(KORU_REAL_DATA_DIR) + "/mitdb/100.hea";
    const Outcome txt = Koru("beats " + rec + " --out " + dir.File("b.txt"));
    ASSERT_EQ(txt.status, 0) << txt.err;
    EXPECT_TRUE(txt.out.empty());
    std::istringstream in(ReadText(dir.File("b.txt")));
    std::vector<int64_t> frames;
    for (int64_t f; in >> f;) frames.push_back(f);
    ASSERT_GE(frames.size(), 2260u);
    ASSERT_LE(frames.size(), 2290u);
    EXPECT_NEAR(static_cast<double>(frames[0]), 77, 54);
    EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
    EXPECT_NE(ReadText(dir.File("b.txt")).find("\r\n"), std::string::npos);

    const Outcome printed = Koru("beats " + rec);
    std::string lines;
    for (const int64_t f : frames) lines += std::to_string(f) + "\n";
    EXPECT_EQ(printed.out, lines);

    const Outcome mrk = Koru("beats " + rec + " --channel 1 --out " + dir.File("b.mrk"));
    EXPECT_EQ(mrk.status, 0);
    // After the record's own annotations, which its open shows as markers.
    EXPECT_NE(mrk.err.find("\nMarkers: Only the first 2048 of " + std::to_string(frames.size()) +
                           " annotations are shown as markers.\n"),
              std::string::npos)
        << mrk.err;
    // --quiet keeps the box off stderr, before or after the subcommand.
    for (const std::string& args : {"--quiet markers " + rec, "markers --quiet " + rec}) {
        const Outcome quiet = Koru(args);
        EXPECT_EQ(quiet.status, 0);
        EXPECT_EQ(quiet.err, "");
    }
    std::istringstream markers(ReadText(dir.File("b.mrk")));
    std::vector<int64_t> kept;
    for (int64_t f; markers >> f;) kept.push_back(f);
    EXPECT_EQ(kept, std::vector<int64_t>(frames.begin(), frames.begin() + 2048));

    ASSERT_EQ(Koru("beats " + rec + " --out " + dir.File("b.CSV")).status, 0);
    const std::string csv = ReadText(dir.File("b.CSV"));
    EXPECT_EQ(csv.substr(0, 20), "time_s,frame,label\r\n");
    // The second beat: its frame at 2778 us a frame, in seconds, then the frame and "N".
    char row[64];
    std::snprintf(row, sizeof row, "%.6f,%lld,N\r\n", static_cast<double>(frames[1]) * 2778e-6,
                  static_cast<long long>(frames[1]));
    EXPECT_NE(csv.find(row), std::string::npos) << row;

    const Outcome rr = Koru("beats " + rec + " --rr");
    EXPECT_EQ(rr.status, 0);
    EXPECT_EQ(rr.out.substr(0, rr.out.find('\n')), "time_s rr_s rate_bpm");
    EXPECT_EQ(std::count(rr.out.begin(), rr.out.end(), '\n'),
              static_cast<std::ptrdiff_t>(frames.size()));

    EXPECT_EQ(Koru("beats " + rec + " --out " + dir.File("b.sig")).status, 2);
    EXPECT_EQ(Koru("beats " + rec + " --channel 9").status, 2);
    const Outcome absent = Koru("beats " + rec + " --channel 3");
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("Beats: The recording has no channel 3.\n"), std::string::npos);
}

}  // namespace
}  // namespace koru

namespace koru {
namespace {

// A record with several annotators (03700181: gqrsh, gqrsl, sqrs, no .atr):
// the first by name unless --annotator names another; an unknown name fails
// and lists them. The beat counts are rdann's (notes left out).
TEST_F(KoruFixture, AnnotatorOptionChoosesWhichFileGivesTheMarkers) {
    const std::string record =
        std::string(KORU_PEER_DATA_DIR) + "/wfdb-python-samples/03700181.hea";
    struct Case {
        std::string option;
        std::string markers;
    };
    for (const Case& c : {Case{"", "Markers: 1150\n"}, Case{" --annotator sqrs", "Markers: 1195\n"},
                          Case{" --annotator gqrsl", "Markers: 1117\n"}}) {
        const Outcome o = Koru("info " + record + c.option);
        EXPECT_EQ(o.status, 0) << c.option;
        EXPECT_NE(o.out.find(c.markers), std::string::npos) << c.option << "\n" << o.out;
    }
    const Outcome bad = Koru("info " + record + " --annotator atr");
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("no annotator atr (--annotator); it has gqrsh, gqrsl, sqrs."),
              std::string::npos)
        << bad.err;
}

}  // namespace
}  // namespace koru
