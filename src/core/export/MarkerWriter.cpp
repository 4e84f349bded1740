#include "export/MarkerWriter.h"

#include "platform/FileWriter.h"
#include "text/NumberText.h"

namespace koru {

namespace {
void AppendLine(std::string& out, int64_t value) {
    AppendRightAligned(out, value, 0);
    out += "\r\n";
}
}  // namespace

std::string MarkerFileText(const MarkerList& markers) {
    std::string out;
    for (const int32_t m : markers.items) AppendLine(out, m);
    return out;
}

std::string CutoutMarkerText(const MarkerList& markers, const Cutout& cutout) {
    std::string out;
    for (const int32_t m : markers.items) {
        if (m > cutout.start && m <= cutout.end) AppendLine(out, int64_t{m} - cutout.start);
    }
    return out;
}

bool WriteMarkerFile(const std::string& path, const MarkerList& markers, std::string* error) {
    return WriteWholeFile(path, MarkerFileText(markers), error);
}

bool WriteCutoutMarkerFile(const std::string& path, const MarkerList& markers, const Cutout& cutout,
                           std::string* error) {
    return WriteWholeFile(path, CutoutMarkerText(markers, cutout), error);
}

std::string CannotWriteMarkersText(const std::string& path, const std::string& reason) {
    return "KORU VIEW -- Cannot write marker file: " + path + "\n" + reason;
}

}  // namespace koru
