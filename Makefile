# Thin wrapper over CMake. `make run` and `make test` set up everything they need.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 120
JOBS ?= $(shell nproc)
EXAMPLE ?= examples/ab.srs
GUI_DIR ?= examples
PREFIX ?= /usr/local

.PHONY: deps deps-ceta deps-browser build run gui install package test test-release test-asan test-tsan fuzz bench bench-corpus identity clean

deps:
	@bash scripts/install-deps.sh

# GHC for the certifier that the certificate tests build; where it cannot be installed
# those tests are reported as skipped.
deps-ceta:
	@bash scripts/install-deps.sh ceta || echo "GHC could not be installed: the certificate tests will be skipped"

# Chromium, its driver and Selenium for the web page's browser test; where they cannot be
# installed that test is reported as skipped.
deps-browser:
	@bash scripts/install-deps.sh browser || echo "Chromium could not be installed: the browser test will be skipped"

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

# Installs velkin, velkin-gui, the manual page and the competition script under PREFIX
# (DESTDIR is honoured, as usual).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, build/velkin_VERSION_ARCH.deb.
package: build
	cd $(BUILD) && cpack -G DEB

# Every test: the optimised build, the same suite under ASan and UBSan, and the threaded
# command-line tests (batch mode) under ThreadSanitizer.
test: test-release test-asan test-tsan

test-release: build deps-ceta deps-browser
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps deps-ceta deps-browser
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELKIN_SANITIZE=ON \
	  -DVELKIN_CETA_DIR=$(abspath $(BUILD))/ceta >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  VELKIN_SANITIZED=1 ctest --output-on-failure -j $(JOBS)

# Only the command-line tests (they run the batch's threads through the built velkin) and
# the strategy's scheduler tests run under ThreadSanitizer: the whole suite a third time
# would cost CI too much.
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKIN_SANITIZE_THREAD=ON \
	  -DVELKIN_GUI=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target velkin_cli_tests velkin_strong_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j $(JOBS) -L cli
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ./tests/velkin_strong_tests --gtest_filter='StrongScheduler.*:StrongStrategy.*'

# The libFuzzer harnesses under ASan and UBSan, FUZZ_SECONDS each. New inputs collect in
# fuzz-artifacts/corpus-*, crashes in fuzz-artifacts/ (copy them to tests/fuzz-regressions/).
fuzz:
	@bash scripts/install-deps.sh fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DVELKIN_FUZZ=ON -DVELKIN_TESTS=OFF -DVELKIN_GUI=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_readers fuzz_run
	@mkdir -p fuzz-artifacts/corpus-readers fuzz-artifacts/corpus-run
	./$(FUZZ_BUILD)/fuzz/fuzz_readers -max_total_time=$(FUZZ_SECONDS) -max_len=8192 -dict=fuzz/velkin.dict \
	  -artifact_prefix=fuzz-artifacts/readers- fuzz-artifacts/corpus-readers fuzz/seeds
	./$(FUZZ_BUILD)/fuzz/fuzz_run -max_total_time=$(FUZZ_SECONDS) -max_len=2048 -timeout=20 -dict=fuzz/velkin.dict \
	  -rss_limit_mb=4096 -artifact_prefix=fuzz-artifacts/run- fuzz-artifacts/corpus-run fuzz/seeds

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

# Micro-benchmarks (Google Benchmark), in the optimised build.
bench: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKIN_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target velkin_bench
	./$(BUILD)/bench/velkin_bench

# The classic road on a fixed corpus sample: callgrind instructions and milliseconds per
# problem, with ratios against an older build when BASE names its velkin binary.
BASE ?=
bench-corpus: build
	bash scripts/bench-corpus.sh $(BUILD)/velkin $(BASE)

# Byte-for-byte comparison of the output of BASE and this build on the whole corpus.
identity: build
	@test -n "$(BASE)" || { echo "usage: make identity BASE=path/to/old/velkin"; exit 2; }
	bash scripts/classic-identity.sh $(BASE) $(BUILD)/velkin
