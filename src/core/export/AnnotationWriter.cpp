#include "export/AnnotationWriter.h"

#include "platform/FileWriter.h"

namespace koru {

namespace {

// A field as CSV needs it: quoted when it holds a separator, quote or line break.
void AppendField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string AnnotationCsv(const AnnotationList& list, const FrameClock& clock,
                          std::string_view lineEnd) {
    std::string out = "time_s,frame,label,text";
    out += lineEnd;
    for (const Annotation& a : list.Items()) {
        out += SecondsText(clock.Micros(a.frame));
        out += ',';
        out += std::to_string(a.frame);
        out += ',';
        AppendField(out, a.label);
        out += ',';
        AppendField(out, a.text);
        out += lineEnd;
    }
    return out;
}

std::string AnnotationLines(const AnnotationList& list, const FrameClock& clock,
                            std::string_view lineEnd) {
    std::string out;
    for (const Annotation& a : list.Items()) {
        out += SecondsText(clock.Micros(a.frame));
        out += ' ';
        out += std::to_string(a.frame);
        out += ' ';
        out += a.label;
        if (!a.text.empty()) {
            out += ' ';
            out += a.text;
        }
        out += lineEnd;
    }
    return out;
}

bool WriteAnnotationCsv(const std::string& path, const AnnotationList& list,
                        const FrameClock& clock, std::string* error) {
    return WriteWholeFile(path, AnnotationCsv(list, clock), error);
}

std::string CannotWriteAnnotationsText(const std::string& path, const std::string& reason) {
    return "KORU VIEW -- Cannot write annotation file: " + path + "\n" + reason;
}

}  // namespace koru
