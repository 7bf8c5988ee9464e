# Two entry points: `make demo` runs the command-line tool's tour (on a
# virtual camera unless a real one is attached),
# `make test` builds and runs every test (plain and under ASan+UBSan), and
# each fuzz target for 20 s; `make fuzz` runs the fuzz targets for longer
# (FUZZ_SECONDS each, default 600).
.PHONY: deps deps-fuzz demo test test-debug test-asan test-tsan test-fuzz fuzz bench soak clean

deps:
	./scripts/install-deps.sh

demo: deps
	cmake --preset release
	cmake --build --preset release --target vantix
	./build/release/tools/vantix/vantix demo

test: deps-fuzz test-debug test-asan test-fuzz

deps-fuzz:
	./scripts/install-deps.sh --fuzz

test-debug:
	cmake --preset debug
	cmake --build --preset debug
	ctest --preset debug

test-asan:
	cmake --preset asan-ubsan
	cmake --build --preset asan-ubsan
	ctest --preset asan-ubsan

test-fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz
	ctest --preset fuzz

FUZZ_SECONDS ?= 600
fuzz: deps-fuzz
	cmake --preset fuzz
	cmake --build --preset fuzz
	./scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

bench:
	./scripts/install-deps.sh --bench
	cmake --preset release
	cmake --build --preset release
	./scripts/run-benchmarks.sh build/release

# Ten minutes of callback preview and recording; memory, descriptors, threads.
soak:
	cmake --preset release
	cmake --build --preset release --target vantix_soak
	./scripts/soak.sh build/release 10

clean:
	rm -rf build
