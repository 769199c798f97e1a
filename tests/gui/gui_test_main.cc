// Runs every test class registered in the program, as QTEST_MAIN runs one, and fails
// when any of them failed.

#include <QApplication>
#include <QtTest>

#include "gui_test.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setAttribute(Qt::AA_Use96Dpi, true);
  int failed = 0;
  for (const chwr::gui::TestFactory& make : chwr::gui::RegisteredTests()) {
    const std::unique_ptr<QObject> test = make();
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
