// koru amplitude FILE: Measure Amplitude between --from and --to.

#include "CutoutOptions.h"
#include "RecordingOptions.h"
#include "Subcommand.h"
#include "app/CutoutCommands.h"

namespace koru::cli {
namespace {

class AmplitudeSubcommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        recording_.Define(sub);
        cutout_.Define(sub, false);
    }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui) || !recording_.Load(session, ui)) return false;
        const std::optional<Cutout> tags = cutout_.Tags(session.document(), ui);
        if (!tags) return false;
        MeasureAmplitudeCommand(session, *tags);
        return true;
    }

  private:
    RecordingOptions recording_;
    CutoutOptions cutout_;
};

const Registrar<AmplitudeSubcommand> kAmplitude{
    "amplitude", "Print the highest minus the lowest value of each channel from --from to --to",
    50};

}  // namespace
}  // namespace koru::cli
