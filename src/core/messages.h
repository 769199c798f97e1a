#pragma once
// User-visible texts of the core library, UTF-8, exactly as the user sees them: plain texts
// as constants, texts that carry a part, a line, a count or a value as small functions.
// Texts that are data rather than messages (the choice lists, what a reader writes into
// the MML, dump output) stay with the code that owns them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace chwr::msg {

// ---- message boxes -------------------------------------------------------------------------

/// Title of the box for an error.
inline constexpr const char* kErrorTitle = "ｴﾗｰ";
/// Title of the box that asks the user to confirm.
inline constexpr const char* kConfirmationTitle = "確認";
/// Title of the box for a warning.
inline constexpr const char* kWarningTitle = "注意";

// ---- file ----------------------------------------------------------------------------------

/// Shown when a reader finds bytes that are not a file of its kind.
inline constexpr const char* kInvalidFileFormat = "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。";
/// Shown when a file cannot be written.
inline constexpr const char* kFileWriteFailed = "ﾌｧｲﾙ書き込みに失敗しました。";
/// Shown when the settings file cannot be written; the detail names it and the reason.
inline constexpr const char* kSettingsNotSaved = "設定を保存できませんでした。";
/// Our own text for a file that exists in name only (missing, unreadable, a folder).
inline constexpr const char* kFileReadFailed = "ﾌｧｲﾙ読み込みに失敗しました。";

// The system's reason under a file failure, in the program's words.
/// Reason: the file or folder does not exist.
inline constexpr const char* kReasonNotFound = "ﾌｧｲﾙまたはﾌｫﾙﾀﾞがありません。";
/// Reason: the system refused access.
inline constexpr const char* kReasonAccessDenied = "ｱｸｾｽが許可されていません。";
/// Reason: the place is on a read-only file system.
inline constexpr const char* kReasonReadOnly = "読み取り専用の場所です。";
/// Reason: the disk (or the user's quota) is full.
inline constexpr const char* kReasonDiskFull = "ﾃﾞｨｽｸに空きがありません。";
/// Reason: the name is a folder, not a file.
inline constexpr const char* kReasonIsFolder = "ﾌｫﾙﾀﾞです。";
/// Reason: the name is longer than the system allows.
inline constexpr const char* kReasonNameTooLong = "名前が長すぎます。";

// ---- text encoding -------------------------------------------------------------------------

/// Shown when the code page 932 converter cannot be opened at all.
inline constexpr const char* kCp932Unavailable = "ｼﾌﾄJISへの変換を開始できません。";
/// Shown when text to be saved holds the character `shown`, which code page 932 lacks.
std::string NotInCp932(std::string_view shown);

// ---- song text -----------------------------------------------------------------------------

/// The volume line's name inside UnknownChoice.
inline constexpr const char* kVolumeField = "ﾎﾞﾘｭｰﾑ";
/// The tone line's name inside UnknownChoice.
inline constexpr const char* kToneField = "音色";
/// Warning when a song file held `count` bytes that are not code page 932.
std::string SongUndecodableBytes(std::size_t count);
/// Warning when a song file ends after `lineCount` lines, before its last field.
std::string SongFileShort(std::size_t lineCount);
/// Warning when line `lineNo`'s `what` holds `excerpt`, no choice of its list.
std::string UnknownChoice(int lineNo, std::string_view what, std::string_view excerpt,
                          std::string_view fallback);
/// Warning when the resolution on line `lineNo` (`excerpt`) is neither 0 nor 1.
std::string UnreadableResolution(int lineNo, std::string_view excerpt);

// ---- resolution change ---------------------------------------------------------------------

/// How many inexact lengths the question before a change to 24 steps lists by name.
inline constexpr std::size_t kInexactLengthsListed = 10;
/// One line of that question: part `part` (0..3), line `line`, the length and what it becomes.
std::string InexactLengthLine(int part, int line, std::string_view written,
                              std::string_view rescaled);
/// The question (OK changes, Cancel keeps) before a change to 24 steps a quarter that rounds
/// absolute lengths: `lines` are InexactLengthLine texts, `more` the lengths not listed.
std::string InexactHalvingQuestion(std::string_view lines, std::size_t more);

// ---- compiler ------------------------------------------------------------------------------

/// The user's name of part `part` (0-based): "ﾊﾟｰﾄ1" and so on.
std::string PartName(int part);
/// A command error: `what` (one of the texts below) placed at line `line` of `part`.
std::string AtPartLine(int part, int line, std::string_view what);
/// Warning when a note (`typed`, e.g. "O0C") lies outside the keys and sounds as `written`,
/// the lowest key or (`high`) the highest.
std::string NoteMoved(int part, int line, std::string_view typed, std::string_view written,
                      bool high);
/// Warning when the tone definition of `part`, beginning on line `line`, holds `count`
/// values, more than the `used` that are read.
std::string ExtraToneValues(int part, int line, int count, int used);
/// Command error: a bad octave command.
inline constexpr const char* kSyntaxO = "に(O命令)構文ｴﾗｰがあります。";
/// Command error: a bad gate command.
inline constexpr const char* kSyntaxQ = "に(Q命令)構文ｴﾗｰがあります。";
/// Command error: a bad volume command (also the volume steps).
inline constexpr const char* kSyntaxV = "に(V命令)構文ｴﾗｰがあります。";
/// Command error: an "@" that is no tone-definition choice.
inline constexpr const char* kSyntaxAt = "に(@命令)構文ｴﾗｰがあります。";
/// Command error: an absolute length out of range or not a number.
inline constexpr const char* kSyntaxAbsolute = "に(L*[絶対音長]命令)構文ｴﾗｰがあります。";
/// Command error: a default length that is no note length.
inline constexpr const char* kSyntaxL = "に(L命令)構文ｴﾗｰがあります。";
/// Command error: a 64th note while the resolution is 24.
inline constexpr const char* kNo64thAt24 = "分解能=24の時は64分音符は指定できません。";
/// Command error: a bad transpose command.
inline constexpr const char* kSyntaxT = "に(T命令)構文ｴﾗｰがあります。";
/// Command error: a dot on an absolute length.
inline constexpr const char* kNoDotOnAbsolute = "絶対音長指定時は付点指定はできません。";
/// Command error: a note or rest length that cannot be read.
inline constexpr const char* kSyntaxLength = "に(音長命令)構文ｴﾗｰがあります。";
// Our own texts for the fixed capacities, in the same shape as the command messages.
/// Command error: a part holds more commands than the compiler has room for.
inline constexpr const char* kTooManyCommands = "命令の数が多すぎます。(最大50000個)";
/// Command error: a part holds more notes and rests than the compiler has room for.
inline constexpr const char* kTooManyNotes = "音符と休符の数が多すぎます。(最大50001個)";
/// Shown when line `line` of `part` holds the character `shown`, which no command uses.
std::string InvalidCharacter(int part, int line, std::string_view shown);
/// Shown when a part's tone definition cannot be read.
std::string InvalidToneDefinition(int part);
/// Shown when a part's repeat brackets do not pair up.
std::string UnmatchedRepeat(int part);
/// Shown when a part's repeats expand to more MML than the compiler takes.
std::string RepeatTooLong(int part);
/// Shown when a part lasts `steps` steps, more than the `maxSteps` a song may have.
std::string PartTooLong(int part, int steps, int maxSteps);

// ---- MLD -----------------------------------------------------------------------------------

/// A build warning: the tempo `typed` is no number, and every file holds 120 instead.
std::string TempoReplaced(std::string_view typed);
/// A build warning: the tempo typed is outside 1..255, and the file of kind `format` ("MLD",
/// "SMD") holds `written` instead (the MLD tempo byte, the tempo of the SMD tempo class).
std::string TempoOutOfRange(std::string_view typed, std::string_view format,
                            std::string_view written);
/// The title's name inside the header-text messages.
inline constexpr const char* kTitleField = "ﾀｲﾄﾙ";
/// The copyright text's name when an MLD file is made.
inline constexpr const char* kCopyrightField = "著作権情報";
/// The copyright text's name when an MLD file is read.
inline constexpr const char* kProtectTextField = "著作権保護の文";
/// Shown when the header text `what` holds a control character.
std::string ControlCharacterIn(std::string_view what);
/// Shown when the text `what` cannot be saved, `reason` saying why (e.g. NotInCp932).
std::string ProblemIn(std::string_view what, std::string_view reason);
/// Shown when title (and copyright text) take `bytes` bytes, more than the header's `room`.
std::string HeaderTooLong(bool withCopyright, std::size_t bytes, std::size_t room);
/// Shown when a part chooses tone definition `slot` ("@V`slot`"), beyond the four there are.
std::string ToneSlotOutOfRange(int part, int slot);
/// Shown when a part's data group `data` is not pairs of hex digits.
std::string BadDataGroup(int part, std::string_view data);
/// The size report's start: the MLD file's size.
std::string SizeReportBytes(std::size_t imageSize);
/// The size report's entry for a part: its steps and its lowest and highest notes.
std::string SizeReportPart(int part, int steps, std::string_view minName, std::string_view maxName);
/// After the size report: the start of the list of parts shorter than the longest.
inline constexpr const char* kDriftHeading = "   ﾊﾟｰﾄ長のずれ:";
/// An entry of that list: the part, how many steps shorter, and as `beats` quarter notes.
std::string PartDrift(int part, int steps, std::string_view beats);
/// Warning when an MLD file ends inside a chunk or an event.
inline constexpr const char* kMldTruncated =
    "ﾌｧｲﾙが途中で終わっています。読めたところまでを読み込みました。";
/// Warning when an MLD file has no track chunk.
inline constexpr const char* kMldNoTrack =
    "ﾄﾗｯｸ(trac)が見つからないため、ﾊﾟｰﾄの内容は読み込めませんでした。";
/// Warning when an MLD track has no tempo event.
inline constexpr const char* kMldNoTempo = "ﾃﾝﾎﾟの指定がないため、分解能48として読み込みました。";
/// Warning when an MLD tempo event has the unknown resolution status `status`.
std::string MldUnknownResolution(std::uint8_t status);
/// Warning when the MLD header text `field` held `count` bytes that are not code page 932.
std::string MldUndecodableBytes(std::string_view field, std::size_t count);
/// Warning when tone definition `slot` (0-based) names no part: its first byte is `first`.
std::string MldUnknownSlotPart(int slot, std::uint8_t first);

// What decoding an MLD file of another program's layout stepped over or doubted.
/// `message` about a trouble that happened `count` times (the first place is named).
std::string MldRepeated(std::string_view message, std::size_t count);
/// Warning when the file's length field (offset 4) is not its size less eight.
std::string MldFileLengthMismatch(std::uint32_t stated, std::size_t actual);
/// Warning when the header length and the chain of info chunks disagree.
std::string MldHeaderLengthMismatch();
/// Warning when track `track` (0-based) has an event `status` `ext` this program does not
/// know at byte `offset` of the file; it was stepped over by its length.
std::string MldUnknownEvent(int track, std::size_t offset, std::uint8_t status, std::uint8_t ext);
/// Warning when the file holds sampled sound, which is not played.
inline constexpr const char* kMldAudioSkipped =
    "音声ﾃﾞｰﾀ(ADPCM など)は再生できないため、読み飛ばしました。";
/// Warning when a data chunk has the unknown id `id`.
std::string MldUnknownChunk(std::string_view id);
/// Warning when the header's track count differs from the "trac" chunks found.
std::string MldTrackCountMismatch(int declared, std::size_t found);
/// Warning when a ring tone opened as a song has more voices than parts: the channels
/// (0-based) left out.
std::string MldVoicesLeftOut(const std::vector<int>& channels);
/// Warning when voices of a ring tone were not picked in the import dialog: the channels
/// (0-based) left out.
std::string MldVoicesNotChosen(const std::vector<int>& channels);
/// Warning when a voice of a ring tone opened as a song strikes notes together.
inline constexpr const char* kMldChordsInParts =
    "和音を含むﾁｬﾝﾈﾙがあります。ﾊﾟｰﾄには一度に一つの音しか入らないため、一部の音は読み込まれていません。";
/// Warning when notes of channels a handset keeps silent were left out of a MIDI file.
inline constexpr const char* kMldSilentChannels =
    "鳴らないﾁｬﾝﾈﾙ(17以降、または音を出さない設定)の音は書き出しませんでした。";

// ---- MIDI ----------------------------------------------------------------------------------

/// Shown when the tempo `text` is too slow (or not positive) for a MIDI file.
std::string MidiTempoTooLow(std::string_view text);

// ---- SMD -----------------------------------------------------------------------------------

/// Warning when an SMD file is made: a note lies outside what SMD can play and became a rest.
inline constexpr const char* kSmdOutOfRange =
    "発音範囲（O1A～O5F+）外の音符が存在しました。休符に置き換えられます。";
/// Warning when an SMD file is made: an absolute length was rounded to a note length.
inline constexpr const char* kSmdLengthApproximated =
    "不定な絶対音長が存在しました。正常に演奏されない場合があります。";
/// Warning when an SMD file is made: a 32nd or 64th note (or a sixteenth's dot, a 32nd)
/// has no length code of its own and was written with another length.
inline constexpr const char* kSmdShortLength =
    "32分・64分音符(16分音符の付点を含む)が存在しました。別の長さに置き換えられます。";
/// Warning when an SMD file is to be made of a song without a note or rest: nothing is written.
inline constexpr const char* kSmdNothingToWrite = "音符も休符もないため、SMDﾌｧｲﾙは作成できません。";
/// Warning when an SMD part run has no end code before the file or the next run begins.
inline constexpr const char* kSmdRunCut =
    "ﾌｧｲﾙが途中で終わっています。読めたところまでを読み込みました。";
/// Warning when an SMD file of no bytes is opened: the song is empty.
inline constexpr const char* kSmdEmptyFile = "ﾌｧｲﾙが空(0ﾊﾞｲﾄ)のため、空の曲として読み込みました。";
/// Warning when an SMD file holds no part run (ESC "$" "D"): at most a title was read.
inline constexpr const char* kSmdNoRun =
    "ﾊﾟｰﾄ(ESC $ D)が見つからないため、ﾊﾟｰﾄの内容は読み込めませんでした。";
/// Warning when an SMD file holds more than four part runs.
inline constexpr const char* kSmdExtraRuns =
    "ﾊﾟｰﾄが4つより多いため、5つ目以降は読み込みませんでした。";

// ---- mail ----------------------------------------------------------------------------------

/// Shown when pasted mail text holds the character `name`, which is no part of the code.
std::string BadMailCharacter(std::string_view name);
/// Shown when pasted mail text holds no code at all.
inline constexpr const char* kNoMailText = "ﾒﾛﾃﾞｨｰﾒｰﾙの文字列がありません。";
/// Shown after the mail text of `bytes` bytes was put on the clipboard.
std::string MailSaved(std::size_t bytes);

// ---- score editor --------------------------------------------------------------------------

/// The question (title kConfirmationTitle, OK and Cancel) before a modified score is
/// cleared or closed.
inline constexpr const char* kScoreDiscardQuestion = "内容が変更されていますがよろしいですか？";
/// The first line of the box `txtMML` after the score MML went to the clipboard.
inline constexpr const char* kScoreMmlSaved = "（ｸﾘｯﾌﾟﾎﾞｰﾄﾞに以下の内容を保存しました。）";
/// Status text when a part opened in the score: `changed` notes and rests are shown at
/// another length (the score has none of theirs) and `leftOut` are left out past cell 36;
/// empty when both are 0.
std::string ScoreReadNotice(std::size_t changed, std::size_t leftOut);

// ---- opening -------------------------------------------------------------------------------

/// The user's name of an MLD file.
inline constexpr const char* kMldKindName = "MLD";
/// The user's name of an SMD file.
inline constexpr const char* kSmdKindName = "SMD";
/// The user's name of a MIDI file.
inline constexpr const char* kMidiKindName = "MIDI";
/// The user's name of a song text file.
inline constexpr const char* kTextKindName = "ﾃｷｽﾄ";
/// Added to kInvalidFileFormat when the bytes are plainly a file of kind `kindName`.
std::string ContentIsKind(std::string_view kindName);

// ---- MIDI import ---------------------------------------------------------------------------

/// Shown when a file handed to the import does not begin with the "MThd" header chunk.
inline constexpr const char* kSmfFormatInvalid = "SMF ﾌｫｰﾏｯﾄが無効です。";
/// Import check: no list item is selected.
inline constexpr const char* kNoTrackChosen = "変換対象ﾄﾗｯｸが指定されていません。";
/// Import check: five or more list items are selected.
inline constexpr const char* kTooManyTracksChosen = "変換対象ﾄﾗｯｸは4つまでです。";
/// Import check: the start measure is no number.
inline constexpr const char* kSeekInvalid = "開始位置が無効です。";
/// Import check: the number of measures is no number or longer than 4 bytes.
inline constexpr const char* kRangeInvalid = "変換範囲が無効です。";
/// Import check: the transposition is no number or longer than 3 bytes.
inline constexpr const char* kTransposeInvalid = "ﾄﾗﾝｽﾎﾟｰｽﾞが無効です。";
/// The title a conversion gives a song whose file names none.
inline constexpr const char* kUntitled = "無題";
/// Shown when the chosen track `track` (list number) has no track chunk in the file.
std::string TrackMissing(int track);
// Our own texts for what the import cannot do or had to change, in the same shape.
/// Shown when a format 0 file has no track chunk at all.
inline constexpr const char* kSmfNoTrack = "ﾄﾗｯｸ情報が存在しません。";
/// Shown when the header's division (`division`) gives no ticks per quarter note.
std::string SmfDivisionUnusable(unsigned division);
/// Shown when a file of SMF format `format` (neither 0 nor 1) is to be converted.
std::string SmfFormatNotConvertible(unsigned format);
/// Shown when the start measure lies past the end of every chosen track; the start
/// measures that hold anything are 0 to `lastMeasure`.
std::string SeekPastEnd(std::int64_t lastMeasure);
/// Warning when a note or rest was longer than a song may be and was cut to that length.
std::string ImportLengthCut(int maxSteps);
/// Warning when the title held `count` sequences that are not code page 932.
std::string ImportUndecodableTitle(std::size_t count);

// ---- keystrokes of the memory-dial transfer ------------------------------------------------

/// Key text that cannot be sent; the detail names the fault.
inline constexpr const char* kKeySyntaxError = "ｷｰ指定に誤りがあります。";
/// Detail: a "{" with no "}" after it, at character `at` (1-based).
std::string KeyBraceNotClosed(std::size_t at);
/// Detail: a key name in braces that names no key.
std::string KeyNameUnknown(std::string_view name);
/// Detail: a modifier ("%", "+", "^") with no key after it.
std::string KeyModifierAlone(std::string_view modifier);
/// Detail: a "(" with no ")", or a ")" with no "(", at character `at`.
std::string KeyParenthesisUnmatched(std::string_view which, std::size_t at);
/// Detail: a repeat count in braces that is no number from 0 to `max`.
std::string KeyRepeatInvalid(std::string_view count, int max);
/// Detail: bytes that are no UTF-8 text.
inline constexpr const char* kKeyTextNotUtf8 = "文字ｺｰﾄﾞが正しくありません。";

}  // namespace chwr::msg
