#pragma once
// What another program may do to a recording's file while it is shown, and
// every frame a document reads, for the changed-file tests.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "signal/SignalDocument.h"
#include "support/TempDir.h"

namespace koru::test {

enum class Change { RenamedOver, Appended, CutShort, Emptied };

inline std::vector<Frame> AllFrames(const SignalDocument& doc) {
    std::vector<Frame> out;
    FrameSpans spans(doc, 0);
    for (std::span<const Frame> run; !(run = spans.Next(5000)).empty();)
        out.insert(out.end(), run.begin(), run.end());
    return out;
}

inline void ChangeFile(const TempDir& dir, const std::string& path, Change change) {
    const auto size = static_cast<off_t>(std::filesystem::file_size(path));
    switch (change) {
        case Change::RenamedOver: {
            // Another recording of the same size, all different values.
            const std::string other = dir.Write(
                "other.tmp", std::vector<uint8_t>(static_cast<std::size_t>(size), uint8_t{0x5A}));
            ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
            return;
        }
        case Change::Appended: {
            const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
            ASSERT_GE(fd, 0);
            const std::vector<uint8_t> more(100'000, uint8_t{0x33});
            EXPECT_EQ(::write(fd, more.data(), more.size()), static_cast<ssize_t>(more.size()));
            ::close(fd);
            return;
        }
        case Change::CutShort:
            ASSERT_EQ(::truncate(path.c_str(), size / 2), 0);
            return;
        case Change::Emptied:
            ASSERT_EQ(::truncate(path.c_str(), 0), 0);
            return;
    }
}

}  // namespace koru::test
