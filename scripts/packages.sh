# The Debian packages each job needs; sourced by run.sh and test.sh.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libicu-dev libcli11-dev)
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev)
