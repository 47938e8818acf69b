# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc)

.PHONY: deps run test clang bench fuzz format format-check clean package

deps:
	bash scripts/install-deps

run: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target dozuzavuvu dozuzavuvu-cli
	bash scripts/run-desktop build/release/ui/dozuzavuvu

# Desktop tests drive real X servers and compositors with timing bounds; one
# that fails is run once more before the run counts as failed.
test: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS) --repeat until-pass:2

# Every target but the tests under clang with warnings as errors,
# unoptimised: a compile check only. The tests are built (with g++, warnings
# on) and run under `make test`.
clang: deps
	cmake --preset clang
	cmake --build --preset clang -j $(JOBS)

bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	for b in build/release/bench/bench_*; do $$b; done

# The Debian package: a release build of the two executables only.
package: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target dozuzavuvu dozuzavuvu-cli
	cd build/release && cpack

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, listing every difference, when a file is not formatted as `make format` would.
format-check: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf build
