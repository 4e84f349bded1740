// koru annotations FILE: every annotation of the recording with its label
// and text, as the window's annotation table lists them and its export
// writes them.

#include "RecordingOptions.h"
#include "Subcommand.h"
#include "export/AnnotationWriter.h"

namespace koru::cli {
namespace {

class AnnotationsCommand : public Subcommand {
  public:
    void Define(CLI::App& sub) override {
        recording_.Define(sub);
        sub.add_option("--format", format_,
                       "text: \"TIME_S FRAME LABEL [TEXT]\" a line; csv: time_s,frame,label,text "
                       "after a header row, as File > Export Annotations writes it (default text)")
            ->check(CLI::IsMember({"text", "csv"}));
    }

    bool Run(CliUi& ui) override {
        Session session(ui);
        if (!recording_.Open(session, ui)) return false;
        const SignalDocument& doc = session.document();
        ui.Out() << (format_ == "csv" ? AnnotationCsv(doc.Annotations(), doc.Clock(), "\n")
                                      : AnnotationLines(doc.Annotations(), doc.Clock()));
        return true;
    }

  private:
    RecordingOptions recording_;
    std::string format_ = "text";
};

const Registrar<AnnotationsCommand> kAnnotations{
    "annotations",
    "Print every annotation of FILE with its label and text: time in seconds, frame, label, text",
    31};

}  // namespace
}  // namespace koru::cli
