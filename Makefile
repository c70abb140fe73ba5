BUILD ?= build
BENCH_BUILD ?= build-bench
BENCH_RUNS ?= 3
SAMPLES ?= examples/sample-server.json examples/linux-server.json
CMAKE_FLAGS ?=

.PHONY: all deps configure build demo check bench format clean

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

# Times zarn against jq, Python and a simdjson parse on generated inventories
# (kept in the Release build's folder, never in the tree).
bench:
	@scripts/install-deps jq libsimdjson-dev python3
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DZARN_BUILD_TESTS=OFF -DZARN_BUILD_BENCH=ON > /dev/null
	@cmake --build $(BENCH_BUILD)
	@python3 bench/run-bench.py --build $(BENCH_BUILD) --runs $(BENCH_RUNS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(BENCH_BUILD)
