# The Debian packages each job needs; sourced by run.sh and test.sh.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libicu-dev libcli11-dev libfluidsynth-dev libasound2-dev timgm6mb-soundfont
                qt6-base-dev fonts-ipafont-gothic)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev midicsv clang-19 libclang-rt-19-dev)
