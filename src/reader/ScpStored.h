#pragma once
// How many samples an uncompressed SCP-ECG file really stores per lead.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace koru {

// The least sample count of any lead in the rhythm data section when its
// samples are stored plain (no Huffman table section, no bimodal
// compression): 16 bits each, so the byte count of a lead halved. Nothing
// when the file is not laid out so, or is compressed.
std::optional<uint64_t> ScpStoredSamples(std::string_view file);

}  // namespace koru
