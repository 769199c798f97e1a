// The `chwr` tool as users and scripts meet it: the real executable on real files. The
// texts and bytes it passes on have the core's tests; these check that each command
// calls the right part of the core, and that what it made reaches the user: the file,
// the output, the message and the exit status.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "cli_run.h"
#include "messages.h"

namespace chwr::test {
namespace {

namespace fs = std::filesystem;

using CommandTest = ChwrRun;

TEST_F(CommandTest, CompilePrintsEveryEventThenPartStatisticsThenMarkStep) {
  Outcome o = Run("compile " + Q(WriteSong("C4.`'ド` d8!")));
  ASSERT_EQ(o.status, 0) << o.err;
  // "C" in octave 3 is note 27, "D" 29; "4." is 48 steps with a 24-step extension, which
  // was written where its note was. Grave accents are line breaks.
  const std::string empty =
      ",\"count\":0,\"totalSteps\":0,\"minKey\":255,\"maxKey\":0,\"minName\":\"\","
      "\"maxName\":\"\",\"volumeChangeCount\":0,\"toneChangeCount\":0,\"dataByteCount\":0,"
      "\"toneDefined\":0,\"toneDefinition\":\"00000000000000000000\"}\n";
  const std::string expected =
      "{\"part\":1,\"index\":0,\"key\":27,\"gate\":49,\"step\":48,\"volume\":null,\"tone\":0,"
      "\"data\":\"\",\"adjustedGate\":49,\"source\":{\"line\":1,\"column\":1,\"length\":3}}\n"
      "{\"part\":1,\"index\":1,\"key\":27,\"gate\":24,\"step\":24,\"volume\":null,\"tone\":0,"
      "\"data\":\"\",\"adjustedGate\":24,\"source\":{\"line\":1,\"column\":1,\"length\":3}}\n"
      "{\"part\":1,\"index\":2,\"key\":29,\"gate\":24,\"step\":24,\"volume\":null,\"tone\":0,"
      "\"data\":\"\",\"adjustedGate\":24,\"source\":{\"line\":3,\"column\":2,\"length\":2}}\n"
      "{\"part\":1,\"count\":3,\"totalSteps\":96,\"minKey\":27,\"maxKey\":29,\"minName\":\"O3C\","
      "\"maxName\":\"O3D\",\"volumeChangeCount\":0,\"toneChangeCount\":0,\"dataByteCount\":0,"
      "\"toneDefined\":0,\"toneDefinition\":\"00000000000000000000\"}\n"
      "{\"part\":2" +
      empty + "{\"part\":3" + empty + "{\"part\":4" + empty + "{\"markStep\":96}\n";
  EXPECT_EQ(o.out, expected);
}

TEST_F(CommandTest, CompileWritesSilenceDataAndToneDefinitionsAsJson) {
  // null: the event leaves the volume as it was; 0 is silence. Grave accents are line
  // breaks; the definition has a value past the 23rd, which is warned of.
  Outcome o = Run("compile " + Q(WriteSong("O4V0C4V1C4V0C4C4@{1,0,15,7,4,2,0,20,0,0,5,`"
                                           "1,1,15,7,4,2,0,0,0,0,0,3,9}{0A\"1}C@V0C")));
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<std::string> volumes;
  for (std::size_t at = o.out.find("\"volume\":"); at != std::string::npos;
       at = o.out.find("\"volume\":", at + 1)) {
    volumes.push_back(o.out.substr(at + 9, o.out.find(',', at) - at - 9));
  }
  EXPECT_EQ(volumes, (std::vector<std::string>{"0", "1", "0", "null", "null", "null"}));
  EXPECT_NE(o.out.find("\"data\":\"0A\\\"1\""), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"toneDefined\":1,\"toneDefinition\":\"0121d3c94531d3c80003\""),
            std::string::npos)
      << o.out;
  // Warnings go to standard error, as build puts them.
  EXPECT_EQ(o.err.substr(0, 8), "注意: ");
  EXPECT_NE(o.out.find("\"tone\":1,"), std::string::npos);
}

TEST_F(CommandTest, TheDemoBuildsToTheSameBytesAsBefore) {
  const std::string demo = std::string(CHWR_DEMO_DIR) + "/demo.txt";
  const fs::path mld = dir_ / "demo.mld", mid = dir_ / "demo.mid";
  Outcome o = Run("build " + Q(demo) + " --mld " + Q(mld) + " --mid " + Q(mid) + " --mail");
  ASSERT_EQ(o.status, 0) << o.err;
  const fs::path data = CHWR_TEST_DATA;
  EXPECT_EQ(ReadBytes(mld), ReadBytes(data / "demo.mld"));
  EXPECT_EQ(ReadBytes(mid), ReadBytes(data / "demo.mid"));
  EXPECT_EQ(o.out.substr(o.out.find("--B:M")), ReadText(data / "demo-mail.txt"));
}

TEST_F(CommandTest, BuildReportsTheMldSizeAndWritesNothingForAnError) {
  const fs::path mld = dir_ / "out.mld";
  Outcome o = Run("build " + Q(WriteSong("C4")) + " --mld " + Q(mld));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "79ﾊﾞｲﾄ  ﾊﾟｰﾄ1：48 O3C～O3C ﾊﾟｰﾄ2：0  ﾊﾟｰﾄ3：0  ﾊﾟｰﾄ4：0 \n");
  EXPECT_EQ(ReadText(mld).substr(0, 4), "melo");

  Outcome bad = Run("build " + Q(WriteSong("C4O9")) + " --mld " + Q(dir_ / "bad.mld") + " --smd " +
                    Q(dir_ / "bad.smd"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.FirstError(), std::string("ﾊﾟｰﾄ1 (1行目) ") + msg::kSyntaxO);
  EXPECT_FALSE(fs::exists(dir_ / "bad.mld"));
  EXPECT_FALSE(fs::exists(dir_ / "bad.smd"));
}

TEST_F(CommandTest, BuildWritesTheSmdFileWithItsWarnings) {
  const fs::path smd = dir_ / "out.smd";
  Outcome o = Run("build " + Q(WriteSong("O4C4O1C4C*36")) + " --smd " + Q(smd));
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, std::string("注意: ") + msg::kSmdOutOfRange + "\n注意: " +
                       msg::kSmdLengthApproximated + "\n");
  EXPECT_EQ(ReadText(smd), std::string("\x1B\x24\x44\x66\x25\x25\x0F"));

  // A song without a note or rest: the warning, status 1, and neither file.
  const fs::path emptySmd = dir_ / "empty.smd", emptyMld = dir_ / "empty.mld";
  Outcome empty =
      Run("build " + Q(WriteSong("V10")) + " --smd " + Q(emptySmd) + " --mld " + Q(emptyMld));
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, std::string("注意: ") + msg::kSmdNothingToWrite + "\n");
  EXPECT_FALSE(fs::exists(emptySmd));
  EXPECT_FALSE(fs::exists(emptyMld));
}

TEST_F(CommandTest, BuildOptionsReachTheMidiFile) {
  const fs::path song = WriteSong("C8Q12C8");
  const fs::path mid = dir_ / "out.mid";
  Outcome o = Run("build " + Q(song) + " --mid " + Q(mid) +
                  " --octave high --repeat --double-speed --midi-tone 81 --mute 2,3");
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("ﾊﾞｲﾄ"), std::string::npos);
  const std::string image = ReadText(mid);
  // Double speed: 250000 microseconds per quarter note.
  EXPECT_NE(image.find(std::string("\xFF\x51\x03\x03\xD0\x90", 6)), std::string::npos);
  // Program 81 (index 80), the high octave (27 + 33 = 60), both copies of the events.
  EXPECT_NE(image.find(std::string("\0\xC0\x50\0\x90\x3C\x7E", 7)), std::string::npos);
  EXPECT_NE(image.find(std::string("\0\x3C\x7E\x18\x3C\0\0\x3C\x7E", 9)), std::string::npos);

  const fs::path reset = dir_ / "reset.mid";
  ASSERT_EQ(Run("build --reset-mid " + Q(reset)).status, 0);
  EXPECT_EQ(ReadBytes(reset).size(), 47u);
}

TEST_F(CommandTest, OpenTurnsMldAndMailBackIntoASongFile) {
  const fs::path song = WriteSong("O4C4D8R8E2");
  const fs::path mld = dir_ / "song.mld";
  ASSERT_EQ(Run("build " + Q(song) + " --mld " + Q(mld)).status, 0);
  const fs::path back = dir_ / "back.txt";
  Outcome o = Run("open " + Q(mld) + " -o " + Q(back));
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string text = ReadText(back);
  EXPECT_NE(text.find("C4D8R8E2"), std::string::npos) << text;

  const fs::path mailFile = dir_ / "mail.txt", fromMail = dir_ / "from-mail.txt";
  WriteText(mailFile, Run("build " + Q(song) + " --mail").out);
  ASSERT_EQ(Run("open --mail " + Q(mailFile) + " -o " + Q(fromMail)).status, 0);
  EXPECT_EQ(ReadText(fromMail), text);

  // The name decides how a file is opened; what the core says of it is passed on.
  fs::copy_file(song, dir_ / "not.smd");
  Outcome refused = Run("open " + Q(dir_ / "not.smd") + " -o " + Q(dir_ / "x.txt"));
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。このﾌｧｲﾙの中身はﾃｷｽﾄﾌｧｲﾙです。\n");
  EXPECT_FALSE(fs::exists(dir_ / "x.txt"));
  // A warning of the reader goes to standard error; the song is written.
  WriteText(dir_ / "empty.smd", "");
  Outcome empty = Run("open " + Q(dir_ / "empty.smd") + " -o " + Q(back));
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.err.substr(0, 8), "注意: ");
  EXPECT_EQ(ReadText(back).substr(0, 5), "qrv\r\n");
}

TEST_F(CommandTest, PlaysSilentlyAndRendersWav) {
  const fs::path song = WriteSong("T0L16CDEF");
  Outcome play = Run("play " + Q(song) + " --audio none");
  ASSERT_EQ(play.status, 0) << play.err;
  EXPECT_EQ(play.out.substr(0, play.out.find('\n')), "00:00 / 00:00") << play.out;

  const fs::path wav = dir_ / "out.wav";
  Outcome render = Run("render " + Q(song) + " -o " + Q(wav));
  ASSERT_EQ(render.status, 0) << render.err;
  const std::string data = ReadText(wav);
  ASSERT_GT(data.size(), 44u);
  EXPECT_EQ(data.substr(0, 4), "RIFF");
  EXPECT_EQ(data.substr(8, 4), "WAVE");

  Outcome noFont =
      Run("render " + Q(song) + " -o " + Q(wav) + " --soundfont " + Q(dir_ / "none.sf2"));
  EXPECT_EQ(noFont.status, 2);
  EXPECT_EQ(noFont.FirstError(), "ｻｳﾝﾄﾞﾌｫﾝﾄ(" + (dir_ / "none.sf2").string() + ")が見つかりません。");
}

TEST_F(CommandTest, HelpVersionAndUsageErrorsNameWhatTheyMean) {
  Outcome help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: chwr "), std::string::npos) << "not the program's path";
  EXPECT_NE(help.out.find("Exit status: 0 done; 1 "), std::string::npos);
  EXPECT_NE(help.out.find("64 a usage error"), std::string::npos);
  EXPECT_EQ(Run("--version").out, "chwr (Chimewright) 1.21\n");

  const std::string song = Q(WriteSong("C4"));
  const std::string mid = " --mid " + Q(dir_ / "x.mid");
  const std::pair<std::string, std::string> usage[] = {
      {"frobnicate",
       "chwr: unknown command \"frobnicate\"; the commands are: compile build play render open "
       "dump convert"},
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
    EXPECT_EQ(o.FirstError(), message) << args;
  }
  EXPECT_FALSE(fs::exists(dir_ / "x.mid"));
}

// The kinds of file a help text names, at the start of a sentence or within one.
std::vector<std::string> KindsNamed(std::string help) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  };
  help = lower(help);
  std::vector<std::string> kinds;
  for (const char* kind : {"song text", "MLD", "SMD", "MIDI", "melody-mail"}) {
    if (help.find(lower(kind)) != std::string::npos) kinds.push_back(kind);
  }
  return kinds;
}

TEST_F(CommandTest, EachCommandsHelpNamesTheFilesItTakesAndItTakesEveryOne) {
  // One song as each kind of file it can be.
  const fs::path text = WriteSong("T0L8CDEG");
  std::map<std::string, fs::path> files = {{"song text", text}};
  for (const auto& [kind, option, name] : {std::tuple{"MLD", "--mld", "song.mld"},
                                           {"SMD", "--smd", "song.smd"},
                                           {"MIDI", "--mid", "song.mid"}}) {
    files[kind] = dir_ / name;
    ASSERT_EQ(Run("build " + Q(text) + " " + option + " " + Q(files[kind])).status, 0) << kind;
  }
  files["melody-mail"] = dir_ / "mail.txt";
  WriteText(files["melody-mail"], Run("build " + Q(text) + " --mail").out);

  const fs::path out = dir_ / "out";
  const std::vector<std::string> songs = {"song text", "MLD", "SMD", "MIDI"};
  const std::pair<std::string, std::vector<std::string>> commands[] = {
      {"compile", songs},
      {"build --mld " + Q(out), songs},
      {"render -o " + Q(out), songs},
      {"play --audio none", songs},
      {"open -o " + Q(out), {"MLD", "SMD", "MIDI", "melody-mail"}},
      {"dump", {"MLD", "SMD", "MIDI"}},
  };
  for (const auto& [command, kinds] : commands) {
    const std::string name = command.substr(0, command.find(' '));
    const Outcome help = Run(name + " --help");
    ASSERT_EQ(help.status, 0) << name;
    // The line of its one positional argument (SONG or FILE) names exactly these.
    const std::size_t at = help.out.find("Positionals:\n") + 13;
    EXPECT_EQ(KindsNamed(help.out.substr(at, help.out.find('\n', at) - at)), kinds) << help.out;
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
      const Outcome o = Run(command + mailOption + " " + Q(files[kind]));
      EXPECT_EQ(o.status, 0) << command << " " << kind << ": " << o.err;
      EXPECT_FALSE(o.out.empty() && fs::is_empty(out)) << command << " " << kind;
      fs::remove(out);
    }
  }
  // The tool's own summary names every kind it reads or writes.
  const std::string summary = Run("--help").out;
  for (const char* named : {"song text", "MLD", "SMD", "MIDI", "melody mail", "WAV"}) {
    EXPECT_NE(summary.substr(0, summary.find("Usage:")).find(named), std::string::npos) << named;
  }
}

TEST_F(CommandTest, ASongCanComeFromStandardInput) {
  const fs::path song = WriteSong("C4D4");
  Outcome fromFile = Run("compile " + Q(song));
  Outcome fromInput = Run("compile - < " + Q(song));
  ASSERT_EQ(fromInput.status, 0) << fromInput.err;
  EXPECT_EQ(fromInput.out, fromFile.out);
  const fs::path mld = dir_ / "in.mld";
  ASSERT_EQ(Run("build - --mld " + Q(mld) + " < " + Q(song)).status, 0);
  EXPECT_EQ(ReadText(mld).substr(0, 4), "melo");
}

TEST_F(CommandTest, FailedWritesNameTheFileAndTheReason) {
  const fs::path mld = dir_ / "protected.mld";
  WriteText(mld, "old");
  fs::permissions(mld, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Outcome o = Run("build " + Q(WriteSong("C4")) + " --mld " + Q(mld));
  EXPECT_EQ(o.status, 2);
  EXPECT_EQ(o.err, std::string(msg::kFileWriteFailed) + "\n  " + mld.string() + "\n  " +
                       msg::kReasonAccessDenied + "\n");
  EXPECT_EQ(ReadText(mld), "old");
  // "open" writes its song text the same way.
  const fs::path text = dir_ / "protected.txt";
  WriteText(text, "old");
  fs::permissions(text, fs::perms::owner_read);
  const fs::path built = dir_ / "ok.mld";
  ASSERT_EQ(Run("build " + Q(WriteSong("C4")) + " --mld " + Q(built)).status, 0);
  EXPECT_EQ(Run("open " + Q(built) + " -o " + Q(text)).status, 2);
  EXPECT_EQ(ReadText(text), "old");
}

}  // namespace
}  // namespace chwr::test
