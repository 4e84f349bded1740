// koru info FILE: what the status bar and the header say about a recording.

#include <algorithm>

#include "RecordingOptions.h"
#include "Subcommand.h"
#include "text/DisplayText.h"
#include "text/NumberText.h"
#include "text/TimeText.h"

namespace koru::cli {
namespace {

class InfoCommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override { recording_.Define(sub); }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui)) return false;
        const SignalDocument& doc = session.document();
        const SignalHeader& h = doc.Header();
        std::string frequency = FormatFrequency(doc.Clock());
        frequency.erase(0, std::min(frequency.find_first_not_of(' '), frequency.size()));
        std::string scale = "Scale:";
        for (const float f : h.Scale) {
            scale += ' ';
            AppendG(scale, static_cast<double>(f));
        }
        std::ostream& out = ui.Out();
        out << "Channels: " << h.ChannelCount << '\n'
            << "Interval: " << h.Interval << '\n'
            << "Frames: " << doc.FrameCount() << '\n'
            << "Length: " << FormatTime(doc.Clock().Micros(doc.FrameCount()), true) << '\n'
            << "Frequency: " << frequency << '\n'
            << "Description: " << DisplayUtf8(h.DescriptionText()) << '\n'
            << "Markers: " << doc.Markers().Count() << '\n'
            << scale << '\n';
        return true;
    }

  private:
    RecordingOptions recording_;
};

const Registrar<InfoCommand> kInfo{"info", "Print the header, length and marker count of FILE", 10};

}  // namespace
}  // namespace koru::cli
