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

JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_GEN  := -G "Unix Makefiles"
BUILD_PKGS := cmake make g++ pkg-config libcairo2-dev
TEST_PKGS  := $(BUILD_PKGS) clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libmseed-dev
BENCH_PKGS := $(BUILD_PKGS) libbenchmark-dev libmseed-dev

.PHONY: all release check check-sanitize check-release bench demo fuzz clean

all: release

release:
	@tools/ensure-deps $(BUILD_PKGS)
	cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTESSAL_TESTS=OFF -DTESSAL_BENCH=OFF
	cmake --build build/release -j $(JOBS)

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
	tools/demo/run-demo build/release demo

clean:
	rm -rf build demo
