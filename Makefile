BUILD ?= build
SAMPLE ?= examples/sample-server.json
CMAKE_FLAGS ?=

.PHONY: all deps configure build demo check format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD)

# Analyses the bundled sample; findings (exit 1) are the point of the demo.
demo: build
	@$(BUILD)/bin/zarn analyze $(SAMPLE); status=$$?; \
	  [ $$status -eq 0 ] || [ $$status -eq 1 ] || [ $$status -eq 6 ]

check: build
	@cd $(BUILD) && ctest --output-on-failure -j2

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD)
