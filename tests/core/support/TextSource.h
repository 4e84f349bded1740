#pragma once
// Inputs for the streaming text readers, without files.

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "text/TextReader.h"

namespace koru::test {

// The text, at most `chunk` bytes a call, so a reader meets every buffer edge.
inline ReadFn StringSource(std::string text, std::size_t chunk = std::string::npos) {
    auto state = std::make_shared<std::pair<std::string, std::size_t>>(std::move(text), 0);
    return [state, chunk](char* out, std::size_t max) {
        auto& [s, at] = *state;
        const std::size_t n = std::min({max, chunk, s.size() - at});
        std::memcpy(out, s.data() + at, n);
        at += n;
        return n;
    };
}

// `head`, then `count` copies of `fill`, then `tail`: a line of a gigabyte
// without a gigabyte of memory.
inline ReadFn PatternSource(std::string head, char fill, uint64_t count, std::string tail) {
    struct State {
        std::string head, tail;
        char fill;
        uint64_t count, at = 0;
    };
    auto st = std::make_shared<State>(State{std::move(head), std::move(tail), fill, count});
    return [st](char* out, std::size_t max) {
        const uint64_t total = st->head.size() + st->count + st->tail.size();
        std::size_t n = 0;
        while (n < max && st->at < total) {
            const uint64_t at = st->at;
            std::size_t take;
            if (at < st->head.size()) {
                take = std::min<std::size_t>(max - n, st->head.size() - at);
                std::memcpy(out + n, st->head.data() + at, take);
            } else if (at < st->head.size() + st->count) {
                take = static_cast<std::size_t>(
                    std::min<uint64_t>(max - n, st->head.size() + st->count - at));
                std::memset(out + n, st->fill, take);
            } else {
                const auto t = static_cast<std::size_t>(at - st->head.size() - st->count);
                take = std::min<std::size_t>(max - n, st->tail.size() - t);
                std::memcpy(out + n, st->tail.data() + t, take);
            }
            n += take;
            st->at += take;
        }
        return n;
    };
}

}  // namespace koru::test
