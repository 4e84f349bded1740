// koru beats FILE: the QRS complexes of one channel, as frame numbers.

#include <cctype>
#include <cstdio>

#include "RecordingOptions.h"
#include "Subcommand.h"
#include "analysis/Beats.h"
#include "export/MarkerWriter.h"
#include "platform/FileWriter.h"
#include "signal/ForeignOpen.h"

namespace koru::cli {
namespace {

enum class OutKind { Stdout, Text, Markers, Csv };

std::string Lowered(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

OutKind KindOf(const std::string& path) {
    const std::string p = Lowered(path);
    if (p.empty()) return OutKind::Stdout;
    if (p.ends_with(".mrk")) return OutKind::Markers;
    if (p.ends_with(".csv")) return OutKind::Csv;
    return OutKind::Text;
}

std::string Fixed(double v, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

class BeatsCommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        recording_.Define(sub);
        sub.add_option("--channel", channel_, "The channel to look in (default 1)")
            ->check(CLI::Range(1, kFrameChannels));
        sub.add_option("--out", out_,
                       "Write the beats to FILE.txt (a frame a line), FILE.mrk (the first 2048 "
                       "as markers) or FILE.csv (time_s,frame,label) instead of printing them")
            ->check([](const std::string& path) {
                const std::string p = Lowered(path);
                for (const char* ext : {".txt", ".mrk", ".csv"})
                    if (p.size() > 4 && p.ends_with(ext)) return std::string();
                return std::string("the file must end in .txt, .mrk or .csv");
            });
        sub.add_flag("--rr", rr_, "Print the time, RR interval and rate of each beat");
    }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui) || !recording_.Load(session, ui)) return false;
        const SignalDocument& doc = session.document();
        if (channel_ > doc.Header().ChannelCount) {
            ui.ShowMessage(MessageOwner::None,
                           "The recording has no channel " + std::to_string(channel_) + ".",
                           "Beats", MessageIcon::Stop);
            return false;
        }
        const std::vector<int64_t> beats = DetectBeats(doc, channel_ - 1);
        const double rate = FrameRate(doc.Header());
        if (rr_) PrintRr(ui.Out(), beats, rate);
        switch (KindOf(out_)) {
            case OutKind::Stdout:
                if (!rr_)
                    for (const int64_t b : beats) ui.Out() << b << '\n';
                return true;
            case OutKind::Markers:
                return WriteMarkers(ui, beats);
            case OutKind::Text:
                return Write(ui, FramesText(beats));
            case OutKind::Csv:
                return Write(ui, CsvText(beats, rate));
        }
        return false;
    }

  private:
    static void PrintRr(std::ostream& out, const std::vector<int64_t>& beats, double rate) {
        out << "time_s rr_s rate_bpm\n";
        for (const RrPoint& p : RrSeries(beats, rate))
            out << Fixed(p.time, 3) << ' ' << Fixed(p.rr, 3) << ' ' << Fixed(p.rate, 1) << '\n';
    }

    static std::string FramesText(const std::vector<int64_t>& beats) {
        std::string text;
        for (const int64_t b : beats) text += std::to_string(b) + "\r\n";
        return text;
    }

    static std::string CsvText(const std::vector<int64_t>& beats, double rate) {
        std::string text = "time_s,frame,label\r\n";
        for (const int64_t b : beats)
            text += Fixed(static_cast<double>(b) / rate, 6) + ',' + std::to_string(b) + ",N\r\n";
        return text;
    }

    bool Write(CliUi& ui, const std::string& text) const {
        std::string reason;
        if (WriteWholeFile(out_, text, &reason)) return true;
        ui.ShowMessage(MessageOwner::None, "Cannot write " + out_ + ": " + reason, "Error",
                       MessageIcon::Stop);
        return false;
    }

    bool WriteMarkers(CliUi& ui, const std::vector<int64_t>& beats) const {
        MarkerList markers;
        for (const int64_t b : beats) {
            if (markers.Full()) break;
            markers.items.push_back(static_cast<int32_t>(b));
        }
        std::string reason;
        if (!WriteMarkerFile(out_, markers, &reason)) {
            ui.ShowMessage(MessageOwner::None, CannotWriteMarkersText(out_, reason), "Error",
                           MessageIcon::Stop);
            return false;
        }
        if (beats.size() > markers.items.size())
            ui.ShowMessage(MessageOwner::None, MarkersKeptText(beats.size()), "Markers",
                           MessageIcon::Information);
        return true;
    }

    RecordingOptions recording_;
    int channel_ = 1;
    std::string out_;
    bool rr_ = false;
};

const Registrar<BeatsCommand> kBeats{
    "beats", "Find the QRS complexes of one channel of FILE and print or write their frames", 60};

}  // namespace
}  // namespace koru::cli
