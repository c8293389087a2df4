// Replays the reader's fuzzing corpus (fuzz/corpus/reader) through the reader
// and the converter:
// under `make test-asan` every file is read with AddressSanitizer and
// UndefinedBehaviorSanitizer watching.
#include <gtest/gtest.h>

#include <filesystem>

#include "SmfBuilder.h"
#include "songs/MidiReader.h"
#include "songs/SongConverter.h"

using namespace velnor;

TEST(ReaderCorpus, EveryFileReadsWithinItsBytes) {
    size_t files = 0;
    size_t converted = 0;
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
        // The converter reads the same bytes its own way; a song it makes passes the rule.
        const SongConversion conversion = ConvertSong(bytes);
        if (conversion.status == ConversionStatus::Converted) {
            ++converted;
            EXPECT_EQ(CheckSongBytes(conversion.song), SongVerdict::Accepted) << entry.path();
            EXPECT_EQ(ConvertSong(conversion.song).status, ConversionStatus::AlreadySong);
        }
    }
    EXPECT_GT(converted, 0u);
    EXPECT_GE(files, 10u) << "the seed corpus is missing";
}
