BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
COVERAGE_BUILD ?= build-coverage
WINDOWS_BUILD ?= build-windows
PACKAGE_BUILD ?= build-package
BENCH_BUILD ?= build-bench
BENCH_RUNS ?= 3
BENCH_BASELINE ?=
FLEET_INVENTORIES ?= 2000
SAMPLES ?= examples/sample-server.json examples/linux-server.json
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
# Inputs may grow well past the largest seed, so that size limits are reached,
# within a memory limit that a huge input must respect.
FUZZ_MAX_LEN ?= 4194304
FUZZ_RSS_MB ?= 2048
FUZZERS := loader analysis collectors
# Those that also start from every inventory the project keeps, which the
# build copies into $(FUZZ_BUILD)/fuzz/inventories.
INVENTORY_FUZZERS := loader analysis

# Stop at the first report, and end with a signal so that no expected exit
# status can hide it.
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
  UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1

.PHONY: all deps browser-deps configure build demo check sanitize fuzz memcheck coverage format clean \
  windows-deps windows-configure windows-build windows-check bench package package-check \
  monitoring-check

all: build

deps:
	@scripts/install-deps

# The tests of zarn report's page run in headless Chromium, with axe-core and
# playwright-core from npm in each build folder.
browser-deps:
	@scripts/install-deps browser

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD)

# Analyses the bundled samples: between them they show every kind of line
# the plug-in writes. Findings (exit 1) are the point of the demo. Then the
# machine the demo runs on, as zarn collect sees it; a collect that fails
# writes nothing, which analyze refuses.
demo: build
	@for sample in $(SAMPLES); do \
	  echo "== zarn analyze $$sample"; \
	  $(BUILD)/bin/zarn analyze $$sample; status=$$?; \
	  [ $$status -eq 0 ] || [ $$status -eq 1 ] || [ $$status -eq 6 ] || exit $$status; \
	done
	@echo "== zarn collect | zarn analyze -"; \
	$(BUILD)/bin/zarn collect | $(BUILD)/bin/zarn analyze -; status=$$?; \
	[ $$status -eq 0 ] || [ $$status -eq 1 ] || [ $$status -eq 6 ] || exit $$status

check: build browser-deps
	@scripts/install-browser-tools $(BUILD)
	@cd $(BUILD) && ctest --output-on-failure -j2

# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps browser-deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DZARN_SANITIZE=ON $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(SANITIZE_BUILD)
	@scripts/install-browser-tools $(SANITIZE_BUILD)
	@cd $(SANITIZE_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j2

# Runs each fuzzer for FUZZ_SECONDS from its seed corpus and, for those of
# inventories, every inventory the project keeps; what it learns is kept in
# $(FUZZ_BUILD)/corpus, what it finds in $(FUZZ_BUILD)/findings.
fuzz:
	@scripts/install-deps fuzz
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DZARN_FUZZ=ON \
	  -DZARN_BUILD_TESTS=OFF $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(FUZZ_BUILD)
	@for fuzzer in $(FUZZERS); do \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$fuzzer $(FUZZ_BUILD)/findings/$$fuzzer || exit 1; \
	  echo "fuzzing $$fuzzer for $(FUZZ_SECONDS) s"; \
	  dict=fuzz/$$fuzzer.dict; [ -f $$dict ] || dict=fuzz/inventory.dict; \
	  seeds=; case " $(INVENTORY_FUZZERS) " in *" $$fuzzer "*) seeds=$(FUZZ_BUILD)/fuzz/inventories;; esac; \
	  $(SANITIZER_ENV) $(FUZZ_BUILD)/bin/$${fuzzer}_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	    -max_len=$(FUZZ_MAX_LEN) -rss_limit_mb=$(FUZZ_RSS_MB) -malloc_limit_mb=$(FUZZ_RSS_MB) \
	    -dict=$$dict -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/findings/$$fuzzer/ \
	    $(FUZZ_BUILD)/corpus/$$fuzzer fuzz/corpus/$$fuzzer $$seeds || exit 1; \
	done

# zarn analyze on every sample inventory under valgrind.
memcheck: build
	@scripts/install-deps memcheck
	@scripts/memcheck $(BUILD)/bin/zarn examples/*.json

# Line and branch coverage of the plug-in from the whole suite. The build
# itself runs the test programs to list their tests, so counts from before
# and from the listing are both cleared.
coverage:
	@scripts/install-deps coverage
	@cmake -S . -B $(COVERAGE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZARN_COVERAGE=ON \
	  $(CMAKE_FLAGS) > /dev/null
	@find $(COVERAGE_BUILD) -name '*.gcda' -delete
	@cmake --build $(COVERAGE_BUILD)
	@find $(COVERAGE_BUILD) -name '*.gcda' -delete
	@cd $(COVERAGE_BUILD) && ctest -j2 > /dev/null || (ctest --rerun-failed --output-on-failure; exit 1)
	@scripts/coverage-report $(COVERAGE_BUILD)

# zarn check run by a real monitoring core (Nagios Core 4), the service
# definitions of docs/fleet.md checked by Icinga 2, and the figures of
# zarn check --prometheus served by a node_exporter and held to the alerting
# rules of docs/fleet.md by promtool. Needs root, and no service of the
# machine: the core runs in the foreground for a second, the node_exporter
# is one of its own on a free port of 127.0.0.1.
monitoring-check: build
	@scripts/install-deps monitoring
	@tests/monitoring/monitoring-check $(BUILD)
	@tests/monitoring/prometheus-check $(BUILD)

windows-deps:
	@scripts/install-deps windows

# The Linux zarn is what zarn.exe's output is compared with.
windows-configure: windows-deps
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DZARN_LINUX_ZARN=$(abspath $(BUILD))/bin/zarn $(CMAKE_FLAGS) > /dev/null

windows-build: windows-configure
	@cmake --build $(WINDOWS_BUILD)

# The Windows test programs and end-to-end tests under Wine, and zarn.exe
# against the Linux zarn on every sample inventory. A test under Wine spends
# most of its time waiting for Wine to start, so four run at a time. Wine
# now and then fails to start a program at all (about once in a few thousand
# runs), so a failed test runs once more; a real failure fails twice.
windows-check: build windows-build
	@cd $(WINDOWS_BUILD) && ctest --output-on-failure -j4 --repeat until-pass:2

# The .deb and the .rpm from a build for /usr, and the Windows zip and
# installer from the cross build; each lands in its build folder.
package: windows-build
	@scripts/install-deps package
	@cmake -S . -B $(PACKAGE_BUILD) -G Ninja -DZARN_BUILD_TESTS=OFF $(CMAKE_FLAGS) > /dev/null
	@cmake --build $(PACKAGE_BUILD)
	@cd $(PACKAGE_BUILD) && cpack > /dev/null && ls $(abspath $(PACKAGE_BUILD))/zarn[_-]*.*
	@cd $(WINDOWS_BUILD) && cpack > /dev/null && ls $(abspath $(WINDOWS_BUILD))/zarn-*.zip \
	  $(abspath $(WINDOWS_BUILD))/zarn-*.msi

# What a user installs: the .deb installed and used, the .rpm held to it,
# the zip unpacked and run under Wine, the .msi installed, upgraded and
# removed by Wine's msiexec. Wine now and then crashes a program it starts
# and leaves it hanging (each step has a time limit), so a pass that fails
# runs once more, in a new prefix; a real failure fails twice.
PACKAGE_PASS = $(1) $(PACKAGE_BUILD) $(WINDOWS_BUILD) || \
	  { echo "== $(notdir $(1)) failed; once more, in case Wine failed it"; \
	    $(1) $(PACKAGE_BUILD) $(WINDOWS_BUILD); }
package-check: package
	@$(call PACKAGE_PASS,tests/package/check-packages)
	@$(call PACKAGE_PASS,tests/package/check-msi)

# Times zarn against jq, Python, a simdjson parse and the bare JSON parse on
# generated inventories, then zarn analyze over an archive of
# FLEET_INVENTORIES inventories against a shell loop and GNU parallel, with
# the floor of a process made for each, all in one table (kept in the bench
# build's folder, never in the tree). The build is the one users get;
# BENCH_BASELINE names an earlier run's results.json to judge validate by.
bench:
	@scripts/install-deps bench
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DZARN_BUILD_TESTS=OFF -DZARN_BUILD_BENCH=ON > /dev/null
	@cmake --build $(BENCH_BUILD)
	@python3 bench/run-bench.py --build $(BENCH_BUILD) --runs $(BENCH_RUNS) --fleet $(FLEET_INVENTORIES) \
	  $(if $(BENCH_BASELINE),--baseline $(BENCH_BASELINE))

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(COVERAGE_BUILD) $(WINDOWS_BUILD) $(BENCH_BUILD) \
	  $(PACKAGE_BUILD)
