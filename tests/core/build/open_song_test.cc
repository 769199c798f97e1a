// Opening a file as a song: the name decides the reader, the bytes only help the
// message say what the file really is.

#include <gtest/gtest.h>

#include "build/build_song.h"
#include "build/open_song.h"
#include "song/song_file.h"
#include "test_support.h"
#include "messages.h"

namespace chwr {
namespace {

using test::Ascii;
using test::Bytes;
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
  const struct {
    FileKind kind;
    Bytes bytes;
    std::string message;
  } cases[] = {
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

TEST(OpenSong, ReadsByTheRuleAndSaysWhatItCannotReadYet) {
  test::TempDir dir;
  test::WriteBytes(dir / "song.txt", *SerializeSongFile(test::Song("CDE")));
  test::WriteBytes(dir / "song.MLD", BuildSong(test::Song("C4"))->mldImage);
  auto text = OpenSongFile(dir / "song.txt");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->kind, FileKind::kSongText);
  EXPECT_EQ(text->song.parts[0].mml, "CDE");
  auto mld = OpenSongFile(dir / "song.MLD");
  ASSERT_TRUE(mld);
  EXPECT_EQ(mld->kind, FileKind::kMld);
  EXPECT_EQ(mld->song.parts[0].mml, "C4");

  EXPECT_EQ(OpenSongFile(dir / "missing.txt").error().message, msg::kFileReadFailed);
  BuildRequest smd;
  smd.smd = true;
  test::WriteBytes(dir / "song.Smd", BuildSong(test::Song("O4C4"), smd)->smdFile);
  auto read = OpenSongFile(dir / "song.Smd");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->kind, FileKind::kSmd);
  EXPECT_EQ(read->song.parts[0].mml, "O4C4");
  EXPECT_EQ(OpenSongFile(dir / "missing.smd").error().message, msg::kFileReadFailed);
  // Any bytes open as SMD; what the reader could not read it says.
  auto cut = OpenSongBytes(FileKind::kSmd, Ascii("\x1B$D\x66"));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->song.parts[0].mml, "O4C4");
  EXPECT_EQ(test::Messages(cut->warnings),
            std::vector<std::string>{"ﾌｧｲﾙが途中で終わっています。読めたところまでを読み込みました。"});

  // A MIDI file is imported with the dialog's first choices: its first track after the
  // tempo track, at 48 steps a quarter.
  BuildRequest midi;
  midi.midi = true;
  test::WriteBytes(dir / "x.MID", BuildSong(test::Song("O4C4D8"), midi)->midiFile);
  auto imported = OpenSongFile(dir / "x.MID");
  ASSERT_TRUE(imported);
  EXPECT_EQ(imported->kind, FileKind::kMidi);
  EXPECT_EQ(imported->song.resolution, 1);
  EXPECT_NE(imported->song.parts[0].mml.find("C4D8"), std::string::npos)
      << imported->song.parts[0].mml;
}

}  // namespace
}  // namespace chwr
