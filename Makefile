# Kelvane: `make run` converts the bundled examples, `make test` runs every test.
BUILD    ?= build
JOBS     ?= 2
BENCH_BUILD ?= build-bench
CMAKE_ARGS ?=

.PHONY: all deps configure build run test test-asan bench clean fuzz

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-examples.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@# The Debian package is installed into this machine's /usr and removed
	@# again: only as root, as CI runs.
	@if [ "$$(id -u)" -eq 0 ]; then \
	  BUILD=$(BUILD) scripts/check-package.sh >$(BUILD)/check-package.log 2>&1 || \
	  { cat $(BUILD)/check-package.log; exit 1; }; tail -1 $(BUILD)/check-package.log; \
	else echo "check-package: skipped (needs root)"; fi
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory test-windows

# Second pass: every test again, built with AddressSanitizer and UBSan; any
# report fails the test that made it. The window program is left out.
ASAN_BUILD ?= build-asan

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DKELVANE_SANITIZE=ON -DKELVANE_GUI=OFF $(CMAKE_ARGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The core's tests with ThreadSanitizer, records always made on the worker
# thread (not part of `make test`: a build of its own, for work on threads).
TSAN_BUILD ?= build-tsan
.PHONY: test-tsan
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DKELVANE_GUI=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=thread -O1 -g" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target kelvane_tests kelvane_fault_tests kelvane-convert
	@cd $(TSAN_BUILD) && KELVANE_RECORDS_AHEAD=always TSAN_OPTIONS=halt_on_error=1 bin/kelvane_tests
	@cd $(TSAN_BUILD) && KELVANE_RECORDS_AHEAD=always TSAN_OPTIONS=halt_on_error=1 bin/kelvane_fault_tests

# Windows: kelvane.exe (the window), kelvane-convert.exe and the test
# programs, cross-built with MinGW-w64 and linked statically, with a Qt and
# a Leptonica built for MinGW-w64 from Debian's source packages. Those are
# built once per machine into ~/.cache/kelvane (scripts/build-qt-windows.sh:
# about half an hour on 2 cores; scripts/build-leptonica.sh: about a minute).
# The tests run under Wine, in a prefix inside the build folder, and compare
# the .exe with the Linux program of $(BUILD); the window's own check runs on
# a virtual display (Xvfb).
WIN_BUILD ?= build-windows

.PHONY: windows windows-deps test-windows
windows-deps:
	@scripts/install-deps.sh g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 googletest fontconfig xvfb xdotool xclip zip unzip nsis

windows: windows-deps
	@qt=$$(scripts/build-qt-windows.sh) && lept=$$(scripts/build-leptonica.sh mingw-w64) && \
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
	  -DCMAKE_PREFIX_PATH="$$qt;$$lept" -DQT_HOST_PATH=/usr -DKELVANE_GUI=ON -DKELVANE_PALETTE=ON \
	  -DKELVANE_LINUX_CONVERT=$(abspath $(BUILD))/bin/kelvane-convert \
	  $(CMAKE_ARGS) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)

test-windows: build windows
	@scripts/wine-prefix.sh $(WIN_BUILD)
	@cd $(WIN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Release archives in release/: the Windows .exe with its template, README
# and the notice of what is linked into it (a zip, and the setup that
# installs the same files, made with NSIS), and the Linux programs as an
# installed tree (a tar.gz); the version comes from CMakeLists.txt.
VERSION := $(shell sed -n 's/^project.Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
RELEASE_DIR ?= release

.PHONY: release
release: build windows
	@scripts/install-deps.sh zip nsis
	@scripts/make-release.sh $(BUILD) $(WIN_BUILD) $(RELEASE_DIR) $(VERSION)

# Speed and memory of the conversion against its floor, then the
# micro-benchmarks; a Release build of its own (bench/run.sh tells the knobs).
# valgrind counts the instructions per polygon (bench/instructions.py).
bench:
	@scripts/install-deps.sh valgrind
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_BENCH=ON \
	  -DKELVANE_TESTS=OFF -DKELVANE_GUI=ON -DCMAKE_CXX_FLAGS=-g >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@bench/run.sh $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(WIN_BUILD) $(TSAN_BUILD)

# Fuzzing: clang's libFuzzer with AddressSanitizer and UBSan, each target
# for FUZZ_TIME seconds in turn (see scripts/run-fuzz.sh).
FUZZ_BUILD   ?= build-fuzz
FUZZ_TIME    ?= 180
FUZZ_TARGETS ?= FuzzScanners FuzzConversionRun FuzzMetafileText FuzzMetafileBinary FuzzSameAsBefore

fuzz:
	@scripts/install-deps.sh clang libclang-rt-dev
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DKELVANE_FUZZ=ON \
	  -DKELVANE_SANITIZE=ON -DKELVANE_GUI=OFF -DKELVANE_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzz.sh $(FUZZ_BUILD)/bin $(FUZZ_TIME) $(FUZZ_TARGETS)

# The window program (needs a desktop session).
.PHONY: gui
gui: build
	@$(BUILD)/bin/kelvane

# `make install PREFIX=DIR` puts the programs, the map template, the man page,
# the desktop entry and the icon under DIR (default /usr/local; DESTDIR is
# honoured). `make package` builds the Debian package kelvane_*.deb into
# $(BUILD)/package; scripts/check-package.sh installs and removes it.
PREFIX ?= /usr/local

.PHONY: install package
install: build
	@cmake --install $(BUILD) --prefix $(abspath $(PREFIX))

package: build
	@cd $(BUILD) && cpack -G DEB
