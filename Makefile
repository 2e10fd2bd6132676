# Tessel: the two commands a user needs are `make run` and `make test`.
# Both install what is missing, configure, build and go.

BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD?= build-bench
RELEASE_BUILD ?= build-release
PACKAGE_BUILD ?= build-package
CLANG_BUILD?= build-clang
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# Warnings are errors in `make test` (our CI) only; a user's build shows them.
WERROR     ?= OFF

.PHONY: run test check asan release clang bench fuzz deps build-deps configure build clean format format-check package

# Everything: the build, the program's run-time needs and the test desktop.
deps:
	@./scripts/install-deps.sh --all

# Only what compiling and packaging need.
build-deps:
	@./scripts/install-deps.sh --build

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_WERROR=$(WERROR) $(CMAKE_ARGS) >/dev/null

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
# once more under AddressSanitizer and UndefinedBehaviorSanitizer; the
# optimised Release build users and packagers make (built, so a warning only
# -O3 shows fails here); and the whole tree built with clang, whose unit
# tests run, so a fault only one compiler finds fails here too.
test: WERROR = ON
test: format-check check asan release clang

check: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSEL_SANITIZE=ON -DTESSEL_WERROR=$(WERROR) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) -L 'unit|widget'

release: deps
	@cmake -S . -B $(RELEASE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_WERROR=$(WERROR) >/dev/null
	@cmake --build $(RELEASE_BUILD) -j $(JOBS)

clang: deps
	@cmake -S . -B $(CLANG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
	  -DTESSEL_WERROR=$(WERROR) >/dev/null
	@cmake --build $(CLANG_BUILD) -j $(JOBS)
	@cd $(CLANG_BUILD) && ctest --output-on-failure -j $(JOBS) -L unit

# Every benchmark: the Google Benchmark programs, then the whole-program
# comparisons with the standard tools.  An optimised build that only warns.
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSEL_BENCH=ON -DTESSEL_WERROR=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@set -e; for b in $(BENCH_BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done
	@set -e; for s in bench/*.sh; do echo "== $$s"; "$$s"; done

# libFuzzer targets for every reader of outside input (clang); FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
fuzz: deps
	@./fuzz/run.sh $(FUZZ_SECONDS)

# The Debian package, tessel_<version>_amd64.deb, in $(PACKAGE_BUILD): a build
# folder of its own with only what the package holds (no tests, no tools).
package: build-deps
	@cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSEL_TESTS=OFF \
	  -DTESSEL_WERROR=$(WERROR) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(RELEASE_BUILD) $(CLANG_BUILD) $(PACKAGE_BUILD)

# The house style (.clang-format); CI fails on any file that differs from it.
FORMAT_FILES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)
format-check: deps
	@clang-format --dry-run -Werror $(FORMAT_FILES)

format: deps
	@clang-format -i $(FORMAT_FILES)
