#pragma once
// The transfer settings ("Form8"): the data-link program and the phone-book file.

#include <QDialog>

#include "settings/settings.h"

class QLineEdit;

namespace chwr::gui {

class Prompts;

/// The modal dialog "N003,N004自動実行設定".
class TransferSettings final : public QDialog {
  Q_OBJECT

 public:
  /// The dialog showing `paths`; its browse buttons ask through `prompts`.
  TransferSettings(Prompts& prompts, const TransferPaths& paths, QWidget* parent = nullptr);
  /// The two paths as the boxes hold them.
  TransferPaths paths() const;

 private:
  void Browse(QLineEdit* box, const QString& description, const QString& pattern);

  Prompts& prompts_;
  QLineEdit* txtAPPNAME_;
  QLineEdit* txtMDDNAME_;
};

}  // namespace chwr::gui
