#pragma once
// User-visible texts of the editor's messages, questions and notices, UTF-8, exactly as
// the user sees them. Captions, labels and tooltips stay beside the controls they name;
// the core's texts are in messages.h. Included by sources only.

#include <QString>
#include <QStringList>

namespace chwr::gui {

/// Asked before unsaved changes are lost.
inline constexpr const char* kDiscardQuestion = "内容が変更されています。保存しますか？";
/// Asked before a MIDI import replaces a changed song.
inline constexpr const char* kConvertQuestion = "内容が変更されていますが変換しますか？";
/// No browser took an address; the address is shown below to be copied.
inline constexpr const char* kNoBrowser =
    "ﾌﾞﾗｳｻﾞを起動できませんでした。下のｱﾄﾞﾚｽをｺﾋﾟｰしてご利用ください。";
/// Why the clipboard's text gave no song, for the detail of "ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。".
inline constexpr const char* kNotMail = "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの文字列はﾒﾛﾃﾞｨｰﾒｰﾙではありません。";
/// A playback setting changed while playing.
inline constexpr const char* kFromNextPlay = "次の再生から有効になります。";

/// The transfer's data-link program is not where its settings say.
inline constexpr const char* kExePathWrong = "起動EXE指定が間違っている可能性があります。";
/// The transfer's phone-book file is not where its settings say.
inline constexpr const char* kMddPathWrong = "MDDﾌｧｲﾙ指定が間違っている可能性があります。";
/// The status bar while the transfer drives the data-link program.
inline constexpr const char* kTransferRunning =
    "ﾃﾞｰﾀﾘﾝｸｿﾌﾄを操作しています。Escｷｰで中止します。";
/// The data-link program shows no "ﾒﾓﾘﾀﾞｲﾔﾙ" window to type into; nothing was typed.
inline constexpr const char* kLinkWindowMissing =
    "ﾃﾞｰﾀﾘﾝｸｿﾌﾄの「ﾒﾓﾘﾀﾞｲﾔﾙ」画面が見つかりません。ｷｰ操作は送っていません。";
/// The "ﾒﾓﾘﾀﾞｲﾔﾙ" window would not take the keyboard focus; nothing was typed.
inline constexpr const char* kLinkNotFocused =
    "ﾃﾞｰﾀﾘﾝｸｿﾌﾄの「ﾒﾓﾘﾀﾞｲﾔﾙ」画面にﾌｫｰｶｽを移せません。ｷｰ操作は送っていません。";

/// The command line named more than one file; `first` is opened.
inline QString OnlyOneFile(const QString& first) {
  return QString("開けるﾌｧｲﾙは1つだけです。最初のﾌｧｲﾙ(%1)を開きます。").arg(first);
}

/// A copied tone definition had `count` values out of range, `named` in order.
inline QString CopiedValuesOutOfRange(qsizetype count, const QStringList& named) {
  return QString("ｺﾋﾟｰした音色定義に範囲外の値が%1個あります: %2。")
      .arg(count)
      .arg(named.join("、"));
}

}  // namespace chwr::gui
