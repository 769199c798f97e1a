#include "messages.h"

namespace chwr::msg {
namespace {

std::string Hex(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

}  // namespace

// ---- text encoding -------------------------------------------------------------------------

std::string NotInCp932(std::string_view shown) {
  return "ｼﾌﾄJISで表せない文字(" + std::string(shown) + ")があります。";
}

// ---- song text -----------------------------------------------------------------------------

// Warnings are our own texts: the file format reports nothing, but the user
// should know when what they see is not what the file said.
std::string SongUndecodableBytes(std::size_t count) {
  return "ｼﾌﾄJISとして読めないﾊﾞｲﾄが" + std::to_string(count) + "か所あり、「\uFFFD」にしました。";
}

std::string SongFileShort(std::size_t lineCount) {
  return "ﾌｧｲﾙが" + std::to_string(lineCount) +
         "行で終わっています。足りない項目は新規作成時の内容にしました。";
}

std::string UnknownChoice(int lineNo, std::string_view what, std::string_view excerpt,
                          std::string_view fallback) {
  return std::to_string(lineNo) + "行目の" + std::string(what) + "「" + std::string(excerpt) +
         "」は選択肢にないため、「" + std::string(fallback) + "」にしました。";
}

std::string UnreadableResolution(int lineNo, std::string_view excerpt) {
  return std::to_string(lineNo) + "行目の分解能「" + std::string(excerpt) +
         "」が読めないため、「48」にしました。";
}

// ---- resolution change ---------------------------------------------------------------------

std::string InexactLengthLine(int part, int line, std::string_view written,
                              std::string_view rescaled) {
  return PartName(part) + " (" + std::to_string(line) + "行目) " + std::string(written) + " → " +
         std::string(rescaled) + "\n";
}

std::string InexactHalvingQuestion(std::string_view lines, std::size_t more) {
  std::string text = "分解能を24にすると、次の絶対音長は2で割り切れないため長さが変わります。\n\n";
  text += lines;
  if (more > 0) text += "ほか" + std::to_string(more) + "か所\n";
  return text + "\n変更しますか？";
}

// ---- compiler ------------------------------------------------------------------------------

std::string PartName(int part) {
  return "ﾊﾟｰﾄ" + std::to_string(part + 1);
}

// The character message has no blank before "(" and none after "行目)"; the command
// messages have both.
std::string AtPartLine(int part, int line, std::string_view what) {
  return PartName(part) + " (" + std::to_string(line) + "行目) " + std::string(what);
}

std::string NoteMoved(int part, int line, std::string_view typed, std::string_view written,
                      bool high) {
  return PartName(part) + " (" + std::to_string(line) + "行目) の音(" + std::string(typed) +
         ")は出せないため、" + (high ? "最高音(" : "最低音(") + std::string(written) +
         ")にしました。";
}

std::string ExtraToneValues(int part, int line, int count, int used) {
  return PartName(part) + " (" + std::to_string(line) + "行目) の音色定義は数値が" +
         std::to_string(count) + "個あります。" + std::to_string(used + 1) +
         "個目からは使われません。";
}

std::string InvalidCharacter(int part, int line, std::string_view shown) {
  return PartName(part) + "(" + std::to_string(line) + "行目)に不正な文字(" + std::string(shown) +
         ")があります。";
}

std::string InvalidToneDefinition(int part) {
  return PartName(part) + " 音色定義が無効です。";
}

std::string UnmatchedRepeat(int part) {
  return PartName(part) + "に不正な繰り返し([])があります。";
}

std::string RepeatTooLong(int part) {
  return PartName(part) + " 繰り返しを展開したMMLが長すぎます。";
}

std::string PartTooLong(int part, int steps, int maxSteps) {
  return PartName(part) + " のｽﾃｯﾌﾟ数(" + std::to_string(steps) + ")が多すぎます。1曲は" +
         std::to_string(maxSteps) + "ｽﾃｯﾌﾟまでです。";
}

// ---- MLD -----------------------------------------------------------------------------------

std::string ControlCharacterIn(std::string_view what) {
  return std::string(what) + "に制御文字は使えません。";
}

std::string ProblemIn(std::string_view what, std::string_view reason) {
  return std::string(what) + "に" + std::string(reason);
}

std::string HeaderTooLong(bool withCopyright, std::size_t bytes, std::size_t room) {
  return std::string(withCopyright ? "ﾀｲﾄﾙと著作権情報" : "ﾀｲﾄﾙ") + "が長すぎます。ｼﾌﾄJISで" +
         std::to_string(bytes) + "ﾊﾞｲﾄあります。(最大" + std::to_string(room) + "ﾊﾞｲﾄ)";
}

std::string ToneSlotOutOfRange(int part, int slot) {
  return PartName(part) + " 音色定義の選択(@V" + std::to_string(slot) + ")は@V0～@V3にして下さい。";
}

std::string BadDataGroup(int part, std::string_view data) {
  return PartName(part) + " ﾃﾞｰﾀ{" + std::string(data) + "}は16進数を2桁ずつ書いて下さい。";
}

std::string SizeReportBytes(std::size_t imageSize) {
  return std::to_string(imageSize) + "ﾊﾞｲﾄ ";
}

std::string PartDrift(int part, int steps, std::string_view beats) {
  return " P" + std::to_string(part + 1) + " -" + std::to_string(steps) + "ｽﾃｯﾌﾟ(-" +
         std::string(beats) + "拍)";
}

std::string SizeReportPart(int part, int steps, std::string_view minName,
                           std::string_view maxName) {
  std::string text =
      " " + PartName(part) + "：" + std::to_string(steps) + " " + std::string(minName);
  if (steps != 0) text += "～";
  text += maxName;
  return text;
}

std::string MldUnknownResolution(std::uint8_t status) {
  return "分解能の指定(" + Hex(status) + ")が読めないため、分解能48として読み込みました。";
}

std::string MldUndecodableBytes(std::string_view field, std::size_t count) {
  return std::string(field) + "にｼﾌﾄJISとして読めないﾊﾞｲﾄが" + std::to_string(count) +
         "か所あり、「\uFFFD」にしました。";
}

std::string MldUnknownSlotPart(int slot, std::uint8_t first) {
  return "音色定義" + std::to_string(slot + 1) + "のﾊﾟｰﾄ指定(" + Hex(first) +
         ")が読めないため、その定義は読み込みませんでした。";
}

std::string MldRepeated(std::string_view message, std::size_t count) {
  return std::string(message) + "（ほか同様に" + std::to_string(count - 1) + "か所）";
}

std::string MldFileLengthMismatch(std::uint32_t stated, std::size_t actual) {
  return "ﾌｧｲﾙの長さの記録(" + std::to_string(stated) + " ﾊﾞｲﾄ)が実際の長さ(" +
         std::to_string(actual) + " ﾊﾞｲﾄ)と違います。";
}

std::string MldHeaderLengthMismatch() {
  return "ﾍｯﾀﾞの長さの記録がﾁｬﾝｸの並びと合いません。ﾍｯﾀﾞの長さに従って読み込みました。";
}

std::string MldUnknownEvent(int track, std::size_t offset, std::uint8_t status, std::uint8_t ext) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string at;
  for (std::size_t v = offset; at.empty() || v != 0; v >>= 4) at.insert(at.begin(), kDigits[v & 15]);
  return "ﾄﾗｯｸ" + std::to_string(track + 1) + "の位置 0x" + at + " に読めないｲﾍﾞﾝﾄ(" +
         Hex(status) + " " + Hex(ext) + ")があったため、読み飛ばしました。";
}

std::string MldUnknownChunk(std::string_view id) {
  return "読めないﾁｬﾝｸ(" + std::string(id) + ")を読み飛ばしました。";
}

namespace {
std::string ChannelList(const std::vector<int>& channels) {
  std::string list;
  for (int c : channels) list += (list.empty() ? "" : "、") + std::to_string(c + 1);
  return list;
}
}  // namespace

std::string MldVoicesNotChosen(const std::vector<int>& channels) {
  return "ﾁｬﾝﾈﾙ" + ChannelList(channels) + "は選ばれていないため、読み込みませんでした。";
}

std::string MldVoicesLeftOut(const std::vector<int>& channels) {
  return "ﾊﾟｰﾄは4つまでのため、ﾁｬﾝﾈﾙ" + ChannelList(channels) + "は読み込みませんでした。";
}

std::string MldTrackCountMismatch(int declared, std::size_t found) {
  return "ﾄﾗｯｸ数の記録(" + std::to_string(declared) + ")と実際のﾄﾗｯｸ(trac)の数(" +
         std::to_string(found) + ")が違います。あるﾄﾗｯｸをすべて読み込みました。";
}

// ---- MIDI ----------------------------------------------------------------------------------

std::string MidiTempoTooLow(std::string_view text) {
  return "ﾃﾝﾎﾟ(" + std::string(text) + ")ではMIDIﾌｧｲﾙを作成できません。4以上にして下さい。";
}

// ---- mail ----------------------------------------------------------------------------------

std::string BadMailCharacter(std::string_view name) {
  return "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列に使えない文字(" + std::string(name) + ")があります。";
}

// The line breaks are CR LF: message boxes on every platform we run on show that form.
std::string MailSaved(std::size_t bytes) {
  return "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにﾒｰﾙ(" + std::to_string(bytes) +
         "ﾊﾞｲﾄ)を保存しました。ﾒｰﾙ本文に貼り付けて下さい。\r\n\r\n"
         "(注意：最後の行に改行は入れないで下さい。)";
}

// ---- score editor --------------------------------------------------------------------------

// Our own texts: the score shows 36 cells of fixed lengths, and the user should know when
// the part they opened is not all there or not as written.
std::string ScoreReadNotice(std::size_t changed, std::size_t leftOut) {
  std::string text;
  if (changed > 0) {
    text += "楽譜にない長さの音符・休符" + std::to_string(changed) + "個を近い長さで表示しました。";
  }
  if (leftOut > 0) {
    text += "37個目からの音符・休符" + std::to_string(leftOut) +
            "個は楽譜に入らないため読み込みませんでした。";
  }
  return text;
}

// ---- opening -------------------------------------------------------------------------------

std::string ContentIsKind(std::string_view kindName) {
  return "このﾌｧｲﾙの中身は" + std::string(kindName) + "ﾌｧｲﾙです。";
}

std::string TempoReplaced(std::string_view typed) {
  return "ﾃﾝﾎﾟ「" + std::string(typed) + "」は数値でないため120にしました。";
}

std::string TempoOutOfRange(std::string_view typed, std::string_view format,
                            std::string_view written) {
  return "ﾃﾝﾎﾟ " + std::string(typed) + " は " + std::string(format) + " では " +
         std::string(written) + " になります。1～255で指定して下さい。";
}

// ---- MIDI import ---------------------------------------------------------------------------

std::string TrackMissing(int track) {
  return "ﾄﾗｯｸ" + std::to_string(track) + "情報が存在しません。";
}

std::string SeekPastEnd(std::int64_t lastMeasure) {
  return "開始位置が曲の終わりより後ろです。(0～" + std::to_string(lastMeasure) + "小節)";
}

std::string SmfDivisionUnusable(unsigned division) {
  return "分解能(" + std::to_string(division) + ")のMIDIﾌｧｲﾙは変換できません。";
}

std::string SmfFormatNotConvertible(unsigned format) {
  return "SMF ﾌｫｰﾏｯﾄ" + std::to_string(format) + "のMIDIﾌｧｲﾙは変換できません。(ﾌｫｰﾏｯﾄ0と1のみ)";
}

std::string ImportLengthCut(int maxSteps) {
  return std::to_string(maxSteps) + "ｽﾃｯﾌﾟより長い音符または休符があったため、" +
         std::to_string(maxSteps) + "ｽﾃｯﾌﾟまでにしました。";
}

std::string ImportUndecodableTitle(std::size_t count) {
  return "ﾀｲﾄﾙにｼﾌﾄJISとして読めないﾊﾞｲﾄが" + std::to_string(count) +
         "か所あり、「\uFFFD」にしました。";
}

std::string KeyBraceNotClosed(std::size_t at) {
  return std::to_string(at) + "文字目の「{」に対応する「}」がありません。";
}

std::string KeyNameUnknown(std::string_view name) {
  return "{" + std::string(name) + "} というｷｰはありません。";
}

std::string KeyModifierAlone(std::string_view modifier) {
  return "「" + std::string(modifier) + "」の後にｷｰがありません。";
}

std::string KeyParenthesisUnmatched(std::string_view which, std::size_t at) {
  return std::to_string(at) + "文字目の「" + std::string(which) + "」に対応する括弧がありません。";
}

std::string KeyRepeatInvalid(std::string_view count, int max) {
  return "繰り返し回数(" + std::string(count) + ")は0から" + std::to_string(max) +
         "までの数で指定して下さい。";
}

}  // namespace chwr::msg
