# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds (Release) and starts Pellorin
#   make test  installs what is missing, builds and runs every test
#   make sanitize  the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#   make package   the Debian package (pellorin_VERSION_ARCH.deb in build/); package-check also checks it
BUILD_DIR ?= build
TEST_BUILD_DIR ?= build-test
SANITIZE_BUILD_DIR ?= build-sanitize
JOBS ?= $(shell nproc)
CMAKE_EXTRA ?=

.PHONY: deps build run test sanitize bench package package-check clean

deps:
	bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELLORIN_BUILD_TESTS=OFF $(CMAKE_EXTRA)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	bash scripts/start-pellorin $(BUILD_DIR)/app/main/Pellorin $(ARGS)

test: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_EXTRA)
	cmake --build $(TEST_BUILD_DIR) -j $(JOBS)
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Any report fails its test. Leak checking is off: Qt, fontconfig and the per-thread connections that keep
# the write-ahead log open live until exit on purpose.
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DPELLORIN_BUILD_BENCH=OFF \
		-DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)" $(CMAKE_EXTRA)
	cmake --build $(SANITIZE_BUILD_DIR) -j $(JOBS)
	cd $(SANITIZE_BUILD_DIR) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELLORIN_BUILD_TESTS=OFF $(CMAKE_EXTRA)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	bash scripts/run-benchmarks $(BUILD_DIR)

# Installed under /usr with apt install ./build/pellorin_*.deb.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# The package's list of contents, its desktop entry and AppStream file with their validators, its
# manual pages and its programs' --version.
package-check: package
	bash scripts/check-package $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(SANITIZE_BUILD_DIR)
