# Kelvane: `make run` converts the bundled examples, `make test` runs every test.
BUILD    ?= build
JOBS     ?= 2
CMAKE_ARGS ?=

.PHONY: all deps configure build run test clean

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

clean:
	rm -rf $(BUILD)

# The window program (needs a desktop session).
.PHONY: gui
gui: build
	@$(BUILD)/bin/kelvane
