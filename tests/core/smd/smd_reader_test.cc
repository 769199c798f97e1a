#include "smd/smd_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "convert/build_song.h"
#include "messages.h"
#include "test_support.h"

namespace chwr {
namespace {

using test::Bytes;

Bytes PartRun(Bytes codes) {
  return test::Cat({{0x1B, 0x24, 0x44}, codes, {0x0F}});
}

std::string ReadPart(Bytes codes, std::string* tempo = nullptr) {
  std::string t;
  std::string mml = SmdToMll(codes, t);
  if (tempo) *tempo = t;
  return mml;
}

TEST(SmdReader, ReadsTheCodesOfARun) {
  struct Case {
    Bytes codes;
    const char* mml;
    const char* tempo;
  };
  const std::vector<Case> cases = {
      {{0x66}, "O4C4", "120"},
      {{0x21, 0x2B, 0x66}, "O4C4", "60"},
      {{0x21, 0x2A, 0x66}, "O4C4", "95"},
      {{0x21, 0x28, 0x66}, "O4C4", "160"},
      {{0x21, 0x22, 0x65, 0x21, 0x24, 0x65}, "O5C8O4C8", "120"},
      {{0x21, 0x22, 0x21, 0x23, 0x28}, "O1A16", "120"},  // selections, not steps
      {{0x66, 0x22, 0x6E}, "O4C4&D4", "120"},
      {{0x34, 0x37, 0x25, 0x26}, "C16C2R4R2", "120"},
      {{0x21, 0x26, 0x65, 0x65, 0x65, 0x65}, "O4C*16C*16C*16C8", "120"},
      {{0x21, 0x26, 0x65, 0x21, 0x26, 0x66, 0x66, 0x66}, "O4C*16C*32C*32C*32", "120"},
      {{0x21, 0x25, 0x64, 0x64}, "O4C*8O4C*8O4C*8C16", "120"},
      {{0x21, 0x26, 0x24, 0x64, 0x64}, "R*16O4C*8C*8", "120"},
      {{0x66, 0x21, 0x66, 0x65}, "O4C4C8", "120"},              // 21 66 means nothing
      {{0x66, 0x27, 0x01, 0x80, 0xFF, 0x65}, "O4C4C8", "120"},  // codes out of the table
      {{0x66, 0x21}, "O4C4", "120"},                            // an escape cut short
      {{}, "", "120"},
  };
  for (const Case& c : cases) {
    std::string tempo;
    EXPECT_EQ(ReadPart(c.codes, &tempo), c.mml);
    EXPECT_EQ(tempo, c.tempo);
  }
}

TEST(SmdReader, BreaksLinesAfterSixtyCharacters) {
  const std::string mml = ReadPart(Bytes(100, 0x66));
  std::string want = "O4C4";
  for (int i = 1, line = 4; i < 100; ++i) {
    want += "C4";
    if ((line += 2) > 60) {
      want += "\r\n";
      line = 0;
    }
  }
  EXPECT_EQ(mml, want);
  EXPECT_EQ(mml.find("\r\n"), 62u);
}

TEST(SmdReader, DecodesTheTitle) {
  const Bytes title = {'A',  'B',  0x0E, 0x31, 0x0F, 0x1B, 0x24,
                       0x42, 0x30, 0x21, 0x1B, 0x28, 0x42, 'C'};
  EXPECT_EQ(SmdTitleGet(title), "ABｱ亜C");
  auto read = ReadSmd(test::Cat({title, PartRun({0x66})}));
  EXPECT_EQ(read.song.title, "ABｱ亜C");
  EXPECT_EQ(read.song.parts[0].mml, "O4C4");
  EXPECT_TRUE(read.warnings.empty());
}

TEST(SmdReader, MalformedFiles) {
  const char* kCut = "ﾌｧｲﾙが途中で終わっています。読めたところまでを読み込みました。";
  const char* kExtra = "ﾊﾟｰﾄが4つより多いため、5つ目以降は読み込みませんでした。";
  const char* kEmpty = "ﾌｧｲﾙが空(0ﾊﾞｲﾄ)のため、空の曲として読み込みました。";
  const char* kNoRun = "ﾊﾟｰﾄ(ESC $ D)が見つからないため、ﾊﾟｰﾄの内容は読み込めませんでした。";
  struct Case {
    const char* name;
    Bytes file;
    std::string title;
    std::array<std::string, 4> parts;
    const char* tempo;
    std::vector<std::string> warnings;
  };
  const std::vector<Case> cases = {
      {"empty file", {}, "", {}, "120", {kEmpty}},
      {"no run", test::Ascii("Hello"), "Hello", {}, "120", {kNoRun}},
      {"truncated escape", {0x1B, 0x24}, "", {}, "120", {kNoRun}},
      {"run start cut", {'A', 0x1B, 0x24}, "A", {}, "120", {kNoRun}},
      {"bad title, no run",
       {0x1B, 0x24, 0x42, 0x7F, 0x7F},
       "\uFFFD",
       {},
       "120",
       {"ﾀｲﾄﾙにｼﾌﾄJISとして読めないﾊﾞｲﾄが1か所あり、「\uFFFD」にしました。", kNoRun}},
      {"an empty run", PartRun({}), "", {}, "120", {}},  // a part, though a silent one
      {"run without 0F", {0x1B, 0x24, 0x44, 0x21, 0x2B, 0x66, 0x21}, "", {"O4C4"}, "60", {kCut}},
      {"run cut by the next",
       test::Cat({{0x1B, 0x24, 0x44, 0x66}, PartRun({0x68})}),
       "",
       {"O4C4", "O4C+16"},
       "120",
       {kCut}},
      {"codes out of the table", PartRun({0x00, 0x1B, 0x7F, 0x81, 0x27}), "", {"O4F+2"}, "120", {}},
      {"five runs",
       test::Cat({PartRun({0x66}), PartRun({0x21, 0x28, 0x65}), PartRun({0x64}), PartRun({0x25}),
                  PartRun({0x21, 0x2B, 0x67})}),
       "",
       {"O4C4", "O4C8", "O4C16", "R4"},
       "120",
       {kExtra}},
      {"bad title",
       test::Cat({{0x1B, 0x24, 0x42, 0x7F, 0x7F}, PartRun({})}),
       "\uFFFD",
       {},
       "120",
       {"ﾀｲﾄﾙにｼﾌﾄJISとして読めないﾊﾞｲﾄが1か所あり、「\uFFFD」にしました。"}},
  };
  for (const Case& c : cases) {
    const SmdRead read = ReadSmd(c.file);
    EXPECT_EQ(read.song.title, c.title) << c.name;
    for (int p = 0; p < 4; ++p) EXPECT_EQ(read.song.parts[p].mml, c.parts[p]) << c.name << p;
    EXPECT_EQ(read.song.tempo, c.tempo) << c.name;
    EXPECT_EQ(test::Messages(read.warnings), c.warnings) << c.name;
    EXPECT_EQ(read.song.resolution, 1);
  }
}

// ---- round trip ------------------------------------------------------------------------------

struct Sounding {
  int key, start, length;
  bool operator==(const Sounding&) const = default;
};

// The sounding notes of a compiled part: tied pieces of one pitch (and dot extensions) merged.
std::vector<Sounding> SoundingNotes(const CompiledPart& part) {
  std::vector<Sounding> out;
  int t = 0;
  bool tiedOn = false;
  for (int i = 0; i < part.count; ++i) {
    const NoteEvent& e = part.events[i];
    if (e.gate > 0) {
      if (tiedOn && !out.empty() && out.back().key == e.key &&
          out.back().start + out.back().length == t) {
        out.back().length += e.step;
      } else {
        out.push_back({e.key, t, e.step});
      }
    }
    tiedOn = e.gate > 0 && e.gate == e.step + 1;
    t += e.step;
  }
  return out;
}

// A random part SMD can hold, as MML, and the same music as SMD keeps it: a dotted whole
// comes back as a whole tied to a quarter, a dotted sixteenth as two sixteenths.
struct RandomPart {
  std::string mml, kept;
};
RandomPart MakeRandomPart(std::mt19937& rng) {
  static const char* kSharp[] = {"C", "C+", "D", "D+", "E", "F", "F+", "G", "G+", "A", "A+", "B"};
  static const char* kFlat[] = {"B+", "D-", "D",  "E-", "F-", "E+",
                                "G-", "G",  "A-", "A",  "B-", "C-"};
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto pitch = [&]() -> std::string {
    const int note = 12 + pick(46);  // O1A .. O5F+
    const int m = note - 3;
    int octave = m / 12 + 1;
    if (pick(3) == 0) {
      // The same key spelt another way: B+ belongs to the octave below, C- to the one above.
      if (m % 12 == 0) --octave;
      if (m % 12 == 11) ++octave;
      return "O" + std::to_string(octave) + kFlat[m % 12];
    }
    return "O" + std::to_string(octave) + kSharp[m % 12];
  };
  RandomPart out;
  auto both = [&](const std::string& t) {
    out.mml += t;
    out.kept += t;
  };
  const int items = 1 + pick(30);
  for (int i = 0; i < items; ++i) {
    const bool rest = pick(5) == 0;
    const std::string name = rest ? "R" : pitch();
    if (pick(6) == 0) {
      static const char* kTriplet[] = {"*8", "*16", "*32", "*64"};
      const std::string len = kTriplet[pick(4)];
      for (int k = 0; k < 3; ++k) both((k == 0 ? name : (pick(2) ? "R" : pitch())) + len);
      continue;
    }
    static const char* kLength[] = {"1", "2", "4", "8", "16"};
    const std::string length = kLength[pick(5)];
    if (pick(4) == 0) {
      out.mml += name + length + ".";
      out.kept += length == "1"    ? name + "1&" + name + "4"
                  : length == "16" ? name + "16&" + name + "16"
                                   : name + length + ".";
    } else {
      both(name + length);
    }
    if (!rest && pick(4) == 0) both("&" + pitch() + "4");  // a tie into a note
  }
  return out;
}

TEST(SmdRoundTrip, RandomSongsComeBackNoteForNote) {
  std::mt19937 rng(20240613);
  BuildRequest smd;
  smd.smd = true;
  for (int round = 0; round < 60; ++round) {
    std::array<RandomPart, 4> parts;
    for (RandomPart& p : parts) p = MakeRandomPart(rng);
    const SongDocument song = test::Song(parts[0].mml, parts[1].mml, parts[2].mml, parts[3].mml);
    auto written = BuildSong(song, smd);
    ASSERT_TRUE(written) << written.error().message;
    // Only a dotted sixteenth changes on the way, and the writer says so.
    const bool dottedSixteenth = std::any_of(parts.begin(), parts.end(), [](const RandomPart& p) {
      return p.mml.find("16.") != std::string::npos;
    });
    EXPECT_EQ(test::Messages(written->warnings),
              dottedSixteenth ? std::vector<std::string>{msg::kSmdShortLength}
                              : std::vector<std::string>{});
    const SmdRead read = ReadSmd(written->smdFile);
    EXPECT_TRUE(read.warnings.empty());
    auto back = BuildSong(read.song);
    ASSERT_TRUE(back) << back.error().message;
    auto kept = BuildSong(test::Song(parts[0].kept, parts[1].kept, parts[2].kept, parts[3].kept));
    ASSERT_TRUE(kept);
    for (int p = 0; p < 4; ++p) {
      EXPECT_EQ(SoundingNotes(back->compiled.parts[p]), SoundingNotes(kept->compiled.parts[p]))
          << parts[p].mml << "\n"
          << read.song.parts[p].mml;
    }
  }
}

}  // namespace
}  // namespace chwr
