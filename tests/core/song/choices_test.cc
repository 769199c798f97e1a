#include "song/choices.h"

#include <gtest/gtest.h>

#include "song/song_document.h"

namespace chwr {
namespace {

TEST(Choices, ListsHaveTheirItemsInOrder) {
  const auto& midi = MidiToneItems();
  ASSERT_EQ(midi.size(), 129u);
  EXPECT_EQ(midi[0].text, "指定なし");
  EXPECT_EQ(midi[0].itemData, kNoMidiTone);
  EXPECT_EQ(midi[1].text, "1   Piano 1");
  EXPECT_EQ(midi[10].text, "10  Glockenspl");
  EXPECT_EQ(midi[100].text, "100 Atmosphere");
  EXPECT_EQ(midi[128].text, "128 Gun Shot");
  for (int k = 1; k <= 128; ++k) EXPECT_EQ(midi[k].itemData, k - 1);

  const auto& tone = ToneItems();
  ASSERT_EQ(tone.size(), 132u);
  EXPECT_EQ(tone[3].text, "\u2015\u2015\u2015\u2015\u2015\u2015\u2015\u2015");
  for (int k = 1; k <= 128; ++k) {
    EXPECT_EQ(tone[3 + k].text, midi[k].text);
    EXPECT_EQ(tone[3 + k].itemData, k - 1);
  }

  EXPECT_EQ(TempoItems(), (std::vector<std::string>{"60", "84", "80", "96", "100", "120", "125",
                                                    "144", "150", "160", "168", "180", "200"}));
  EXPECT_EQ(GmProgramItemText(0), "");
  EXPECT_EQ(GmProgramItemText(129), "");
}

TEST(Choices, VolumeItemDataCarriesThePartInItsTopBits) {
  const auto items = VolumeItems(2);
  ASSERT_EQ(items.size(), 68u);
  const std::pair<const char*, int> head[] = {
      {"A", 63}, {"B", 54}, {"C", 38}, {"\u2015\u2015", 63}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(items[i].text, head[i].first);
    EXPECT_EQ(items[i].itemData, 128 + head[i].second);
  }
  for (int i = 4; i < 68; ++i) {
    EXPECT_EQ(items[i].text, std::to_string(67 - i));
    EXPECT_EQ(items[i].itemData, 128 + 67 - i);
  }
  EXPECT_EQ(VolumeItems(3)[4].itemData, 255);
}

TEST(Choices, LookupsAcceptExactItemTextsOnly) {
  const std::pair<const char*, std::optional<int>> volumes[] = {
      {"A", 63},  {"B", 54},   {"C", 38}, {"――", 63}, {"40", 40}, {"0", 0},   {"", {}},
      {"64", {}}, {"063", {}}, {"a", {}}, {" A", {}}, {"―", {}},  {"-1", {}}, {"――――――――", {}}};
  for (const auto& [text, value] : volumes) EXPECT_EQ(FindVolumeValue(text), value) << text;

  const std::pair<const char*, int> tones[] = {{"A", 2},
                                               {"B", 0},
                                               {"C", 1},
                                               {"――――――――", 0},
                                               {"1   Piano 1", 0},
                                               {"24  Accordion", 23},
                                               {"128 Gun Shot", 127}};
  for (const auto& [text, value] : tones) EXPECT_EQ(FindToneProgram(text), value) << text;
  for (const char* text : {"指定なし", "――", "1 Piano 1", "b", "Piano 1", ""}) {
    EXPECT_EQ(FindToneProgram(text), std::nullopt) << text;
  }
}

TEST(SongDocument, DerivedValues) {
  SongDocument song;
  EXPECT_EQ(StepsPerQuarter(song), 48);
  song.resolution = 0;
  EXPECT_EQ(StepsPerQuarter(song), 24);

  PartSlot part;
  EXPECT_EQ(StartingVolume(part), 63);
  part.volume = "C";
  EXPECT_EQ(StartingVolume(part), 38);
  part.volume = "17";
  EXPECT_EQ(StartingVolume(part), 17);
  part.volume = "loud";
  EXPECT_EQ(StartingVolume(part), 63);
}

}  // namespace
}  // namespace chwr
