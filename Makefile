# Velnor: `make run` builds and starts the program, `make test` builds and runs
# every test. Both install the Debian packages the project needs first.

BUILD      ?= build
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS ?=

.PHONY: all deps build run test test-tsan test-asan package e2e e2e-alsa e2e-tsan windows test-windows package-windows demo-windows format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOR_WERROR=ON $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package $(BUILD)/velnor_VERSION_ARCH.deb, its dependencies computed.
package: build
	cd $(BUILD) && cpack -G DEB

# velnor-cli against velnor-instrument through a private JACK server, then
# through a private PipeWire daemon's JACK library.
e2e: build
	scripts/e2e-jack.sh $(BUILD) jackd
	scripts/e2e-jack.sh $(BUILD) pipewire

# velnor-cli against velnor-instrument on the ALSA sequencer, inside a QEMU
# guest that boots Debian's kernel (the instrument's link: E2E_ALSA_LINK, none
# by default).
E2E_ALSA_LINK ?= none
e2e-alsa: build
	scripts/e2e-alsa-vm.sh $(BUILD) --link $(E2E_ALSA_LINK)

# Windows, cross-built with MinGW-w64 into build-windows/ (scripts/windows-build.sh):
# Qt for MinGW the first time, the core, the RtMidi backend on WinMM,
# velnor-cli.exe, velnor.exe and the tests; test-windows runs them under Wine
# (the window's on Qt's offscreen platform), package-windows makes the zip.
windows: deps
	scripts/windows-build.sh build-windows build

test-windows: deps
	scripts/windows-build.sh build-windows test

package-windows: deps
	scripts/windows-build.sh build-windows package

# The zip's window under Wine, driven through Connect, Copy Up, Download and
# Upload; pictures of each step in build-windows/window-demo/.
demo-windows: deps
	scripts/windows-build.sh build-windows package demo

TSAN_CONFIGURE = cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOR_WERROR=ON \
	  -DVELNOR_SANITIZE=thread -DVELNOR_BUILD_GUI=OFF $(CMAKE_ARGS)

# The core under ThreadSanitizer (no GUI: Qt itself is not built with it).
test-tsan: deps
	$(TSAN_CONFIGURE)
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest --output-on-failure -j $(JOBS) -LE nosan

# velnor-cli and velnor-instrument built with ThreadSanitizer, against each
# other through a private JACK server (the build of test-tsan, when there is
# one, is reused). Any report fails the run.
e2e-tsan: deps
	$(TSAN_CONFIGURE)
	cmake --build build-tsan -j $(JOBS) --target velnor-cli velnor-instrument
	TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1" \
	  VELNOR_CLI=build-tsan/src/cli/velnor-cli \
	  VELNOR_INSTRUMENT=build-tsan/src/instrument-app/velnor-instrument \
	  scripts/e2e-jack.sh build-tsan

# The core under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOR_WERROR=ON \
	  -DVELNOR_SANITIZE="address;undefined" -DVELNOR_BUILD_GUI=OFF $(CMAKE_ARGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS="detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1" \
	  ctest --output-on-failure -j $(JOBS) -LE nosan

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Qt for MinGW (build-windows/_deps) takes long to build and stays.
clean:
	rm -rf $(BUILD) build-tsan build-asan
	find build-windows -mindepth 1 -maxdepth 1 ! -name _deps -exec rm -rf {} + 2>/dev/null || true
