// Replays the receive path's fuzzing corpus (fuzz/corpus/receive) through the
// same checks as the fuzzer; under `make test-asan` with AddressSanitizer and
// UndefinedBehaviorSanitizer watching.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "ReceiveFuzz.h"

TEST(ReceiveCorpus, EveryInputKeepsTheReceivePathSound) {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELNOR_RECEIVE_CORPUS)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(velnor::fuzz::RunReceiveInput(bytes.data(), bytes.size()), "") << entry.path();
    }
    EXPECT_GE(files, 90u) << "the seed corpus is missing";
}
