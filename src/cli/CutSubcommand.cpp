// koru cut FILE OUT: Save As (or, with --append, Append To) of the cutout
// between --from and --to.

#include "CutoutOptions.h"
#include "RecordingOptions.h"
#include "Subcommand.h"
#include "app/CutoutCommands.h"

namespace koru::cli {
namespace {

class CutSubcommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        recording_.Define(sub);
        sub.add_option("OUT", out_,
                       "The file to write; its extension chooses the layout: .sig, .bin, .dat, "
                       ".nib, .txt (text), .edf (EDF+), .bdf (BDF+), .csv")
            ->required()
            ->check(CheckLayoutName);
        cutout_.Define(sub, true);
        sub.add_flag("--append", append_, "Add the frames to the end of the existing file OUT");
    }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui) || !recording_.Load(session, ui)) return false;
        const std::optional<Cutout> tags = cutout_.Tags(session.document(), ui);
        if (!tags) return false;
        cutout_.AnswerChannels(ui, session.document());
        ui.filePaths = {out_};
        SaveCutoutCommand(session, *tags, append_ ? SaveMode::Append : SaveMode::Replace);
        return true;
    }

  private:
    RecordingOptions recording_;
    CutoutOptions cutout_;
    std::string out_;
    bool append_ = false;
};

const Registrar<CutSubcommand> kCut{
    "cut", "Write the frames from --from to --to of FILE to OUT, or add them with --append", 40};

}  // namespace
}  // namespace koru::cli
