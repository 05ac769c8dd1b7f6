# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds (Release) and starts Pellorin
#   make test  installs what is missing, builds and runs every test
BUILD_DIR ?= build
TEST_BUILD_DIR ?= build-test
JOBS ?= $(shell nproc)
CMAKE_EXTRA ?=

.PHONY: deps build run test bench clean

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

bench: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DPELLORIN_BUILD_TESTS=OFF $(CMAKE_EXTRA)
	cmake --build $(BUILD_DIR) -j $(JOBS)
	bash scripts/run-benchmarks $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR)
