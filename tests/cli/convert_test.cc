// `chwr convert`: one MLD file or a whole collection to MIDI, through the real program.

#include <gtest/gtest.h>

#include "cli_run.h"
#include "mld_bytes.h"

#include <filesystem>

#include "cli/cli_messages.h"
#include "messages.h"

namespace chwr::test {
namespace {

namespace fs = std::filesystem;

class Convert : public ChwrRun {
 protected:
  // A ring tone in another program's layout: 4-byte notes, two tracks.
  Bytes Foreign() const {
    return MldFile(Info("note", {0, 1}), {Cat({kMldTempo, {0x00, 0x0F, 0x18, 0xFD}, kMldEnd}),
                                          Cat({{0x00, 0x01, 0x30, 0xFC}, kMldEnd})});
  }
};

TEST_F(Convert, OneFileToTheNamedMidiFile) {
  WriteBytes(dir_ / "tone.mld", Foreign());
  const Outcome done = Run("convert " + Q(dir_ / "tone.mld") + " -o " + Q(dir_ / "out.mid"));
  EXPECT_EQ(done.status, 0) << done.err;
  const Bytes midi = ReadBytes(dir_ / "out.mid");
  ASSERT_GE(midi.size(), 14u);
  EXPECT_EQ(std::string(midi.begin(), midi.begin() + 4), "MThd");

  // One input that fails ends with the status of its trouble, and writes nothing.
  WriteBytes(dir_ / "junk.mld", Ascii("not a ring tone"));
  const Outcome bad = Run("convert " + Q(dir_ / "junk.mld") + " -o " + Q(dir_ / "junk.mid"));
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.FirstError(), (dir_ / "junk.mld").string() + ": " + chwr::msg::kInvalidFileFormat);
  EXPECT_FALSE(fs::exists(dir_ / "junk.mid"));
}

TEST_F(Convert, AFolderOfGoodAndBrokenFiles) {
  fs::create_directories(dir_ / "in" / "sub");
  WriteBytes(dir_ / "in" / "a.mld", Foreign());
  WriteBytes(dir_ / "in" / "sub" / "b.MLD", Foreign());
  WriteBytes(dir_ / "in" / "broken.mld", Ascii("melo"));  // the header stops at once
  WriteBytes(dir_ / "in" / "junk.mld", Ascii("MThd"));
  WriteText(dir_ / "in" / "notes.txt", "not looked at");
  const Outcome done = Run("convert " + Q(dir_ / "in") + " -d " + Q(dir_ / "out"));
  // Every good file is written, in its subfolder; the one that is no MLD file is named.
  EXPECT_EQ(done.status, 1);
  EXPECT_TRUE(fs::exists(dir_ / "out" / "a.mid"));
  EXPECT_TRUE(fs::exists(dir_ / "out" / "sub" / "b.mid"));
  EXPECT_TRUE(fs::exists(dir_ / "out" / "broken.mid"));  // what could be read, with a warning
  EXPECT_FALSE(fs::exists(dir_ / "out" / "junk.mid"));
  EXPECT_FALSE(fs::exists(dir_ / "out" / "notes.mid"));
  EXPECT_NE(
      done.err.find((dir_ / "in" / "junk.mld").string() + ": " + chwr::msg::kInvalidFileFormat),
      std::string::npos)
      << done.err;
  EXPECT_NE(done.err.find(cli::msg::ConvertSummary(3, 1)), std::string::npos) << done.err;
}

TEST_F(Convert, RenderPlaysARingToneOfAnotherLayoutAsItIs) {
  WriteBytes(dir_ / "tone.mld", Foreign());
  const Outcome done = Run("render " + Q(dir_ / "tone.mld") + " -o " + Q(dir_ / "tone.wav"));
  ASSERT_EQ(done.status, 0) << done.err;
  // 44.1 kHz stereo 16-bit: the two notes end at half a second (48 ticks at 120), and the
  // sound fades after; read as 3-byte notes the file would be much longer.
  const std::size_t seconds = (ReadBytes(dir_ / "tone.wav").size() - 44) / (44100 * 4);
  EXPECT_LE(seconds, 3u);
}

TEST_F(Convert, CommandLineMistakes) {
  WriteBytes(dir_ / "a.mld", Foreign());
  WriteBytes(dir_ / "b.mld", Foreign());
  // -o names one file: with two inputs it is refused before anything is written.
  Outcome run =
      Run("convert " + Q(dir_ / "a.mld") + " " + Q(dir_ / "b.mld") + " -o " + Q(dir_ / "x.mid"));
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.FirstError(), cli::msg::kConvertOneOutput);
  EXPECT_FALSE(fs::exists(dir_ / "x.mid"));
  fs::create_directories(dir_ / "empty");
  run = Run("convert " + Q(dir_ / "empty"));
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.FirstError(), cli::msg::kConvertNothingFound);
}

}  // namespace
}  // namespace chwr::test
