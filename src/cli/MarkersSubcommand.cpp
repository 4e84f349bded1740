// koru markers FILE: the Marker list as the recording's open reads it.

#include "RecordingOptions.h"
#include "Subcommand.h"

namespace koru::cli {
namespace {

class MarkersCommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override { recording_.Define(sub); }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui)) return false;
        for (const int32_t m : session.document().Markers().items) ui.Out() << m << '\n';
        return true;
    }

  private:
    RecordingOptions recording_;
};

const Registrar<MarkersCommand> kMarkers{"markers", "Print the markers of FILE, one a line", 30};

}  // namespace
}  // namespace koru::cli
