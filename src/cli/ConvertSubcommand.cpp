// koru convert FILE OUT: any recording the program reads into any layout it
// writes; a text sample file to ".sig" is the menu's Convert TXT to SIG.

#include <strings.h>
#include <unistd.h>

#include <cstring>

#include "CutoutOptions.h"
#include "RecordingOptions.h"
#include "Subcommand.h"
#include "app/ConvertCommand.h"
#include "app/CutoutCommands.h"

namespace koru::cli {
namespace {

bool EndsWith(const std::string& path, const char* ext) {
    const std::size_t n = std::strlen(ext);
    return path.size() > n && ::strcasecmp(path.c_str() + path.size() - n, ext) == 0;
}

// Removes the intermediate ".sig" of a text conversion however the run ends.
struct TemporaryFile {
    std::string path;
    ~TemporaryFile() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

class ConvertSubcommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        recording_.Define(sub);
        sub.add_option("OUT", out_,
                       "The file to create (replaced if it exists); its extension chooses the "
                       "layout: .sig, .bin, .dat, .nib, .txt, .edf, .bdf, .csv")
            ->required()
            ->check(CheckLayoutName);
        cutout_.Define(sub, true, false);
    }

    bool Run(CliUi& ui) override {
        RecordingOptions source = recording_;
        TemporaryFile temporary;
        if (EndsWith(source.path, ".txt")) {
            const bool plain =
                cutout_.from.empty() && cutout_.to.empty() && cutout_.channels.empty();
            if (plain && EndsWith(out_, ".sig")) return ConvertText(ui, out_);
            // Other layouts go through a ".sig" beside the output.
            temporary.path = out_ + ".converting.sig";
            if (!ConvertText(ui, temporary.path) || ui.Failed()) return false;
            source.path = temporary.path;
        }
        Session session(ui);
        if (!source.Open(session, ui) || !source.Load(session, ui)) return false;
        const std::optional<Cutout> tags = cutout_.Tags(session.document(), ui);
        if (!tags) return false;
        cutout_.AnswerChannels(ui, session.document());
        ui.filePaths = {out_};
        SaveCutoutCommand(session, *tags, SaveMode::Replace);
        return true;
    }

  private:
    bool ConvertText(CliUi& ui, const std::string& target) const {
        // The same steps as the menu command, its two dialogs answered here.
        Session session(ui);
        ui.filePaths = {recording_.path, target};
        ConvertCommand(session);
        return true;
    }

    RecordingOptions recording_;
    CutoutOptions cutout_;
    std::string out_;
};

const Registrar<ConvertSubcommand> kConvert{
    "convert",
    "Convert FILE (any recording, or a text sample file) into OUT, in the layout its extension "
    "names",
    20};

}  // namespace
}  // namespace koru::cli
