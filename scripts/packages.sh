# The Debian packages each job needs; sourced by run.sh and test.sh.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libicu-dev libcli11-dev libfluidsynth-dev libasound2-dev timgm6mb-soundfont
                qt6-base-dev qt6-translations-l10n fonts-ipafont-gothic libx11-dev libxtst-dev)
# xvfb serves the transfer's keystroke tests and, with xdotool, scripts/monkey.sh;
# clang-19 and its runtime build the fuzz targets (scripts/fuzz.sh); desktop-file-utils
# checks the installed desktop entry (tests/install).
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev midicsv xvfb xdotool libx11-dev desktop-file-utils
               clang-19 libclang-rt-19-dev)
