#include "export/TextConvert.h"

#include <algorithm>
#include <array>

#include "platform/AppendWriter.h"
#include "platform/File.h"
#include "platform/FileWriter.h"
#include "signal/SignalHeader.h"

namespace koru {

namespace {

// Not "has been modified": the new file replaces the old one only when complete.
constexpr const char* kWriteError =
    "Write error on signal file.  The signal file was left as it was.  Aborting.";

void Refuse(Ui& ui, const std::string& text, const std::string& reason = {}) {
    ui.ShowMessage(MessageOwner::View, reason.empty() ? text : text + "\n" + reason,
                   kConvertErrorTitle, MessageIcon::Stop);
}

// Line 1: the channel count and the interval, each the first number after
// what came before, so words, signs and points in front are passed over.
bool ReadCounts(TextReader& in, SignalHeader& h, Ui& ui) {
    int64_t read = 0;
    in.SkipToDigit();
    // The count is taken as the header's 16 bits: 65537 is 1. A number past
    // 64 bits saturates, and its low bits (65535) are refused.
    const bool got = in.ReadInteger(read) && !in.Eof();
    const auto channels = static_cast<uint16_t>(got ? read : 0);
    if (channels < 1 || channels > SignalHeader::kMaxChannels) {
        Refuse(ui, "Error reading source file channels.");
        return false;
    }
    int64_t interval = 0;
    in.SkipToDigit();
    if (!in.ReadInteger(interval) || in.Eof() || interval == 0 || interval > UINT32_MAX) {
        Refuse(ui, "Error reading source file intervals.");
        return false;
    }
    h.ChannelCount = channels;
    h.Interval = static_cast<uint32_t>(interval);
    return true;
}

// Lines 2 and 3. A factor that cannot be read stays 0; the first one keeps
// its sign and leading point.
void ReadScalesAndDescription(TextReader& in, SignalHeader& h) {
    in.SkipToNumber();
    for (float& f : h.Scale) {
        if (!in.ReadFloat(f)) f = 0;
    }
    in.SkipLine();
    const std::string text = in.ReadLine(SignalHeader::kDescriptionSize);
    std::copy(text.begin(), text.end(), h.Description.begin());
}

// A file writer that can push what it holds to disk before the samples come.
class HeaderFirstWriter : public FileWriter {
  public:
    using FileWriter::Flush;
};

struct CopyResult {
    bool written = true;
    ShortsStop stop = ShortsStop::End;
    int64_t samples = 0;
};

CopyResult CopySamples(TextReader& in, BufferedOutput& out, uint64_t totalBytes, BusyScope& busy) {
    constexpr std::size_t kChunk = 16 * 1024;
    std::array<int16_t, kChunk> values;
    std::array<uint8_t, 2 * kChunk> bytes;
    CopyResult r;
    for (;;) {
        std::size_t n = 0;
        r.stop = in.ReadShorts(values.data(), kChunk, n);
        for (std::size_t i = 0; i < n; ++i) {
            const auto u = static_cast<uint16_t>(values[i]);
            bytes[2 * i] = static_cast<uint8_t>(u);
            bytes[2 * i + 1] = static_cast<uint8_t>(u >> 8);
        }
        if (!out.Write(bytes.data(), 2 * n)) {
            r.written = false;
            return r;
        }
        r.samples += static_cast<int64_t>(n);
        busy.Progress(in.Consumed(), totalBytes);
        if (r.stop != ShortsStop::Full) return r;
    }
}

}  // namespace

std::string ConversionStoppedText(int64_t line, const std::string& item, int64_t samples) {
    return "Conversion stopped at line " + std::to_string(line) + ": \"" + item +
           "\" is not a sample value. " + std::to_string(samples) + " samples were written.";
}

ConvertResult ConvertText(TextReader& in, uint64_t totalBytes, const std::string& sigPath, Ui& ui) {
    SignalHeader h;
    if (!ReadCounts(in, h, ui)) return {};
    HeaderFirstWriter out;
    if (!out.Open(sigPath)) {
        Refuse(ui, "Error opening signal file.", sigPath + ": " + out.Error());
        return {};
    }
    BusyScope busy(ui, ProgressMode::Writing);
    ui.ProgressSet(0);
    ReadScalesAndDescription(in, h);
    const HeaderBytes header = SerializeHeader(h);
    // The header goes to disk on its own, so a disk full at the start says so.
    if (!out.Write(header.data(), header.size()) || !out.Flush()) {
        busy.End();
        Refuse(ui, "Couldn't write header.", out.Error());
        return {};
    }
    const CopyResult copy = CopySamples(in, out, totalBytes, busy);
    if (!copy.written || !out.Commit()) {
        busy.End();
        Refuse(ui, kWriteError, out.Error());
        return {};
    }
    busy.End();
    if (copy.stop == ShortsStop::NotNumber || copy.stop == ShortsStop::OutOfRange) {
        ui.ShowMessage(MessageOwner::View,
                       ConversionStoppedText(in.StopLine(), in.StopItem(), copy.samples),
                       kConvertErrorTitle, MessageIcon::Exclamation);
        return {ConvertResult::Outcome::Stopped, copy.samples};
    }
    return {ConvertResult::Outcome::Converted, copy.samples};
}

ConvertResult ConvertTextFile(const std::string& textPath, const std::string& sigPath, Ui& ui) {
    RollBackUnfinishedAppend(textPath);  // a text cutout whose append was killed halfway
    ReadOnlyFile file;
    if (!file.Open(textPath)) {
        Refuse(ui, "Error opening text file.");
        return {};
    }
    TextReader in(file.Sequential());
    return ConvertText(in, file.Size(), sigPath, ui);
}

}  // namespace koru
