# Thin wrapper over CMake. `make run` and `make test` set up everything they need.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
EXAMPLE ?= examples/ab.srs
GUI_DIR ?= examples

.PHONY: deps build run gui test test-release test-asan fuzz bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The main job: prove the bundled example.
run: build
	./$(BUILD)/velkin $(EXAMPLE)

# The window, started in $(GUI_DIR) so that its file list shows the examples.
gui: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target velkin-gui
	cd $(GUI_DIR) && $(abspath $(BUILD))/src/ui/velkin-gui

# Every test: the optimised build, then the same suite under ASan and UBSan.
test: test-release test-asan

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELKIN_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  VELKIN_SANITIZED=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

# Micro-benchmarks (Google Benchmark), in the optimised build.
bench: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKIN_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target velkin_bench
	./$(BUILD)/bench/velkin_bench
