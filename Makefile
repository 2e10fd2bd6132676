# Tessel: the two commands a user needs are `make run` and `make test`.
# Both install what is missing, configure, build and go.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: run test check asan bench fuzz deps configure build clean format format-check

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/tessel ]; then \
	  exec $(BUILD)/bin/tessel; \
	else \
	  $(BUILD)/bin/tessel-cli --help; \
	  echo; echo "The window program is not built yet; tessel-cli above does the conversions from a terminal."; \
	fi

# Every test: unit, widget and system tests, then the unit and widget tests
# once more under AddressSanitizer and UndefinedBehaviorSanitizer.
test: format-check check asan

check: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) -L 'unit|widget'

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# libFuzzer targets for every reader of outside input (clang); FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz: deps
	@./fuzz/run.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)

# The house style (.clang-format); CI fails on any file that differs from it.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)
format-check: deps
	@clang-format --dry-run -Werror $(FORMAT_FILES)

format: deps
	@clang-format -i $(FORMAT_FILES)
