#include "signal/MarkerFile.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include "platform/File.h"

namespace koru {

namespace {

// Where the file name starts once its leading dots are passed over.
std::size_t NameBody(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::size_t from = slash == std::string::npos ? 0 : slash + 1;
    while (from < path.size() && path[from] == '.') ++from;
    return from;
}

}  // namespace

std::string CutAtNameDot(const std::string& path) {
    return path.substr(0, path.find('.', NameBody(path)));
}

std::string CutExtension(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < NameBody(path) ? path : path.substr(0, dot);
}

std::string MarkerPathFor(const std::string& signalPath) {
    return CutExtension(signalPath) + ".mrk";
}

std::string OlderMarkerPathFor(const std::string& signalPath) {
    return CutAtNameDot(signalPath) + ".mrk";
}

namespace {

// The marker file may have been written by a system that ignores case, so
// RUN1.MRK and run1.mrk both belong to RUN1.SIG.
std::string FindCaseInsensitive(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return path;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name.c_str()) == 0) {
            found = (slash == std::string::npos ? std::string{} : dir) + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

std::string FindMarkerFile(const std::string& signalPath) {
    std::string found = FindCaseInsensitive(MarkerPathFor(signalPath));
    if (found.empty() && OlderMarkerPathFor(signalPath) != MarkerPathFor(signalPath))
        found = FindCaseInsensitive(OlderMarkerPathFor(signalPath));
    return found;
}

bool ReadMarkers(const std::string& path, int32_t frameCount, std::vector<int32_t>& out) {
    ReadOnlyFile file;
    if (!file.Open(path)) return false;
    // Streamed: a marker file is small, but one that is not must not be
    // read whole to find its first few thousand numbers.
    TextReader in(file.Sequential(), 64 * 1024);
    ReadMarkers(in, frameCount, out);
    return true;
}

void ReadMarkers(TextReader& in, int32_t frameCount, std::vector<int32_t>& out) {
    while (out.size() < MarkerList::kCapacity) {
        int64_t v = 0;
        if (!in.ReadInteger(v)) break;
        if (v > frameCount || v < INT32_MIN) break;
        out.push_back(static_cast<int32_t>(v));
    }
}

void ReadMarkerFile(SignalDocument& doc) {
    MarkerList& markers = doc.Markers();
    markers.Clear();
    if (doc.Kind() != SourceKind::Sig || doc.Header().MarkerFileSuppressed()) return;
    const std::string path = FindMarkerFile(doc.Path());
    if (path.empty()) return;
    if (ReadMarkers(path, doc.FrameCount(), markers.items)) markers.loaded = true;
    markers.MarkSaved();
}

}  // namespace koru
