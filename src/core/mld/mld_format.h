#pragma once
// The MLD layout's names: tags, fixed offsets and the status bytes of the event
// stream, shared by the writer, the reader and the dump.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace chwr::mld {

inline constexpr std::string_view kMagic = "melo";
inline constexpr std::string_view kSourceTag = "sorc";  ///< copy-protection flag
inline constexpr std::string_view kTitleTag = "titl";
inline constexpr std::string_view kVersionTag = "vers";  ///< "0100"
inline constexpr std::string_view kVersion = "0100";
inline constexpr std::string_view kProtectTag = "cipy";  ///< protection text
inline constexpr std::string_view kTrackTag = "trac";

inline constexpr std::size_t kHeaderLengthAt = 8;   ///< 2 bytes: offset 10 up to "trac"
inline constexpr std::size_t kFixedAt = 10;         ///< the three fixed bytes 01 01 01
inline constexpr std::size_t kFirstChunkAt = 13;    ///< first header chunk
inline constexpr std::size_t kHeaderChunkHead = 6;  ///< tag and 2-byte length

/// Fixed header bytes from offset 10 up to "trac": 01 01 01, "sorc", "titl" without
/// its text, "vers".
inline constexpr std::size_t kFixedHeaderLength = 26;
/// "cipy" and its length.
inline constexpr std::size_t kProtectOverhead = 6;
/// The header length is written in one byte's worth.
inline constexpr std::size_t kMaxHeaderLength = 255;

/// First byte of an extended event; any other first byte is a note's key.
inline constexpr std::uint8_t kExtended = 0xFF;
/// Tempo C0..C5; the low four bits name the resolution.
inline constexpr std::uint8_t kTempoFirst = 0xC0;
inline constexpr std::uint8_t kTempoLast = 0xC5;
inline constexpr std::uint8_t kTempo24 = 0xC2;  ///< 24 steps per quarter
inline constexpr std::uint8_t kTempo48 = 0xC3;  ///< 48 steps per quarter
inline constexpr std::uint8_t kTone = 0xE0;     ///< part and tone number
inline constexpr std::uint8_t kBank = 0xE1;     ///< part and tone bank
inline constexpr std::uint8_t kVolume = 0xE2;   ///< part and volume
inline constexpr std::uint8_t kSkipped = 0xD0;  ///< read past, never written
inline constexpr std::uint8_t kEndOfTrack = 0xDF;
inline constexpr std::uint8_t kDefinitions = 0xF0;  ///< the four tone-definition slots
inline constexpr std::uint8_t kSelection = 0xF1;    ///< a part switches definition slot

/// The definition block's head after its delta: FF F0, length 00 29, 01.
inline constexpr std::array<std::uint8_t, 5> kDefinitionBlock = {0xFF, 0xF0, 0x00, 0x29, 0x01};
inline constexpr std::size_t kDefinitionSlotSize = 10;
inline constexpr std::size_t kDefinitionBlockLength = 41;  ///< 01 and four slots

inline constexpr std::size_t kNoteRecordSize = 3;       ///< delta, key, gate
inline constexpr std::size_t kShortExtendedSize = 4;    ///< delta, FF, status, data
inline constexpr std::size_t kSelectionRecordSize = 8;  ///< delta FF F1 00 03 01 part slot

}  // namespace chwr::mld
