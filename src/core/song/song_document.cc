#include "song/song_document.h"

namespace chwr {

// Only index 0 means 24, so a value that slipped out of range still gives a usable song.
int StepsPerQuarter(const SongDocument& song) {
  return song.resolution == 0 ? 24 : 48;
}

int StartingVolume(const PartSlot& part) {
  return FindVolumeValue(part.volume).value_or(63);
}

}  // namespace chwr
