// The `chwr` tool as users and scripts meet it: the real executable on real files.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class ChwrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("chwr-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Run(const std::string& args) {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    std::string cmd = std::string("'") + CHWR_EXE + "' " + args + " >'" + out.string() + "' 2>'" +
                      err.string() + "'";
    int raw = std::system(cmd.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = Slurp(out);
    o.err = Slurp(err);
    return o;
  }

  // A song text file: `mml1` as part 1 (Shift-JIS is ASCII here), the rest empty.
  fs::path WriteSong(const std::string& mml1, const std::string& resolution = " 1 ",
                     const std::string& firstLine = "qrv") {
    std::array<std::string, 18> lines = {firstLine, "", "@120", "B", "B", "B",        "A", "A", "A",
                                         mml1,      "", "",     "0", "",  resolution, "B", "A", ""};
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    fs::path p = dir_ / "song.txt";
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }

  fs::path dir_;
};

std::string FirstLine(const std::string& s) {
  return s.substr(0, s.find('\n'));
}

TEST_F(ChwrTest, CompilePrintsEveryEventThenPartStatisticsThenMarkStep) {
  Outcome o = Run("compile '" + WriteSong("C4.D8!").string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  // "C" in octave 3 is note 27, "D" 29; "4." is 48 steps with a 24-step extension.
  const std::string empty =
      ",\"count\":0,\"totalSteps\":0,\"minKey\":255,\"maxKey\":0,\"minName\":\"\","
      "\"maxName\":\"\",\"volumeChangeCount\":0,\"toneChangeCount\":0,\"dataByteCount\":0,"
      "\"toneDefined\":0,\"toneDefinition\":\"00000000000000000000\"}\n";
  const std::string expected =
      "{\"part\":1,\"index\":0,\"key\":27,\"gate\":49,\"step\":48,\"volume\":null,\"tone\":0,"
      "\"data\":\"\",\"adjustedGate\":49}\n"
      "{\"part\":1,\"index\":1,\"key\":27,\"gate\":24,\"step\":24,\"volume\":null,\"tone\":0,"
      "\"data\":\"\",\"adjustedGate\":24}\n"
      "{\"part\":1,\"index\":2,\"key\":29,\"gate\":24,\"step\":24,\"volume\":null,\"tone\":0,"
      "\"data\":\"\",\"adjustedGate\":24}\n"
      "{\"part\":1,\"count\":3,\"totalSteps\":96,\"minKey\":27,\"maxKey\":29,\"minName\":\"O3C\","
      "\"maxName\":\"O3D\",\"volumeChangeCount\":0,\"toneChangeCount\":0,\"dataByteCount\":0,"
      "\"toneDefined\":0,\"toneDefinition\":\"00000000000000000000\"}\n"
      "{\"part\":2" +
      empty + "{\"part\":3" + empty + "{\"part\":4" + empty + "{\"markStep\":96}\n";
  EXPECT_EQ(o.out, expected);
}

TEST_F(ChwrTest, CompileTellsASilentVolumeFromNoChange) {
  // null: the event leaves the volume as it was; 0 is silence.
  Outcome o = Run("compile '" + WriteSong("O4V0C4V1C4V0C4C4").string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<std::string> volumes;
  for (std::size_t at = o.out.find("\"volume\":"); at != std::string::npos;
       at = o.out.find("\"volume\":", at + 1)) {
    volumes.push_back(o.out.substr(at + 9, o.out.find(',', at) - at - 9));
  }
  EXPECT_EQ(volumes, (std::vector<std::string>{"0", "1", "0", "null"}));
  EXPECT_NE(o.out.find("\"volumeChangeCount\":3,"), std::string::npos) << o.out;
}

TEST_F(ChwrTest, DataTextAndToneDefinitionAreEscapedAndHex) {
  // Tone editor layout: two operator lines and OC. Grave accents are line breaks.
  Outcome o = Run("compile '" +
                  WriteSong("@{1,0,15,7,4,2,0,20,0,0,5,`1,1,15,7,4,2,0,0,0,0,0,3}"
                            "{0A\"1}C@V0C")
                      .string() +
                  "'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("\"data\":\"0A\\\"1\""), std::string::npos) << o.out;
  // 21 D3C945: ML 1, RR 7 split 1|3, DR 4, AR 15, SL 2, TL 20, FB 5; carrier 31 D3C800; OC 3.
  EXPECT_NE(o.out.find("\"toneDefined\":1,\"toneDefinition\":\"0121d3c94531d3c80003\""),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("\"tone\":1,"), std::string::npos);
}

TEST_F(ChwrTest, ResolutionLineSelectsTwentyFourSteps) {
  Outcome o = Run("compile '" + WriteSong("C64C2", " 0 ").string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("\"index\":0,\"key\":27,\"gate\":2,\"step\":2"), std::string::npos);
  EXPECT_NE(o.out.find("\"index\":1,\"key\":27,\"gate\":48,\"step\":48"), std::string::npos);
}

TEST_F(ChwrTest, TheDemoBuildsToTheSameBytesAsBefore) {
  const std::string demo = std::string(CHWR_DEMO_DIR) + "/demo.txt";
  const fs::path mld = dir_ / "demo.mld", mid = dir_ / "demo.mid";
  Outcome o = Run("build '" + demo + "' --mld '" + mld.string() + "' --mid '" + mid.string() +
                  "' --mail");
  ASSERT_EQ(o.status, 0) << o.err;
  const fs::path data = CHWR_TEST_DATA;
  EXPECT_EQ(Slurp(mld), Slurp(data / "demo.mld"));
  EXPECT_EQ(Slurp(mid), Slurp(data / "demo.mid"));
  EXPECT_EQ(o.out.substr(o.out.find("--B:M")), Slurp(data / "demo-mail.txt"));
}

TEST_F(ChwrTest, DemoSongCompiles) {
  Outcome o = Run("compile '" + std::string(CHWR_DEMO_DIR) + "/demo.txt'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("{\"markStep\":"), std::string::npos);
}

TEST_F(ChwrTest, BuildWritesTheSmdFileWithItsWarnings) {
  const fs::path song = WriteSong("O4C4O1C4C*36");
  const fs::path smd = dir_ / "out.smd";
  Outcome o = Run("build '" + song.string() + "' --smd '" + smd.string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err,
            "注意: 発音範囲（O1A～O5F+）外の音符が存在しました。休符に置き換えられます。\n"
            "注意: 不定な絶対音長が存在しました。正常に演奏されない場合があります。\n");
  EXPECT_EQ(Slurp(smd), std::string("\x1B\x24\x44\x66\x25\x25\x0F"));
  Outcome dump = Run("dump '" + smd.string() + "'");
  EXPECT_EQ(dump.status, 0);
  EXPECT_NE(dump.out.find("0x0003  66  note O4C, length index 2 (4)\n"), std::string::npos)
      << dump.out;

  // A tempo outside 1..255 and a 32nd, as the editor's box has them.
  fs::path fast = WriteSong("O4C32");
  std::string text = Slurp(fast);
  text.replace(text.find("@120"), 4, "@300");
  std::ofstream(fast, std::ios::binary) << text;
  Outcome warned = Run("build '" + fast.string() + "' --smd '" + smd.string() + "'");
  ASSERT_EQ(warned.status, 0) << warned.err;
  EXPECT_EQ(
      warned.err,
      "注意: ﾃﾝﾎﾟ 300 は SMD では 120 になります。1～255で指定して下さい。\n"
      "注意: 32分・64分音符(16分音符の付点を含む)が存在しました。別の長さに置き換えられます。\n");
  EXPECT_EQ(Slurp(smd), std::string("\x1B\x24\x44\x64\x0F"));

  // A part longer than a song may be is refused as for the MLD file; nothing is written.
  std::string whole;
  for (int i = 0; i < 261; ++i) whole += "C1";
  const fs::path refusedSmd = dir_ / "long.smd";
  Outcome tooLong =
      Run("build '" + WriteSong(whole).string() + "' --smd '" + refusedSmd.string() + "'");
  EXPECT_EQ(tooLong.status, 1);
  EXPECT_EQ(tooLong.err, "ﾊﾟｰﾄ1 のｽﾃｯﾌﾟ数(50112)が多すぎます。1曲は50000ｽﾃｯﾌﾟまでです。\n");
  EXPECT_FALSE(fs::exists(refusedSmd));

  // A song without a note or rest: the warning, status 1, and no file, nor the MLD file.
  const fs::path emptySmd = dir_ / "empty.smd", emptyMld = dir_ / "empty.mld";
  Outcome empty = Run("build '" + WriteSong("V10").string() + "' --smd '" + emptySmd.string() +
                      "' --mld '" + emptyMld.string() + "'");
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, "注意: 音符も休符もないため、SMDﾌｧｲﾙは作成できません。\n");
  EXPECT_FALSE(fs::exists(emptySmd));
  EXPECT_FALSE(fs::exists(emptyMld));

  // What the MLD image cannot hold does not stop the SMD file, only the MLD file.
  const fs::path wide = WriteSong("@V7O4C4");
  EXPECT_EQ(Run("build '" + wide.string() + "' --smd '" + smd.string() + "'").status, 0);
  EXPECT_EQ(Run("build '" + wide.string() + "' --smd '" + smd.string() + "' --mld '" +
                (dir_ / "x.mld").string() + "'")
                .status,
            1);
  EXPECT_FALSE(fs::exists(dir_ / "x.mld"));
}

TEST_F(ChwrTest, BuildWritesTheMldFileAndReportsItsSize) {
  const fs::path song = WriteSong("C4");
  const fs::path mld = dir_ / "out.mld";
  Outcome o = Run("build '" + song.string() + "' --mld '" + mld.string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "79ﾊﾞｲﾄ  ﾊﾟｰﾄ1：48 O3C～O3C ﾊﾟｰﾄ2：0  ﾊﾟｰﾄ3：0  ﾊﾟｰﾄ4：0 \n");
  const std::string image = Slurp(mld);
  ASSERT_EQ(image.size(), 79u);
  EXPECT_EQ(image.substr(0, 4), "melo");
  EXPECT_EQ(image.substr(image.size() - 6), std::string("\x1B\x30\x30\xFF\xDF\x00", 6));

  // The mail text is the same image in base64 behind the marker, then one line feed.
  Outcome mail = Run("build '" + song.string() + "' --mail");
  ASSERT_EQ(mail.status, 0) << mail.err;
  ASSERT_EQ(mail.out.substr(0, 7), "--B:M\r\n");
  EXPECT_EQ(mail.out.back(), '\n');
  EXPECT_EQ(mail.out.find('\n', 7), mail.out.size() - 1);
  EXPECT_EQ(mail.out.substr(7, 8), "bWVsbwAA");  // "melo" 00 00 ...

  // A compile error writes nothing.
  Outcome bad =
      Run("build '" + WriteSong("C4O9").string() + "' --mld '" + (dir_ / "bad.mld").string() + "'");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(FirstLine(bad.err), "ﾊﾟｰﾄ1 (1行目) に(O命令)構文ｴﾗｰがあります。");
  EXPECT_FALSE(fs::exists(dir_ / "bad.mld"));
}

TEST_F(ChwrTest, OpenTurnsMldAndMailBackIntoASongFile) {
  const fs::path song = WriteSong("O4C4D8R8E2");
  const fs::path mld = dir_ / "song.mld";
  ASSERT_EQ(Run("build '" + song.string() + "' --mld '" + mld.string() + "'").status, 0);
  const fs::path back = dir_ / "back.txt";
  Outcome o = Run("open '" + mld.string() + "' -o '" + back.string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string text = Slurp(back);
  EXPECT_EQ(text.substr(0, 5), "qrv\r\n");
  EXPECT_NE(text.find("C4D8R8E2"), std::string::npos) << text;

  Outcome mail = Run("build '" + song.string() + "' --mail");
  const fs::path mailFile = dir_ / "mail.txt";
  std::ofstream(mailFile, std::ios::binary) << mail.out;
  const fs::path fromMail = dir_ / "from-mail.txt";
  ASSERT_EQ(Run("open --mail '" + mailFile.string() + "' -o '" + fromMail.string() + "'").status,
            0);
  EXPECT_EQ(Slurp(fromMail), text);

  // The name decides how a file is opened; bytes of another kind are named.
  const fs::path notMld = dir_ / "not.mld";
  fs::copy_file(song, notMld);
  Outcome refused = Run("open '" + notMld.string() + "' -o '" + (dir_ / "x.txt").string() + "'");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(FirstLine(refused.err), "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はﾃｷｽﾄﾌｧｲﾙです。");
  EXPECT_FALSE(fs::exists(dir_ / "x.txt"));
}

// An SMD file is opened as its name says, and what it holds is said: nothing at all, or
// a file of another kind.
TEST_F(ChwrTest, OpenSaysWhatAnSmdFileHolds) {
  const fs::path empty = dir_ / "empty.smd", back = dir_ / "back.txt";
  std::ofstream(empty, std::ios::binary).flush();
  Outcome o = Run("open '" + empty.string() + "' -o '" + back.string() + "'");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "注意: ﾌｧｲﾙが空(0ﾊﾞｲﾄ)のため、空の曲として読み込みました。\n");
  EXPECT_EQ(Slurp(back).substr(0, 5), "qrv\r\n");

  // Files of other kinds under an SMD (or MIDI) name are named, and nothing is written.
  const fs::path song = WriteSong("O4C4"), mld = dir_ / "song.mld";
  ASSERT_EQ(Run("build '" + song.string() + "' --mld '" + mld.string() + "'").status, 0);
  const struct {
    fs::path from;
    const char* name;
    const char* message;
  } cases[] = {
      {mld, "x.smd", "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。\n"},
      {song, "y.smd", "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はﾃｷｽﾄﾌｧｲﾙです。\n"},
      {mld, "z.mid", "SMF ﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はMLDﾌｧｲﾙです。\n"},
  };
  for (const auto& c : cases) {
    fs::copy_file(c.from, dir_ / c.name);
    const fs::path out = dir_ / (std::string(c.name) + ".txt");
    Outcome refused = Run("open '" + (dir_ / c.name).string() + "' -o '" + out.string() + "'");
    EXPECT_EQ(refused.status, 2) << c.name;
    EXPECT_EQ(refused.err, c.message) << c.name;
    EXPECT_FALSE(fs::exists(out)) << c.name;
  }
}

TEST_F(ChwrTest, DumpListsRecordsAndSurvivesGarbage) {
  const fs::path mld = dir_ / "song.mld";
  ASSERT_EQ(Run("build '" + WriteSong("C4").string() + "' --mld '" + mld.string() + "'").status, 0);
  Outcome o = Run("dump '" + mld.string() + "'");
  ASSERT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("tempo 120"), std::string::npos) << o.out;

  const fs::path junk = dir_ / "junk.mld";
  std::ofstream(junk, std::ios::binary) << std::string("melo\xFF\xFF\xFF\xFF\x00\xFFtrac", 15);
  Outcome j = Run("dump '" + junk.string() + "'");
  EXPECT_EQ(j.status, 0);
  EXPECT_FALSE(j.out.empty());
}

TEST_F(ChwrTest, BuildWritesMidiAndResetFiles) {
  const fs::path song = WriteSong("C8Q12C8", " 1 ");
  const fs::path mid = dir_ / "out.mid";
  Outcome o = Run("build '" + song.string() + "' --mid '" + mid.string() +
                  "' --octave high --repeat --double-speed --midi-tone 81 --mute 2,3");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("ﾊﾞｲﾄ"), std::string::npos);
  const std::string image = Slurp(mid);
  // Header: format 1, conductor + one part track, 48 per quarter.
  EXPECT_EQ(image.substr(0, 14), std::string("MThd\0\0\0\x06\0\x01\0\x02\0\x30", 14));
  // Double speed: 250000 microseconds per quarter note.
  EXPECT_NE(image.find(std::string("\xFF\x51\x03\x03\xD0\x90", 6)), std::string::npos);
  // Program 81 (index 80), the high octave (27 + 33 = 60), both copies of the events.
  EXPECT_NE(image.find(std::string("\0\xC0\x50\0\x90\x3C\x7E", 7)), std::string::npos);
  EXPECT_NE(image.find(std::string("\0\x3C\x7E\x18\x3C\0\0\x3C\x7E", 9)), std::string::npos);

  const fs::path reset = dir_ / "reset.mid";
  ASSERT_EQ(Run("build --reset-mid '" + reset.string() + "'").status, 0);
  EXPECT_EQ(Slurp(reset).size(), 47u);

  Outcome bad = Run("build '" + song.string() + "' --mid '" + mid.string() + "' --mute 5");
  EXPECT_NE(bad.status, 0);
  Outcome slow = Run("build '" + WriteSong("C").string() + "' --mid '" + mid.string() + "'");
  EXPECT_EQ(slow.status, 0);
}

TEST_F(ChwrTest, PlaysSilentlyAndRendersWav) {
  const fs::path song = WriteSong("T0L16CDEF");
  Outcome play = Run("play '" + song.string() + "' --audio none");
  ASSERT_EQ(play.status, 0) << play.err;
  EXPECT_EQ(FirstLine(play.out), "00:00 / 00:00") << play.out;  // half a second

  const fs::path wav = dir_ / "out.wav";
  Outcome render = Run("render '" + song.string() + "' -o '" + wav.string() + "'");
  ASSERT_EQ(render.status, 0) << render.err;
  const std::string data = Slurp(wav);
  ASSERT_GT(data.size(), 44u);
  EXPECT_EQ(data.substr(0, 4), "RIFF");
  EXPECT_EQ(data.substr(8, 4), "WAVE");

  Outcome noFont = Run("render '" + song.string() + "' -o '" + wav.string() + "' --soundfont '" +
                       (dir_ / "none.sf2").string() + "'");
  EXPECT_EQ(noFont.status, 2);
  EXPECT_EQ(FirstLine(noFont.err),
            "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + (dir_ / "none.sf2").string() + ")が見つかりません。");
}

TEST_F(ChwrTest, HelpVersionAndUsageErrorsNameWhatTheyMean) {
  Outcome help = Run("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"compile", "build", "open", "dump", "play", "render"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  EXPECT_NE(help.out.find("Usage: chwr "), std::string::npos) << "not the program's path";
  EXPECT_NE(help.out.find("Exit status: 0 done; 1 "), std::string::npos);
  EXPECT_NE(help.out.find("64 a usage error"), std::string::npos);

  Outcome version = Run("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "chwr (Chimewright) 1.21\n");

  const std::string song = "'" + WriteSong("C4").string() + "'";
  const std::string mid = " --mid '" + (dir_ / "x.mid").string() + "'";
  const std::pair<std::string, std::string> usage[] = {
      {"frobnicate",
       "chwr: unknown command \"frobnicate\"; the commands are: compile build play render open "
       "dump"},
      {"build " + song + mid + " --midi-tone 0", "--midi-tone: a General MIDI program from 1 to 128"},
      {"build " + song + mid + " --midi-tone 129", "--midi-tone: a General MIDI program from 1 to 128"},
      {"build " + song + mid + " --mute ''", "--mute: part numbers 1 to 4, separated by commas"},
      {"build " + song + mid + " --mute 5", "--mute: part numbers 1 to 4, separated by commas"},
      {"build " + song + mid + " --octave foo", "--octave: foo not in {high,normal,low}"},
      {"play " + song + " --audio bogus", "--audio: bogus not in {system,none}"},
  };
  for (const auto& [args, message] : usage) {
    Outcome o = Run(args);
    EXPECT_EQ(o.status, 64) << args;
    EXPECT_EQ(FirstLine(o.err), message) << args;
  }
  EXPECT_FALSE(fs::exists(dir_ / "x.mid"));
}

// The kinds of file a help text names, at the start of a sentence or within one.
std::vector<std::string> KindsNamed(std::string help) {
  std::transform(help.begin(), help.end(), help.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::vector<std::string> kinds;
  for (const char* kind : {"song text", "MLD", "SMD", "MIDI", "melody-mail"}) {
    std::string lower = kind;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (help.find(lower) != std::string::npos) kinds.push_back(kind);
  }
  return kinds;
}

// The help line of a command's one positional argument (SONG or FILE).
std::string PositionalHelp(const std::string& help) {
  const std::size_t at = help.find("Positionals:\n");
  if (at == std::string::npos) return {};
  const std::size_t line = at + std::string("Positionals:\n").size();
  return help.substr(line, help.find('\n', line) - line);
}

TEST_F(ChwrTest, EachCommandsHelpNamesTheFilesItTakesAndItTakesEveryOne) {
  // One song as each kind of file it can be.
  const fs::path text = WriteSong("T0L8CDEG");
  std::map<std::string, fs::path> files = {{"song text", text}};
  for (const auto& [kind, option, name] : {std::tuple{"MLD", "--mld", "song.mld"},
                                           {"SMD", "--smd", "song.smd"},
                                           {"MIDI", "--mid", "song.mid"}}) {
    files[kind] = dir_ / name;
    ASSERT_EQ(
        Run("build '" + text.string() + "' " + option + " '" + files[kind].string() + "'").status,
        0)
        << kind;
  }
  const fs::path mail = dir_ / "mail.txt";
  std::ofstream(mail, std::ios::binary) << Run("build '" + text.string() + "' --mail").out;
  files["melody-mail"] = mail;

  const fs::path out = dir_ / "out";
  const std::vector<std::string> songs = {"song text", "MLD", "SMD", "MIDI"};
  const std::pair<std::string, std::vector<std::string>> commands[] = {
      {"compile", songs},
      {"build --mld '" + out.string() + "'", songs},
      {"render -o '" + out.string() + "'", songs},
      {"play --audio none", songs},
      {"open -o '" + out.string() + "'", {"MLD", "SMD", "MIDI", "melody-mail"}},
      {"dump", {"MLD", "SMD", "MIDI"}},
  };
  for (const auto& [command, kinds] : commands) {
    const std::string name = command.substr(0, command.find(' '));
    const Outcome help = Run(name + " --help");
    ASSERT_EQ(help.status, 0) << name;
    EXPECT_EQ(KindsNamed(PositionalHelp(help.out)), kinds) << name << ": " << help.out;
    // The description names them too (beside what the command writes).
    const std::vector<std::string> described =
        KindsNamed(help.out.substr(0, help.out.find("Usage:")));
    for (const std::string& kind : kinds) {
      EXPECT_TRUE(std::find(described.begin(), described.end(), kind) != described.end())
          << name << ": " << kind << " not described";
    }
    // What the help names, the command takes. ("play" plays in real time: its help is
    // checked, and it reads its file as "render" does.)
    if (name == "play") continue;
    for (const std::string& kind : kinds) {
      const std::string mailOption = kind == "melody-mail" ? " --mail" : "";
      const Outcome o = Run(command + mailOption + " '" + files[kind].string() + "'");
      EXPECT_EQ(o.status, 0) << command << " " << kind << ": " << o.err;
      EXPECT_FALSE(o.out.empty() && fs::is_empty(out)) << command << " " << kind;
      fs::remove(out);
    }
  }
  // The tool's own summary names every kind it reads or writes.
  const Outcome help = Run("--help");
  const std::string summary = help.out.substr(0, help.out.find("Usage:"));
  for (const char* named : {"song text", "MLD", "SMD", "MIDI", "melody mail", "WAV"}) {
    EXPECT_NE(summary.find(named), std::string::npos) << named << " in " << summary;
  }
}

TEST_F(ChwrTest, ASongCanComeFromStandardInput) {
  const fs::path song = WriteSong("C4D4");
  Outcome fromFile = Run("compile '" + song.string() + "'");
  Outcome fromInput = Run("compile - < '" + song.string() + "'");
  ASSERT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, fromFile.out);
  const fs::path mld = dir_ / "in.mld";
  ASSERT_EQ(Run("build - --mld '" + mld.string() + "' < '" + song.string() + "'").status, 0);
  EXPECT_EQ(Slurp(mld).substr(0, 4), "melo");
  Outcome empty = Run("compile - < /dev/null");
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(FirstLine(empty.err), "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。");
}

TEST_F(ChwrTest, BuildWarningsGoToStandardErrorAndTheFileIsStillWritten) {
  fs::path song = WriteSong("C4");
  std::string text = Slurp(song);
  text.replace(text.find("@120"), 4, "@300");
  std::ofstream(song, std::ios::binary) << text;
  const fs::path mld = dir_ / "fast.mld";
  Outcome o = Run("build '" + song.string() + "' --mld '" + mld.string() + "'");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.err, "注意: ﾃﾝﾎﾟ 300 は MLD では 44 になります。1～255で指定して下さい。\n");
  const std::string image = Slurp(mld);
  EXPECT_NE(image.find(std::string("trac\0\0\0\x23\0\xFF\xC3\x2C", 12)), std::string::npos);

  // A note below the lowest key sounds as that key, and the report names it so.
  Outcome low = Run("build '" + WriteSong("O1>C").string() + "' --mld '" + mld.string() + "'");
  ASSERT_EQ(low.status, 0) << low.err;
  EXPECT_EQ(low.err, "注意: ﾊﾟｰﾄ1 (1行目) の音(O0C)は出せないため、最低音(O0A)にしました。\n");
  EXPECT_NE(low.out.find("ﾊﾟｰﾄ1：24 O0A～O0A "), std::string::npos) << low.out;

  // A tone definition with values past the 23rd: the first 23 are the tone, and the user
  // hears of the rest, from build and compile alike. Grave accents are line breaks.
  const fs::path extra = WriteSong("C4`@{1,0,15,7,4,2,0,20,0,0,5,`1,1,15,7,4,2,0,0,0,0,0,3,9,9}C4");
  const std::string warning =
      "注意: ﾊﾟｰﾄ1 (2行目) の音色定義は数値が25個あります。24個目からは使われません。\n";
  Outcome built = Run("build '" + extra.string() + "' --mld '" + mld.string() + "'");
  ASSERT_EQ(built.status, 0) << built.err;
  EXPECT_EQ(built.err, warning);
  Outcome compiled = Run("compile '" + extra.string() + "'");
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  EXPECT_EQ(compiled.err, warning);
  EXPECT_NE(compiled.out.find("\"toneDefinition\":\"0121d3c94531d3c80003\""), std::string::npos);
}

TEST_F(ChwrTest, FailedWritesNameTheFileAndTheReason) {
  const fs::path mld = dir_ / "protected.mld";
  std::ofstream(mld) << "old";
  fs::permissions(mld, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Outcome o = Run("build '" + WriteSong("C4").string() + "' --mld '" + mld.string() + "'");
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, "ﾌｧｲﾙ書き込みに失敗しました。\n  " + mld.string() +
                       "\n  ｱｸｾｽが許可されていません。\n");
  EXPECT_EQ(Slurp(mld), "old");
  // "open" writes its song text the same way.
  const fs::path text = dir_ / "protected.txt";
  std::ofstream(text) << "old";
  fs::permissions(text, fs::perms::owner_read);
  const fs::path built = dir_ / "ok.mld";
  ASSERT_EQ(Run("build '" + WriteSong("C4").string() + "' --mld '" + built.string() + "'").status, 0);
  EXPECT_EQ(Run("open '" + built.string() + "' -o '" + text.string() + "'").status, 2);
  EXPECT_EQ(Slurp(text), "old");
  fs::permissions(text, fs::perms::owner_all);
}

}  // namespace
