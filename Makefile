BUILD ?= build
SAMPLES ?= examples/sample-server.json examples/linux-server.json
CMAKE_FLAGS ?=

.PHONY: all deps configure build demo check format clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD)

# Analyses the bundled samples: between them they show every kind of line
# the plug-in writes. Findings (exit 1) are the point of the demo.
demo: build
	@for sample in $(SAMPLES); do \
	  echo "== zarn analyze $$sample"; \
	  $(BUILD)/bin/zarn analyze $$sample; status=$$?; \
	  [ $$status -eq 0 ] || [ $$status -eq 1 ] || [ $$status -eq 6 ] || exit $$status; \
	done

check: build
	@cd $(BUILD) && ctest --output-on-failure -j2

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD)
