# Two entry points: `make demo` runs the SDK against a virtual camera,
# `make test` builds and runs every test (plain and under ASan+UBSan).
.PHONY: deps demo test test-debug test-asan test-tsan bench clean

deps:
	./scripts/install-deps.sh

demo: deps
	cmake --preset debug
	cmake --build --preset debug
	./build/debug/examples/hello_vantix

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
