#pragma once
// The GUI test programs each run the tests of several rooms of the editor: every test
// file registers its test class with CHWR_GUI_TEST, and the one main runs them in turn.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace chwr::gui {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

/// The test classes of this program, in the order they registered.
inline std::vector<TestFactory>& RegisteredTests() {
  static std::vector<TestFactory> tests;
  return tests;
}

inline bool RegisterTest(TestFactory make) {
  RegisteredTests().push_back(std::move(make));
  return true;
}

}  // namespace chwr::gui

#define CHWR_GUI_TEST(Class)                                         \
  [[maybe_unused]] static const bool registered##Class =             \
      ::chwr::gui::RegisterTest([] { return std::unique_ptr<QObject>(new Class); });
