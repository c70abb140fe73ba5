BUILD ?= build
WINDOWS_BUILD ?= build-windows
SAMPLES ?= examples/sample-server.json examples/linux-server.json
CMAKE_FLAGS ?=

.PHONY: all deps configure build demo check format clean \
  windows-deps windows-configure windows-build windows-check

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
# most of its time waiting for Wine to start, so four run at a time.
windows-check: build windows-build
	@cd $(WINDOWS_BUILD) && ctest --output-on-failure -j4

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(WINDOWS_BUILD)
