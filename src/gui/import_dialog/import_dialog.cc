#include "import_dialog/import_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

#include "convert/open_song.h"
#include "io/file_io.h"
#include "main_window/feedback.h"
#include "main_window/file_commands.h"
#include "main_window/playback_controller.h"
#include "main_window/song_form.h"
#include "shared/box_text.h"
#include "shared/drop_guard.h"
#include "shared/gui_messages.h"
#include "shared/number_box.h"
#include "shared/paste_guard.h"
#include "shared/prompts.h"

namespace chwr::gui {
namespace {

constexpr const char* kPlay = "再生";
constexpr const char* kStop = "停止";
// Offset from the main window's top-left corner, so the song's header stays in sight.
constexpr QPoint kPlacement{3, 62};
// The longest number of measures the text box takes (four digits).
constexpr double kMaxMeasures = 9999;

// The note's name and octave, middle C (60) being "C4" as in the parts' "O4C".
QString NoteName(int note) {
  static const char* const kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                       "F#", "G",  "G#", "A",  "A#", "B"};
  return QString("%1%2").arg(kNames[note % 12]).arg(note / 12 - 1);
}

// A number the user typed, when the text is one (blanks around it allowed).
std::optional<double> TypedNumber(const QString& text) {
  bool ok = false;
  const double value = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return value;
}

QLineEdit* NumberBox(const char* name, const char* text, const char* tip, QWidget* parent) {
  auto* box = new QLineEdit(text, parent);
  box->setObjectName(name);
  box->setToolTip(tip);
  InstallPasteGuard(box);
  GuardDrops(box, false);
  ShowTypedNumberPlain(box);
  return box;
}

QLabel* Label(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

QString ImportSourceTip(const ImportSource& source, bool channels) {
  if (!source.present) return channels ? "このﾁｬﾝﾈﾙにはｲﾍﾞﾝﾄがありません" : "このﾄﾗｯｸはありません";
  QStringList lines;
  if (!source.name.empty()) lines << "名前：" + Q(source.name);
  QStringList numbers;
  for (int channel : source.channels) numbers << QString::number(channel);
  lines << "ﾁｬﾝﾈﾙ：" + (numbers.isEmpty() ? QString("なし") : numbers.join(", "));
  if (source.noteCount <= 0 || source.lowestNote < 0 || source.highestNote < 0) {
    lines << "音符：なし";
  } else {
    lines << QString("音符：%1 (%2～%3)")
                 .arg(source.noteCount)
                 .arg(NoteName(source.lowestNote), NoteName(source.highestNote));
  }
  return lines.join('\n');
}

ImportDialog::ImportDialog(ImportDialogLinks links, QString path, const SmfFacts& facts,
                           std::span<const std::uint8_t> bytes, QWidget* mainWindow,
                           std::optional<ImportMld> mld)
    : QDialog(mainWindow),
      links_(std::move(links)),
      path_(std::move(path)),
      facts_(facts),
      mld_(std::move(mld)) {
  setObjectName("Form3");
  // The caption names the file: the main window's still names the song, which stays
  // until a conversion replaces it.
  setWindowTitle(QFileInfo(path_).fileName() +
                 (mld_ ? " - MLDﾌｧｲﾙ取り込み" : " - MIDIﾌｧｲﾙ取り込み"));
  setModal(false);
  BuildControls();
  LoadOptions();
  if (mld_) {
    FillVoices(bytes);
  } else {
    FillList(bytes);
  }
  if (mainWindow) move(mainWindow->pos() + kPlacement);
  // The song's file must not change under the dialog; it changes the song itself.
  for (QAction* action : links_.blocked) action->setEnabled(false);
  connect(links_.form, &SongForm::edited, this, [this] { songReleased_ = false; });
}

ImportDialog::~ImportDialog() = default;

void ImportDialog::BuildControls() {
  lstCH_ = new QListWidget(this);
  lstCH_->setObjectName("lstCH");
  lstCH_->setSelectionMode(QAbstractItemView::MultiSelection);
  // As wide as its items: the room goes to the numbers and options.
  lstCH_->setMaximumWidth(lstCH_->fontMetrics().horizontalAdvance("ﾁｬﾝﾈﾙ16") + 48);

  // An MLD file is told by its own facts (its version and first timebase), not by those
  // of the MIDI file it is converted through.
  QString format = QString::number(facts_.format);
  int division = facts_.division;
  if (mld_) {
    const std::string& version = mld_->music.info.version;
    format = version.empty() ? QString("-") : QString::fromStdString(version);
    division = mld_->music.tempos.front().ticksPerQuarter;
  }
  format_ = Label("Label8", format, this);
  division_ = Label("Label3", QString("分解能：%1").arg(division), this);
  txtSEEK_ = NumberBox("txtSEEK", "0", "小節単位に指定する", this);
  txtMAX_ = NumberBox("txtMAX", "32", "小節単位に指定", this);
  txtTRANCE_ = NumberBox("txtTRANCE", "0", "+,-で指定", this);

  auto* fields = new QGridLayout;
  auto* formatRow = new QHBoxLayout;
  formatRow->addWidget(Label("Label7", mld_ ? "MLD vers：" : "SMF Format：", this));
  formatRow->addWidget(format_);
  formatRow->addStretch();
  fields->addLayout(formatRow, 0, 0, 1, 3);
  fields->addWidget(division_, 1, 0, 1, 3);
  fields->addWidget(Label("Label2", "変換開始位置", this), 2, 0);
  fields->addWidget(txtSEEK_, 2, 1);
  fields->addWidget(Label("Label4", "小節辺りから", this), 2, 2);
  fields->addWidget(Label("Label1", "変換範囲", this), 3, 0);
  fields->addWidget(txtMAX_, 3, 1);
  fields->addWidget(Label("Label5", "小節辺りまで", this), 3, 2);
  fields->addWidget(Label("Label6", "ﾄﾗﾝｽﾎﾟｰｽﾞ", this), 4, 0);
  fields->addWidget(txtTRANCE_, 4, 1);

  auto* frame2 = new QGroupBox("取り込み設定", this);
  frame2->setObjectName("Frame2");
  auto check = [frame2](const char* name, const char* caption, const char* tip) {
    auto* box = new QCheckBox(caption, frame2);
    box->setObjectName(name);
    box->setToolTip(tip);
    return box;
  };
  chkDELTA_ = check("chkDELTA", "絶対音長", "絶対音長のみで取り込むか指定（推奨）");
  chkOCT_ = check("chkOCT", "ｵｸﾀｰﾌﾞ", "MIDIﾌｧｲﾙからｵｸﾀｰﾌﾞを取り込むか指定");
  chkTONE_ = check("chkTONE", "音色", "MIDIﾌｧｲﾙから音色を取り込むか指定");
  chkVOL_ = check("chkVOL", "ﾎﾞﾘｭｰﾑ", "MIDIﾌｧｲﾙからﾎﾞﾘｭｰﾑを取り込むか指定");
  chkLOOP_ = new QCheckBox("ﾙｰﾌﾟ再生", this);
  chkLOOP_->setObjectName("chkLOOP");
  chkLOOP_->setToolTip("試聴を止めるまで繰り返す (ﾙｰﾌﾟﾎﾟｲﾝﾄがあればその間を)");
  auto* options = new QGridLayout(frame2);
  options->addWidget(chkDELTA_, 0, 0);
  options->addWidget(chkOCT_, 0, 1);
  options->addWidget(chkTONE_, 0, 2);
  options->addWidget(chkVOL_, 1, 0);
  // The control array optVOL(1..3): the button's id is its index, the volume source.
  optVOL_ = new QButtonGroup(this);
  const char* sources[] = {"ﾎﾞﾘｭｰﾑ", "ｴｸｽﾌﾟﾚｯｼｮﾝ", "ﾍﾞﾛｼﾃｨｰ"};
  for (int i = 1; i <= 3; ++i) {
    auto* button = new QRadioButton(sources[i - 1], frame2);
    button->setObjectName(QString("optVOL_%1").arg(i));
    button->setEnabled(false);
    optVOL_->addButton(button, i);
    options->addWidget(button, 2, i - 1);
  }
  connect(chkVOL_, &QCheckBox::toggled, this, &ImportDialog::VolumeToggled);

  auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  convert_ = button("Command1", "MML変換");
  close_ = button("Command2", "閉じる");
  preview_ = button("Command3", kPlay);
  saveMidi_ = button("cmdSAVEMID", "MIDI保存...");
  saveMidi_->setToolTip("着信ﾒﾛﾃﾞｨをそのままMIDIﾌｧｲﾙに保存");
  saveMidi_->setVisible(mld_.has_value());
  connect(convert_, &QPushButton::clicked, this, &ImportDialog::Convert);
  connect(close_, &QPushButton::clicked, this, &QDialog::close);
  connect(preview_, &QPushButton::clicked, this, &ImportDialog::TogglePreview);
  connect(saveMidi_, &QPushButton::clicked, this, &ImportDialog::SaveMidi);

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(250);
  connect(timer1_, &QTimer::timeout, this, &ImportDialog::PreviewTick);

  auto* right = new QVBoxLayout;
  right->addLayout(fields);
  right->addWidget(frame2);
  right->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(lstCH_);
  top->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(preview_);
  buttons->addWidget(chkLOOP_);
  buttons->addStretch();
  buttons->addWidget(saveMidi_);
  buttons->addWidget(convert_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);

  // Tab follows the eye: the list, the numbers, the options, then the buttons.
  const QList<QWidget*> order = {
      lstCH_,  txtSEEK_,           txtMAX_,  txtTRANCE_, chkDELTA_, chkOCT_,  chkTONE_,
      chkVOL_, optVOL_->button(1), preview_, chkLOOP_,   saveMidi_, convert_, close_};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// Tracks of a format 1 file (the first chunk, the tempo track, is not offered) or the
// channels of a format 0 file. Other formats hold tracks that are songs of their own:
// there is nothing to choose and nothing to convert.
void ImportDialog::FillList(std::span<const std::uint8_t> bytes) {
  if (facts_.format > 1) {
    convert_->setEnabled(false);
    return;
  }
  const bool channels = facts_.format == 0;
  const std::array<ImportSource, 16> sources = DescribeImportSources(bytes, facts_);
  for (int i = 0; i < 16; ++i) {
    auto* item =
        new QListWidgetItem(QString("%1%2").arg(channels ? "ﾁｬﾝﾈﾙ" : "ﾄﾗｯｸ").arg(i + 1, 2), lstCH_);
    item->setToolTip(ImportSourceTip(sources[i], channels));
  }
  lstCH_->setCurrentRow(0);
  lstCH_->item(0)->setSelected(true);
}

// A ring tone's voices, by the channel each sounds on. Those a song would take when it
// fits one are picked to start with: the first four that strike notes.
void ImportDialog::FillVoices(std::span<const std::uint8_t> bytes) {
  const std::array<ImportSource, 16> sources = DescribeImportSources(bytes, facts_);
  const MldMidi& midi = mld_->songMidi;
  int picked = 0;
  for (std::size_t i = 0; i < midi.trackChannels.size() && i < sources.size(); ++i) {
    auto* item = new QListWidgetItem(QString("ﾁｬﾝﾈﾙ%1").arg(midi.trackChannels[i] + 1, 2), lstCH_);
    item->setToolTip(ImportSourceTip(sources[i], false));
    if (midi.trackNotes[i] > 0 && picked < 4) {
      item->setSelected(true);
      ++picked;
    }
  }
  if (lstCH_->count() > 0) lstCH_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  // The whole tone, each part in the octave it plays: the keys the file names.
  txtMAX_->setText(QString::number(kMaxMeasures));
  chkOCT_->setChecked(true);
}

void ImportDialog::LoadOptions() {
  const ImportOptions& o = links_.options;
  chkTONE_->setChecked(o.takeTone != 0);
  chkOCT_->setChecked(o.takeOctave != 0);
  // A stored choice that names no button is no volume import.
  const bool volume = o.volumeSource >= 1 && o.volumeSource <= 3;
  chkVOL_->setChecked(volume);
  if (volume) optVOL_->button(o.volumeSource)->setChecked(true);
  txtMAX_->setText(QString::number(o.measures));
  chkLOOP_->setChecked(o.loop != 0);
}

// A number of measures that is none (or none the box takes) leaves the one stored
// before, so the next dialog offers a range that works.
ImportOptions ImportDialog::Options() const {
  ImportOptions o = links_.options;
  o.takeTone = chkTONE_->isChecked() ? 1 : 0;
  o.volumeSource = chkVOL_->isChecked() ? std::max(0, optVOL_->checkedId()) : 0;
  o.loop = chkLOOP_->isChecked() ? 1 : 0;
  // A ring tone's range and octave are its own; the next MIDI file keeps the stored ones.
  if (mld_) return o;
  o.takeOctave = chkOCT_->isChecked() ? 1 : 0;
  if (auto measures = TypedNumber(txtMAX_->text());
      measures && *measures >= 0 && *measures <= kMaxMeasures) {
    o.measures = static_cast<int>(std::lround(*measures));
  }
  return o;
}

void ImportDialog::VolumeToggled(bool on) {
  if (on) {
    optVOL_->button(1)->setChecked(true);
  } else {
    // An exclusive group keeps one button checked; none is to be.
    optVOL_->setExclusive(false);
    for (QAbstractButton* b : optVOL_->buttons()) b->setChecked(false);
    optVOL_->setExclusive(true);
  }
  for (QAbstractButton* b : optVOL_->buttons()) b->setEnabled(on);
}

ImportChoices ImportDialog::Choices() const {
  ImportChoices c;
  for (int i = 0; i < lstCH_->count() && i < 16; ++i) c.selected[i] = lstCH_->item(i)->isSelected();
  c.seek = S(txtSEEK_->text());
  c.measures = S(txtMAX_->text());
  c.transpose = S(txtTRANCE_->text());
  c.absolute = chkDELTA_->isChecked();
  c.octave = chkOCT_->isChecked();
  c.tone = chkTONE_->isChecked();
  c.volume = chkVOL_->isChecked() && optVOL_->checkedId() >= 1
                 ? static_cast<ImportVolume>(optVOL_->checkedId())
                 : ImportVolume::kNone;
  return c;
}

void ImportDialog::Focus(ImportField field) {
  QWidget* control = lstCH_;
  if (field == ImportField::kSeek) control = txtSEEK_;
  if (field == ImportField::kMeasures) control = txtMAX_;
  if (field == ImportField::kTranspose) control = txtTRANCE_;
  control->setFocus();
  if (auto* box = qobject_cast<QLineEdit*>(control)) box->selectAll();
}

void ImportDialog::Show(const Diagnostic& d) {
  links_.prompts->Message(this, Q(d.message), d.kind, Q(d.detail));
}

// The input is checked before anything is asked or changed: refused input changes
// nothing, not even the song's resolution.
void ImportDialog::Convert() {
  const ImportChoices choices = Choices();
  if (auto refused = CheckImportInput(choices)) {
    Show(refused->error);
    Focus(refused->field);
    return;
  }
  if (links_.form->modified() && !songReleased_ &&
      !links_.prompts->AskOkCancel(this, kConvertQuestion)) {
    return;
  }
  const Result<ImportedSong> imported = [&] {
    WaitCursor wait;
    return Import(choices);
  }();
  if (!imported) {
    Show(imported.error());
    return;
  }
  if (!imported->converted) return;

  SongDocument song = links_.form->currentSong();
  ApplyImportedSong(*imported, song);
  links_.files->ShowImported(song, path_);
  // What replaces the converted song is asked about: nothing of it is saved yet.
  songReleased_ = false;
  if (imported->error) Show(*imported->error);
  for (const Diagnostic& warning : imported->warnings) Show(warning);
}

// Each conversion reads a MIDI file as it is now. A ring tone converts as it was read:
// the list names its voices as they were then.
Result<ImportedSong> ImportDialog::Import(const ImportChoices& choices) const {
  if (mld_) {
    auto imported = ImportSmf(mld_->songMidi.bytes, facts_, choices);
    if (imported && imported->converted) {
      Diagnostics warnings = MldChoiceWarnings(mld_->music, mld_->songMidi, choices.selected);
      warnings.insert(warnings.end(), imported->warnings.begin(), imported->warnings.end());
      imported->warnings = std::move(warnings);
    }
    return imported;
  }
  auto bytes = ReadFileBytes(S(path_));
  if (!bytes) return std::unexpected(bytes.error());
  return ImportSmf(*bytes, facts_, choices);
}

// The start measure in the player's milliseconds, at the file's first tempo.
void ImportDialog::TogglePreview() {
  if (preview_->text() != kPlay) {
    EndPreview();
    return;
  }
  double measures = TypedNumber(txtSEEK_->text()).value_or(0);
  measures = std::clamp(measures, 0.0, kMaxMeasures * 1000);
  const auto ms = std::llround(measures * 4 * facts_.quarterSeconds * 1000);
  PreviewLoop loop{chkLOOP_->isChecked(), {}};
  bool started = false;
  if (mld_) {
    // Every voice as the handset sounds it, keys and all; a loop between its loop points.
    if (auto span = MldLoopMs(mld_->music)) loop.span = std::pair{span->startMs, span->endMs};
    started =
        links_.playback->PlayPreviewImage(MldToSmf(mld_->music, kMldMelodicBase).bytes, ms, loop);
  } else {
    started = links_.playback->PlayPreview(S(path_), ms, loop);
  }
  if (!started) return;
  preview_->setText(kStop);
  timer1_->start();
}

void ImportDialog::PreviewTick() {
  if (!links_.playback->PreviewPlaying()) EndPreview();
}

void ImportDialog::EndPreview() {
  timer1_->stop();
  links_.playback->StopPreview();
  preview_->setText(kPlay);
}

// The same bytes as `chwr convert` writes for the file.
void ImportDialog::SaveMidi() {
  if (!mld_) return;
  const QString path = links_.files->AskSaveFile(
      {"Midi File(*.mid)", "*.mid", DefaultNames::Beside(path_).midi, ".mid", {}});
  if (path.isEmpty()) return;
  auto written = [&] {
    WaitCursor wait;
    return WriteFileAtomic(S(path), MldToSmf(mld_->music, kMldMelodicBase).bytes);
  }();
  if (!written) Show(written.error());
}

void ImportDialog::done(int result) {
  if (!closing_) {
    closing_ = true;
    EndPreview();
    for (QAction* action : links_.blocked) action->setEnabled(true);
    emit closed(Options());
  }
  QDialog::done(result);
}

}  // namespace chwr::gui
