# The commands that matter: `make demo` and `make test`. Both install what is
# missing from Debian's packages first, so they work from a fresh clone.

JOBS ?= $(shell nproc)
MAKEFLAGS += --no-print-directory
DEMO_PROGRAM ?= 0

PACKAGES := cmake make g++ pkg-config libgtest-dev libbenchmark-dev libsndfile1-dev libstb-dev \
            g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth libfftw3-dev \
            portaudio19-dev libjack-jackd2-dev libx11-dev libxcb1-dev libxtst-dev jackd2 xdotool python3-cairo fonts-dejavu-core libcurl4 \
            python3-numpy python3-scipy
DEMO_PACKAGES := cmake make g++ pkg-config libgtest-dev libsndfile1-dev libstb-dev

# Where `make install` puts the plug-in and the apps: the per-user folders Linux
# hosts scan, or with PREFIX a system-wide install (DESTDIR stages it for a package).
PREFIX ?=
ifeq ($(PREFIX),)
VSTDIR := $(HOME)/.vst
BINDIR := $(HOME)/.local/bin
else
VSTDIR := $(PREFIX)/lib/vst
BINDIR := $(PREFIX)/bin
endif
BUILD_DIR ?= build/linux

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
export WINEPREFIX ?= $(CURDIR)/build/wineprefix

.PHONY: all deps demo-deps linux win64 demo test test-linux test-win64 bench test-asan test-tsan clean \
        install install-files uninstall

all: linux

# Installs the packages that are not installed yet.
define install_missing
	@missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	    echo "Installing from Debian: $$missing"; \
	    export DEBIAN_FRONTEND=noninteractive; \
	    $(SUDO) apt-get -o DPkg::Lock::Timeout=600 update -qq && \
	    $(SUDO) apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $$missing >/dev/null; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

demo-deps:
	$(call install_missing,$(DEMO_PACKAGES))

linux:
	cmake --preset linux >/dev/null
	cmake --build build/linux -j $(JOBS)

win64:
	cmake --preset win64 >/dev/null
	cmake --build build/win64 -j $(JOBS)

demo: demo-deps linux
	@mkdir -p out
	./build/linux/brimtone-render -p $(DEMO_PROGRAM) -o out/demo.wav --tail 2

test: deps linux win64
	ctest --test-dir build/linux --output-on-failure -j $(JOBS)
	ctest --test-dir build/win64 --output-on-failure

test-linux: linux
	ctest --test-dir build/linux --output-on-failure -j $(JOBS)

test-win64: win64
	ctest --test-dir build/win64 --output-on-failure

bench: deps
	cmake --preset bench >/dev/null
	cmake --build build/bench -j $(JOBS)
	@for b in build/bench/bench/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2 || exit 1; done

test-asan: deps
	cmake --preset asan >/dev/null
	cmake --build build/asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build/asan --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build build/tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -j $(JOBS)

install: linux
	@$(MAKE) install-files

# Installs what is built, without building.
install-files:
	@sh tools/install.sh install "$(DESTDIR)" "$(VSTDIR)" "$(BINDIR)" "$(BUILD_DIR)"

uninstall:
	@sh tools/install.sh uninstall "$(DESTDIR)" "$(VSTDIR)"

clean:
	rm -rf build out
