// koru markers FILE: the Marker list as the recording's open reads it, with
// each marker's time.

#include <cstdio>

#include "RecordingOptions.h"
#include "Subcommand.h"

namespace koru::cli {
namespace {

class MarkersCommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        recording_.Define(sub);
        sub.add_option("--format", format_,
                       "text: \"TIME_S FRAME LABEL\" a line; csv: the same as time_s,frame,label "
                       "after a header row (default text)")
            ->check(CLI::IsMember({"text", "csv"}));
    }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui)) return false;
        const SignalDocument& doc = session.document();
        const bool csv = format_ == "csv";
        const char separator = csv ? ',' : ' ';
        if (csv) ui.Out() << "time_s,frame,label\n";
        for (const int32_t m : doc.Markers().items) {
            // Markers carry no text of their own.
            ui.Out() << Seconds(doc.Clock().Micros(m)) << separator << m << separator << "Marker\n";
        }
        return true;
    }

  private:
    static std::string Seconds(int64_t micros) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%s%lld.%06lld", micros < 0 ? "-" : "",
                      static_cast<long long>((micros < 0 ? -micros : micros) / 1000000),
                      static_cast<long long>((micros < 0 ? -micros : micros) % 1000000));
        return buffer;
    }

    RecordingOptions recording_;
    std::string format_ = "text";
};

const Registrar<MarkersCommand> kMarkers{
    "markers", "Print the markers of FILE: time in seconds, frame and label, one a line", 30};

}  // namespace
}  // namespace koru::cli
