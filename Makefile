# Kestrune's set-up commands are `make run`, `make demo` and `make test`; the rest are for developers.
BUILD_DIR  ?= build
FUZZ_DIR   ?= build-fuzz
ASAN_DIR   ?= build-asan
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run demo test test-wm wm-name test-asan bench fuzz format install uninstall package clean

all: build

deps:
	@scripts/install-deps

# ccache, when installed, shares compiled objects between checkouts of this tree.
LAUNCHER := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR ?= $(abspath ..)
export CCACHE_NOHASHDIR ?= 1

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(LAUNCHER) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Without a reachable X display, runs the demo instead.
run: deps
	@scripts/run-kestrune $(BUILD_DIR)

# Kestrune at work on a private headless desktop (Xvfb, openbox, two monitors), played like a user: each step
# prints PASS or FAIL with what it expected and measured; pictures go to $(BUILD_DIR)/demo.
demo: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target kestrune
	@scripts/demo $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# One window manager's X11 and end-to-end tests alone: make test-wm WM=kwin (openbox, metacity, xfwm4,
# kwin, mutter).
test-wm: wm-name build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) -L '^wm-$(WM)$$'

wm-name:
	@case "$(WM)" in openbox|metacity|xfwm4|kwin|mutter) ;; \
	  *) echo "make test-wm: WM must be one of openbox, metacity, xfwm4, kwin, mutter" >&2; exit 2 ;; esac

# The unit and X11 suites built with AddressSanitizer and UndefinedBehaviorSanitizer in their own tree.
test-asan: deps
	@cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@cd $(ASAN_DIR) && ASAN_OPTIONS=$${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0} \
	    UBSAN_OPTIONS=$${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
	    ctest --output-on-failure -j $(JOBS) -L 'unit|x11'

# Placement latency (idle and with both cores busy), burst, idle cost and start-up of build/kestrune
# against a peer, on a private X server; then windows opening in place on a private headless Plasma
# Wayland session. Prints tables and writes $(BUILD_DIR)/bench/results.json. Not part of `make test`.
bench: build
	@scripts/install-bench-deps
	@bench/run-bench $(BUILD_DIR)

# libFuzzer targets, built with clang into their own tree, then run for FUZZ_SECONDS each.
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKESTRUNE_FUZZ=ON -DKESTRUNE_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

# Installs under CMAKE_INSTALL_PREFIX (default /usr/local), below DESTDIR when set; `make uninstall`
# removes what that install wrote. `make package` builds build/kestrune_<version>_<arch>.deb.
CMAKE_INSTALL_PREFIX ?= /usr/local
install: build
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(CMAKE_INSTALL_PREFIX)

uninstall:
	@DESTDIR=$(DESTDIR) cmake --build $(BUILD_DIR) --target uninstall

package: build
	@cd $(BUILD_DIR) && cpack -G DEB

format: configure
	@cmake --build $(BUILD_DIR) --target format

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR) $(ASAN_DIR)
