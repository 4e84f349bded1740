// koru convert TEXT SIG: Convert TXT to SIG with the two names given.

#include "Subcommand.h"
#include "app/ConvertCommand.h"

namespace koru::cli {
namespace {

class ConvertSubcommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        sub.add_option("TEXT", text_, "The text sample file to read")->required();
        sub.add_option("SIG", sig_,
                       "The signal file to create (must end in .sig; replaced if it exists)")
            ->required();
    }

    bool Run(CliUi& ui) override {
        // The same steps as the menu command, its two dialogs answered here.
        Session session(ui);
        ui.filePaths = {text_, sig_};
        ConvertCommand(session);
        return true;
    }

  private:
    std::string text_, sig_;
};

const Registrar<ConvertSubcommand> kConvert{
    "convert", "Convert the text sample file TEXT into the signal file SIG", 20};

}  // namespace
}  // namespace koru::cli
