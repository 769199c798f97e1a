#include "transfer/transfer_settings.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shared/box_text.h"
#include "shared/paste_guard.h"
#include "shared/prompts.h"

namespace chwr::gui {

TransferSettings::TransferSettings(Prompts& prompts, const TransferPaths& paths, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setObjectName("Form8");
  setWindowTitle("N003,N004自動実行設定");
  auto* grid = new QGridLayout(this);
  auto row = [&](int at, const char* labelName, const char* caption, const char* boxName,
                 const std::string& path, const char* buttonName, const char* button) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(labelName);
    auto* box = new QLineEdit(Q(path), this);
    box->setObjectName(boxName);
    box->setMinimumWidth(360);
    InstallPasteGuard(box);
    label->setBuddy(box);
    auto* browse = new QPushButton(button, this);
    browse->setObjectName(buttonName);
    browse->setAutoDefault(false);
    grid->addWidget(label, at, 0, 1, 2);
    grid->addWidget(box, at + 1, 0);
    grid->addWidget(browse, at + 1, 1);
    return std::pair{box, browse};
  };
  auto [app, appButton] =
      row(0, "Label1", "起動EXE指定", "txtAPPNAME", paths.exe, "cmdAPPNAME", "参照(&E)");
  auto [mdd, mddButton] =
      row(2, "Label2", "MDDﾌｧｲﾙ指定", "txtMDDNAME", paths.file, "cmdMDDNAME", "参照(&M)");
  txtAPPNAME_ = app;
  txtMDDNAME_ = mdd;
  auto* close = new QPushButton("閉じる", this);
  close->setObjectName("Command2");
  grid->addWidget(close, 4, 1);
  connect(appButton, &QPushButton::clicked, this,
          [this] { Browse(txtAPPNAME_, "Exe File(*.exe)", "*.exe"); });
  connect(mddButton, &QPushButton::clicked, this,
          [this] { Browse(txtMDDNAME_, "Mdd File(*.mdd)", "*.mdd"); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

TransferPaths TransferSettings::paths() const {
  return {S(txtAPPNAME_->text()), S(txtMDDNAME_->text())};
}

// The dialog starts where the box's file is; its "All Files" shows programs without an
// extension, as Linux programs are.
void TransferSettings::Browse(QLineEdit* box, const QString& description, const QString& pattern) {
  const QString folder = box->text().isEmpty() ? QString() : QFileInfo(box->text()).path();
  const QString chosen = prompts_.OpenFile(this, {description, pattern, {}, {}, folder});
  if (!chosen.isEmpty()) box->setText(chosen);
}

}  // namespace chwr::gui
