// Replays the reader's fuzzing corpus (fuzz/corpus/reader) through the reader:
// under `make test-asan` every file is read with AddressSanitizer and
// UndefinedBehaviorSanitizer watching.
#include <gtest/gtest.h>

#include <filesystem>

#include "SmfBuilder.h"
#include "songs/MidiReader.h"

using namespace velnor;

TEST(ReaderCorpus, EveryFileReadsWithinItsBytes) {
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELNOR_READER_CORPUS)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        test::Bytes bytes = test::ReadFile(entry.path());
        CMidiReader reader;
        ASSERT_TRUE(reader.LoadFromMemory(bytes));
        int header = reader.ParseHeader();
        EXPECT_TRUE(header == CMidiReader::kHeaderOk || header == CMidiReader::kHeaderInvalid)
            << entry.path();
        bool ends = reader.ParseTracks();
        // Decoding again gives the same events the first pass counted.
        bool all_end = true;
        for (int t = 0; header == 0 && t < reader.GetTrackCount(); ++t) {
            std::vector<MidiEvent> events = reader.GetEvents(t);
            ASSERT_EQ(events.size(), reader.GetEventCount(t)) << entry.path();
            if (!events.empty()) {
                EXPECT_EQ(events.back().status, reader.GetLastEvent(t)->status);
                all_end = all_end && events.back().IsEndOfTrack();
            }
        }
        EXPECT_EQ(ends, all_end) << entry.path();
    }
    EXPECT_GE(files, 10u) << "the seed corpus is missing";
}
