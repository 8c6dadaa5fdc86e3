# Front door of the build. Every target first makes sure the Debian packages
# it needs are installed (tools/ensure-deps), then drives CMake.
#   make                 release build of tessal and its tools (build/release)
#   make check           build with warnings as errors and run every test
#   make check-sanitize  the whole test suite again under ASan and UBSan (clang)
#   make check-release   optimised builds (assertions off) with g++ and clang++,
#                        warnings as errors, and the tests once more
#   make bench           build and run the benchmarks
#   make demo            synthesise a recording, convert it, inspect the result
#                        and plot it (demo/demo.png)
#   make fuzz            libFuzzer on the whole conversion, the INI-style lookup,
#                        the Steim-2 encoder, the decoder and mseed-inspect's
#                        record walk (clang), each for FUZZ_SECONDS (default
#                        60): make fuzz FUZZ_SECONDS=600
#   make install         the release build's programs and manual pages under
#                        PREFIX (default /usr/local), below DESTDIR when given
#   make uninstall       removes what the last make install put in place (give
#                        the same DESTDIR)
#   make deb             the Debian package build/deb/tessal_VERSION_ARCH.deb
#   make lint-man        the manual pages through mandoc and groff, no warning allowed
#   make check-install   make install into a scratch DESTDIR, then run what it installed
#   make check-deb       make deb, list and unpack the package, run what it holds, lintian

JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN  := -G "Unix Makefiles"
BUILD_PKGS := cmake make g++ pkg-config gzip libcairo2-dev
TEST_PKGS  := $(BUILD_PKGS) clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libmseed-dev parallel
BENCH_PKGS := $(BUILD_PKGS) libbenchmark-dev libmseed-dev sac2mseed
MAN_PKGS   := mandoc groff-base
DEB_PKGS   := $(BUILD_PKGS) dpkg-dev file
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all release check check-sanitize check-release bench demo fuzz clean \
        install uninstall deb lint-man check-install check-deb

all: release

# The release build prints only warnings and errors, and a last line.
release:
	@tools/ensure-deps $(BUILD_PKGS)
	@cmake -S . -B build/release $(CMAKE_GEN) --log-level=WARNING >/dev/null \
	      -DCMAKE_RULE_MESSAGES=OFF -DCMAKE_TARGET_MESSAGES=OFF \
	      -DCMAKE_BUILD_TYPE=Release -DTESSAL_TESTS=OFF -DTESSAL_BENCH=OFF
	@cmake --build build/release -j $(JOBS) -- --no-print-directory -s
	@echo "built: build/release/tessal and its tools"

check:
	@tools/ensure-deps $(TEST_PKGS)
	cmake -S . -B build/check $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAL_WERROR=ON \
	      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g"
	cmake --build build/check -j $(JOBS)
	cd build/check && ctest --output-on-failure -j $(JOBS)

check-sanitize:
	@tools/ensure-deps $(TEST_PKGS)
	cmake -S . -B build/sanitize $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTESSAL_WERROR=ON \
	      -DTESSAL_SANITIZE=ON -DTESSAL_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
	cmake --build build/sanitize -j $(JOBS)
	cd build/sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

check-release:
	@tools/ensure-deps $(TEST_PKGS)
	for cxx in g++ clang++; do \
	    cmake -S . -B build/release-$$cxx $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESSAL_WERROR=ON \
	          -DCMAKE_CXX_COMPILER=$$cxx && \
	    cmake --build build/release-$$cxx -j $(JOBS) && \
	    (cd build/release-$$cxx && ctest --output-on-failure -j $(JOBS)) || exit 1; \
	done

bench:
	@tools/ensure-deps $(BENCH_PKGS)
	cmake -S . -B build/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESSAL_TESTS=OFF
	cmake --build build/bench -j $(JOBS)
	bench/run-all build/bench

fuzz:
	@tools/ensure-deps $(TEST_PKGS)
	cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTESSAL_FUZZ=ON \
	      -DTESSAL_SANITIZE=ON -DTESSAL_TESTS=OFF -DTESSAL_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
	cmake --build build/fuzz -j $(JOBS)
	fuzz/make-seeds-and-run build/fuzz/tools/vorn-synth/vorn-synth build/fuzz/tessal \
	      build/fuzz/seeds libfuzzer:$(FUZZ_SECONDS) build/fuzz/fuzz/fuzz_conversion \
	      build/fuzz/fuzz/fuzz_profile build/fuzz/fuzz/fuzz_steim2 build/fuzz/fuzz/fuzz_decoder \
	      build/fuzz/fuzz/fuzz_inspect

demo: release
	@tools/demo/run-demo build/release demo

install: release
	DESTDIR="$(DESTDIR)" cmake --install build/release --prefix "$(PREFIX)"

# make install lists what it put in place, without DESTDIR, in
# build/release/install_manifest.txt; the documentation folder goes too once
# it is empty. Give the DESTDIR the install was given.
uninstall:
	@test -f build/release/install_manifest.txt || \
	    { echo "make uninstall: nothing was installed from build/release" >&2; exit 1; }
	@while IFS= read -r f || [ -n "$$f" ]; do \
	    rm -f -- "$(DESTDIR)$$f"; \
	    case "$$f" in */doc/tessal/*) doc="$(DESTDIR)$${f%/*}";; esac; \
	done < build/release/install_manifest.txt; \
	if [ -n "$$doc" ] && [ -d "$$doc" ]; then rmdir --ignore-fail-on-non-empty -- "$$doc"; fi
	@echo "removed what make install put under $(DESTDIR)$$(sed -n 's|/bin/tessal$$||p' build/release/install_manifest.txt)"

# Built with all of Debian's hardening flags and stripped as Debian strips;
# dependencies computed from the binaries by dpkg-shlibdeps.
DEB_FLAGS  := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb:
	@tools/ensure-deps $(DEB_PKGS)
	cmake -S . -B build/deb $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESSAL_TESTS=OFF -DTESSAL_BENCH=OFF \
	      -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CXXFLAGS) $$($(DEB_FLAGS) CPPFLAGS)" \
	      -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	cmake --build build/deb -j $(JOBS)
	cd build/deb && cpack -G DEB

lint-man:
	@tools/ensure-deps $(MAN_PKGS)
	tools/ci/lint-man man/*.1

check-install:
	@tools/ensure-deps $(BUILD_PKGS) man-db
	tools/ci/check-install

check-deb: deb
	@tools/ensure-deps man-db lintian
	tools/ci/check-deb build/deb

clean:
	rm -rf build demo
