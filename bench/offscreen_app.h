#pragma once
// The one QApplication a GUI benchmark needs, on the offscreen platform, made on first use.

#include <QApplication>

namespace chwr::bench {

inline QApplication& OffscreenApp() {
  static int argc = 1;
  static char name[] = "chimewright_bench";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

}  // namespace chwr::bench
