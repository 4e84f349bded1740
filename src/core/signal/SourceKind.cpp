#include "signal/SourceKind.h"

#include "signal/ForeignSource.h"

namespace koru {

SourceKind KindFromPath(std::string_view p) {
    if (p.size() >= 4) {
        std::string_view ext = p.substr(p.size() - 4);
        if (ext == ".BIN") return SourceKind::Bin;
        if (ext == ".DAT") return SourceKind::Dat;
        if (ext == ".NIB") return SourceKind::Nib;
    }
    if (IsForeignPath(p)) return SourceKind::Foreign;
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
        case SourceKind::Foreign:
            break;
    }
    return "";
}

}  // namespace koru
