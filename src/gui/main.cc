// chimewright: the editor. An optional argument names a file to open.

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>

#include "main_window/main_window.h"
#include "playback/playback.h"

namespace {

// The help page beside the program (a portable install or the build tree), else
// where an installation puts its data, else in the source tree.
std::filesystem::path HelpPage(const std::filesystem::path& programDir) {
  std::error_code ec;
  for (const std::filesystem::path& candidate :
       {programDir / "chwr.html", std::filesystem::path(CHWR_INSTALL_DATA_DIR) / "chwr.html",
        std::filesystem::path(CHWR_SOURCE_DATA_DIR) / "chwr.html"}) {
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return programDir / "chwr.html";
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Taken before the window makes the remembered folder the current one: a relative
  // path on the command line means one in the folder the user started the program in.
  const QString startFolder = QDir::currentPath();
  QApplication::setApplicationName("chimewright");
  // No display name: Qt would append it to the caption, which names the product already.
  chwr::gui::InstallQtTranslations();

  const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
  chwr::gui::QtPrompts prompts;
  chwr::gui::WindowEnvironment env;
  env.prompts = &prompts;
  env.settings = chwr::gui::SettingsStore::Load(chwr::SettingsPath(programDir));
  env.playbackFile =
      std::filesystem::path(
          QStandardPaths::writableLocation(QStandardPaths::CacheLocation).toStdString()) /
      "dummy.mid";
  env.helpPage = HelpPage(programDir);
  const chwr::Settings& settings = env.settings.settings();
  chwr::PlaybackOptions playback;
  playback.soundFont = settings.soundFont;
  env.makePlayer = [playback] { return chwr::CreatePlayer(playback); };
  env.supportUrl = QString::fromStdString(settings.supportUrl);
  env.imodeUrl = QString::fromStdString(settings.imodeUrl);

  chwr::gui::MainWindow window(env);
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    QTimer::singleShot(0, &window,
                       [&window, args, startFolder] { window.OpenCommandLine(args, startFolder); });
  }
  return app.exec();
}
