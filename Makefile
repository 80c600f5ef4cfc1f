# Kelvane: `make run` converts the bundled examples, `make test` runs every test.
BUILD    ?= build
JOBS     ?= 2
BENCH_BUILD ?= build-bench
CMAKE_ARGS ?=

.PHONY: all deps configure build run test bench clean

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

# Speed and memory of the conversion against its floor, then the
# micro-benchmarks; a Release build of its own (bench/run.sh tells the knobs).
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_BENCH=ON \
	  -DKELVANE_TESTS=OFF -DKELVANE_GUI=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@bench/run.sh $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)

# The window program (needs a desktop session).
.PHONY: gui
gui: build
	@$(BUILD)/bin/kelvane
