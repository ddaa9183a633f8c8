# Thin wrapper over the CMake presets. `make run` starts the app, `make test` runs every test;
# both install missing Debian packages first.
.PHONY: run test deps build build-asan test-asan fuzz bench package coverage clean

FUZZ_SECONDS ?= 60

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset dev
	cmake --build --preset dev

run: build
	@scripts/run-app.sh build/dev

test: build
	ctest --preset dev

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan

test-asan: build-asan
	ctest --preset asan

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/run-fuzzers.sh build/fuzz $(FUZZ_SECONDS)

bench: build
	@for b in build/dev/bench/bench_*; do echo "== $$b"; "$$b"; done

# Line and branch coverage of the whole suite, per folder of src/ and engine/; the full
# report is left in build/coverage/coverage.html.
coverage: deps
	cmake --preset coverage
	cmake --build --preset coverage
	find build/coverage -name '*.gcda' -delete
	@# Tests made slow by the instrumentation may time out; the report still counts what ran.
	ctest --preset coverage || echo "Some tests failed (listed above); the figures count what ran."
	cd build/coverage && gcovr -r ../.. --filter '../../src/' --filter '../../engine/' \
		--exclude-unreachable-branches --exclude-throw-branches -j 2 \
		--json-summary coverage.json --html-details coverage.html . >/dev/null
	@scripts/coverage-summary.py build/coverage/coverage.json

# The Debian package of a release build without the automation harness.
package: deps
	cmake --preset package
	cmake --build --preset package
	cd build/package && cpack -G DEB

clean:
	rm -rf build
