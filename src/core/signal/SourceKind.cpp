#include "signal/SourceKind.h"

namespace koru {

SourceKind KindFromPath(std::string_view p) {
    if (p.size() >= 4) {
        std::string_view ext = p.substr(p.size() - 4);
        if (ext == ".BIN") return SourceKind::Bin;
        if (ext == ".DAT") return SourceKind::Dat;
        if (ext == ".NIB") return SourceKind::Nib;
    }
    return SourceKind::Sig;
}

std::string_view KindLabel(SourceKind kind) {
    switch (kind) {
        case SourceKind::Bin:
            return "Bin right 12";
        case SourceKind::Dat:
            return "Bin left 12 of 16";
        case SourceKind::Nib:
            return "Bigend left 12/16";
        case SourceKind::Sig:
            break;
    }
    return "";
}

}  // namespace koru
