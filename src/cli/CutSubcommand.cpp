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
                       "The file to write; .sig, .bin, .dat or .nib in its name choose that "
                       "layout, anything else is text")
            ->required();
        cutout_.Define(sub, true);
        sub.add_flag("--append", append_, "Add the frames to the end of the existing file OUT");
    }

    bool Run(CliUi& ui) override {
        if (!cutout_.Check(ui)) return false;
        Session session(ui);
        if (!recording_.Open(session, ui) || !recording_.Load(session, ui)) return false;
        cutout_.AnswerChannels(ui);
        ui.filePaths = {out_};
        SaveCutoutCommand(session, cutout_.Tags(), append_ ? SaveMode::Append : SaveMode::Replace);
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
