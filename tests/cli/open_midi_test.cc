// `chwr open FILE.mid` and `chwr dump FILE.mid` as users and scripts meet them: the real
// executable on real files, the import dialog's choices as options.

#include <filesystem>
#include <string>

#include "cli_run.h"
#include "smf_bytes.h"
#include "song/choices.h"

namespace chwr {
namespace {

namespace fs = std::filesystem;
using namespace test::smf;
using test::Outcome;

class OpenMidiTest : public test::ChwrRun {
 protected:
  // Writes `bytes` as `name` and opens it into "song.txt" with `options`.
  Outcome Open(const std::string& name, const Bytes& bytes, const std::string& options = "") {
    test::WriteBytes(dir_ / name, bytes);
    fs::remove(song());
    return Run("open " + Q(dir_ / name) + " -o " + Q(song()) + " " + options);
  }

  fs::path song() const { return dir_ / "song.txt"; }

  SongDocument Song() {
    auto read = ReadSongFile(song());
    EXPECT_TRUE(read) << (read ? "" : read.error().message);
    return read ? read->song : SongDocument{};
  }
};

// A format 1 file: a conductor track with title and tempo 150, then two tracks.
Bytes TwoTracks() {
  return File(1, 96,
              {Cat({Meta(0, 0x03, "Duet"), Tempo(0, 400000), End()}),
               Cat({Ev(0, {0xC0, 40}), Ev(0, {0xB0, 7, 100}), On(0, 72), Off(72, 72), On(24, 74),
                    Off(96, 74), End()}),
               Cat({Ev(0, {0xC1, 0}), On(0, 48, 100, 1), Off(192, 48, 1), End()})});
}

TEST_F(OpenMidiTest, ConvertsWithTheDialogsDefaultsOrTheChoicesGiven) {
  const Outcome defaults = Open("duet.mid", TwoTracks());
  ASSERT_EQ(defaults.status, 0) << defaults.err;
  EXPECT_EQ(defaults.err, "");
  SongDocument s = Song();
  EXPECT_EQ(s.title, "Duet");
  EXPECT_EQ(s.tempo, "150");
  EXPECT_EQ(s.resolution, 1);
  EXPECT_EQ(s.parts[0].mml, "Q12C4Q0D4");
  EXPECT_EQ(s.parts[1].mml, "");
  EXPECT_EQ(s.parts[0].tone, kDefaultToneChoice);

  const Outcome o = Open("duet.MID", TwoTracks(),
                         "--tracks 2,1 --start 0 --measures 8 --transpose -12 --absolute "
                         "--octave --tone --volume cc7");
  ASSERT_EQ(o.status, 0) << o.err;
  s = Song();
  // The parts follow the order given: track 2 fills part 1.
  EXPECT_EQ(s.parts[0].mml, "O2V63Q0C*96");
  EXPECT_EQ(s.parts[1].mml, "O4V50Q12C*48Q0D*48");
  EXPECT_EQ(s.parts[0].tone, GmProgramItemText(1));
  EXPECT_EQ(s.parts[1].tone, GmProgramItemText(41));
  // The streaming conversion with a transposition and the octave.
  ASSERT_EQ(Open("duet.mid", TwoTracks(), "--octave --transpose +12").status, 0);
  EXPECT_EQ(Song().parts[0].mml, "O6Q12C4Q0D4");
}

TEST_F(OpenMidiTest, DumpListsEventsAndOpenNamesEveryOption) {
  test::WriteBytes(dir_ / "duet.mid", TwoTracks());
  const Outcome o = Run("dump " + Q(dir_ / "duet.mid"));
  ASSERT_EQ(o.status, 0);
  // The listing's form has the core's tests.
  EXPECT_NE(o.out.find("delta 24  tick 96  90  note on  ch 1  key 74 (O5D) vel 100"),
            std::string::npos)
      << o.out;

  const Outcome help = Run("open --help");
  for (const char* option : {"--tracks", "--start", "--measures", "--transpose", "--absolute",
                             "--octave", "--tone", "--volume"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace chwr
