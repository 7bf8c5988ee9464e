# Two entry points: `make demo` runs the command-line tool's tour (on a
# virtual camera unless a real one is attached),
# `make test` builds and runs every test (plain and under ASan+UBSan).
.PHONY: deps demo test test-debug test-asan test-tsan bench clean

deps:
	./scripts/install-deps.sh

demo: deps
	cmake --preset release
	cmake --build --preset release --target vantix
	./build/release/tools/vantix/vantix demo

test: deps test-debug test-asan

test-debug:
	cmake --preset debug
	cmake --build --preset debug
	ctest --preset debug

test-asan:
	cmake --preset asan-ubsan
	cmake --build --preset asan-ubsan
	ctest --preset asan-ubsan

test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

bench:
	./scripts/install-deps.sh --bench
	cmake --preset release
	cmake --build --preset release
	./scripts/run-benchmarks.sh build/release

clean:
	rm -rf build
