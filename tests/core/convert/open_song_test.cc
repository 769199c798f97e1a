// Opening a file as a song: the name decides the reader, the bytes only help the
// message say what the file really is.

#include <gtest/gtest.h>

#include "convert/build_song.h"
#include "convert/open_song.h"
#include "heard.h"
#include "messages.h"
#include "mld_bytes.h"
#include "song/song_file.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Ascii;
using test::Bytes;
using test::Cat;
using test::Info;
using test::kMldEnd;
using test::kMldTempo;
using namespace std::string_view_literals;

TEST(OpenSong, TheLastThreeCharactersOfTheNameDecide) {
  const std::pair<const char*, FileKind> cases[] = {
      {"a.mld", FileKind::kMld},
      {"A.MLD", FileKind::kMld},
      {"dir.mld/song.txt", FileKind::kSongText},  // the folder's name does not count
      {"x.Smd", FileKind::kSmd},
      {"tune.mid", FileKind::kMidi},
      {"tune.midi", FileKind::kSongText},
      {"song", FileKind::kSongText},
      {"mld", FileKind::kMld},
      {"xmld", FileKind::kMld},
      {"md", FileKind::kSongText},
      {"", FileKind::kSongText},
  };
  for (const auto& [name, kind] : cases) EXPECT_EQ(FileKindOf(name), kind) << name;
}

TEST(OpenSong, SniffingNamesWhatTheBytesPlainlyAre) {
  const std::pair<Bytes, std::optional<FileKind>> cases[] = {
      {Ascii("melo\0\0"sv), FileKind::kMld},
      {Ascii("MThd\0\0\0\6"sv), FileKind::kMidi},
      {Ascii("\x1B$Dfg\x0F"), FileKind::kSmd},
      {Ascii("qrv\r\nT"), FileKind::kSongText},
      {Ascii("qrv\n"), FileKind::kSongText},
      {Ascii("qrvx"), std::nullopt},
      {Ascii("mel"), std::nullopt},
      {{}, std::nullopt},
      // SMD titles: text, never a zero byte or a line break after the word.
      {Ascii("melody\x1B$Dfg\x0F"), std::nullopt},
      {Ascii("MThd\x1B$Dfg\x0F"), std::nullopt},
      {Ascii("melo"), std::nullopt},
      {Ascii("qrv\x1B$Dfg\x0F"), std::nullopt},
  };
  for (const auto& [bytes, kind] : cases) {
    EXPECT_EQ(SniffFileKind(bytes), kind) << std::string(bytes.begin(), bytes.end());
  }
}

TEST(OpenSong, RefusalsSayWhatWasFound) {
  const Bytes songText = *SerializeSongFile(test::Song("C4"));
  const Bytes mld = BuildSong(test::Song("C4"))->mldImage;
  BuildRequest outputs;
  outputs.midi = outputs.smd = true;
  const auto built = BuildSong(test::Song("O4C4"), outputs);
  const Bytes& midi = built->midiFile;
  const Bytes& smd = built->smdFile;
  // clang-format off
  const struct { FileKind kind; Bytes bytes; std::string message; } cases[] = {
      {FileKind::kMld, songText, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はﾃｷｽﾄﾌｧｲﾙです。"},
      {FileKind::kSongText, mld, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。"},
      {FileKind::kSongText, Ascii("MThd\0\0\0\6"sv),
       "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMIDIﾌｧｲﾙです。"},
      {FileKind::kMld, Ascii("\x1B$Df\x0F"), "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はSMDﾌｧｲﾙです。"},
      {FileKind::kMld, Ascii("garbage"), "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
      {FileKind::kSongText, {}, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。"},
      // The SMD reader takes any bytes: a file of another kind is refused by what it is.
      {FileKind::kSmd, mld, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。"},
      {FileKind::kSmd, songText, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はﾃｷｽﾄﾌｧｲﾙです。"},
      {FileKind::kSmd, midi, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMIDIﾌｧｲﾙです。"},
      {FileKind::kMidi, mld, "SMF ﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。"},
      {FileKind::kMidi, songText, "SMF ﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はﾃｷｽﾄﾌｧｲﾙです。"},
      {FileKind::kMidi, smd, "SMF ﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はSMDﾌｧｲﾙです。"},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto opened = OpenSongBytes(c.kind, c.bytes);
    ASSERT_FALSE(opened) << c.message;
    EXPECT_EQ(opened.error().message, c.message);
    EXPECT_EQ(opened.error().kind, DiagnosticKind::Error);
  }
  // What the import dialog reads first refuses alike.
  EXPECT_EQ(ReadMidiFileFacts(mld).error().message,
            "SMF ﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。");
  EXPECT_EQ(ReadMidiFileFacts(midi)->format, 1u);

  // An SMD file whose title begins like another kind's file is still an SMD file.
  auto titled = OpenSongBytes(FileKind::kSmd, test::Cat({Ascii("melody"), smd}));
  ASSERT_TRUE(titled) << titled.error().message;
  EXPECT_EQ(titled->song.title, "melody");
  EXPECT_EQ(titled->song.parts[0].mml, "O4C4");
}

TEST(OpenSong, ReadsByTheRuleAndSaysWhatItCannotRead) {
  test::TempDir dir;
  BuildRequest all;
  all.midi = all.smd = true;
  const auto built = BuildSong(test::Song("O4C4D8"), all);
  ASSERT_TRUE(built);
  // A MIDI file is imported with the dialog's first choices: its first track after the
  // tempo track, at 48 steps a quarter.
  // clang-format off
  const struct { const char* name; Bytes bytes; FileKind kind; } files[] = {
      {"song.txt", *SerializeSongFile(test::Song("O4C4D8")), FileKind::kSongText},
      {"song.MLD", built->mldImage, FileKind::kMld},
      {"song.Smd", built->smdFile, FileKind::kSmd},
      {"x.MID", built->midiFile, FileKind::kMidi},
  };
  // clang-format on
  for (const auto& f : files) {
    test::WriteBytes(dir / f.name, f.bytes);
    auto opened = OpenSongFile(dir / f.name);
    ASSERT_TRUE(opened) << f.name;
    EXPECT_EQ(opened->kind, f.kind) << f.name;
    EXPECT_EQ(opened->song.resolution, 1) << f.name;
    EXPECT_NE(opened->song.parts[0].mml.find("C4D8"), std::string::npos)
        << f.name << ": " << opened->song.parts[0].mml;
  }
  EXPECT_EQ(OpenSongFile(dir / "missing.txt").error().message, msg::kFileReadFailed);
  EXPECT_EQ(OpenSongFile(dir / "missing.smd").error().message, msg::kFileReadFailed);
}

TEST(OpenSong, RingTonesOfOtherLayoutsNameTheVoicesLeftOut) {
  // Five voices: the fifth is named as left out. A chord is named too.
  std::vector<Bytes> tracks(2, kMldEnd);
  tracks[0] = {0x00, 0x01, 0x10, 0x00, 0x41, 0x10, 0x00, 0x81,
               0x10, 0x00, 0xC1, 0x10, 0x00, 0xC5, 0x10};
  tracks[1] = {0x00, 0x01, 0x10};
  const auto opened = OpenSongBytes(FileKind::kMld, test::MldFile({}, tracks));
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(test::Messages(opened->warnings),
            (std::vector<std::string>{msg::MldVoicesLeftOut({4}), msg::kMldChordsInParts}));
}

// This program's own image rewritten in another program's layout: a "note" chunk and
// 4-byte notes (velocity 63), everything else as it was.
Bytes FourByteNotes(const Bytes& image) {
  const std::size_t infoEnd = 10 + (image[8] << 8 | image[9]);
  const Bytes info(image.begin() + 13, image.begin() + static_cast<long>(infoEnd));
  const Bytes events(image.begin() + static_cast<long>(infoEnd) + 8, image.end());
  Bytes out;
  for (std::size_t i = 0; i + 2 < events.size();) {
    std::size_t size = 3;
    if (events[i + 1] == 0xFF)
      size = events[i + 2] < 0xF0 ? 4 : 5 + (events[i + 3] << 8 | events[i + 4]);
    out.insert(out.end(), events.begin() + static_cast<long>(i),
               events.begin() + static_cast<long>(i + size));
    if (size == 3) out.push_back(0xFC);
    i += size;
  }
  return test::MldFile(Cat({info, Info("note", {0, 1})}), {out});
}

TEST(OpenSong, ARingToneInAnotherLayoutSoundsAsTheSongItWasMadeFrom) {
  std::mt19937 rng(11);
  test::PartShape shape;
  shape.lowKey = 15;
  shape.highKey = 62;  // part 2's O6C has the status other layouts give sampled sound
  shape.maxQ = 40;
  shape.maxItems = 24;
  for (int trial = 0; trial < 20; ++trial) {
    SongDocument song = test::SongOf({test::RandomPart(rng, shape), test::RandomPart(rng, shape),
                                      test::RandomPart(rng, shape), test::RandomPart(rng, shape)});
    song.title = "Bell " + std::to_string(trial);
    auto built = BuildSong(song);
    ASSERT_TRUE(built.has_value()) << built.error().message;
    auto opened = OpenSongBytes(FileKind::kMld, FourByteNotes(built->mldImage));
    ASSERT_TRUE(opened.has_value()) << opened.error().message;
    EXPECT_EQ(opened->kind, FileKind::kMld);
    EXPECT_EQ(opened->song.title, song.title);
    EXPECT_TRUE(opened->warnings.empty()) << opened->warnings.front().message;
    // Keys, starts and ends; the volume is the handset's own in the other layout.
    const auto heard = [](const std::array<std::vector<test::HeardNote>, 4>& parts) {
      std::array<std::vector<std::tuple<int, int, int>>, 4> out;
      for (int p = 0; p < 4; ++p) {
        for (const auto& n : parts[p]) out[p].emplace_back(n.key, n.start, n.end);
      }
      return out;
    };
    EXPECT_EQ(heard(test::Listen(opened->song)), heard(test::Listen(song)))
        << song.parts[0].mml << "\n"
        << song.parts[1].mml << "\n"
        << song.parts[2].mml << "\n"
        << song.parts[3].mml;
  }
}

// Voice v's key k: a 3-byte note at delta 0, gate 16.
Bytes N(int v, int k) {
  return {0x00, std::uint8_t(v << 6 | k), 0x10};
}

TEST(OpenSong, ARingToneFitsASongWithFourVoicesAtMostAndNoChords) {
  const struct {
    const char* what;
    std::vector<Bytes> tracks;
    bool fits;
  } cases[] = {
      {"no notes", {kMldEnd}, true},
      {"four voices on two tracks", {Cat({N(0, 1), N(3, 2)}), Cat({N(0, 1), N(1, 2)})}, true},
      {"five voices", {Cat({N(0, 1), N(1, 1), N(2, 1), N(3, 1)}), N(0, 1)}, false},
      {"a chord", {Cat({N(0, 1), N(0, 5)})}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MldFitsSong(*DecodeMld(test::MldFile({}, c.tracks))), c.fits) << c.what;
  }
}

TEST(OpenSong, VoicesNotPickedAndChordsPickedAreNamed) {
  // Channels 1 to 5, the first striking a chord.
  const auto music = DecodeMld(test::MldFile(
      {}, {Cat({N(0, 1), N(0, 5), N(1, 1), N(2, 1), N(3, 1)}), Cat({N(0, 1), kMldEnd})}));
  const MldMidi midi = MldToSmf(*music, kMldSongBase);
  EXPECT_EQ(test::Messages(MldChoiceWarnings(*music, midi, {true, false, true})),
            (std::vector<std::string>{msg::MldVoicesNotChosen({1, 3, 4}), msg::kMldChordsInParts}));
  EXPECT_EQ(test::Messages(MldChoiceWarnings(*music, midi, {false, true, true, true, true})),
            std::vector<std::string>{msg::MldVoicesNotChosen({0})});
}

}  // namespace
}  // namespace chwr
