# The two commands a newcomer needs: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
PACKAGE_BUILD ?= build-package
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc)

.PHONY: all deps build run test test-asan bench package install format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/bin/vrel-web-camera

# Every test in a plain debug build, then again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON -DVREL_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'desktop|package'

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-benchmarks.sh $(BENCH_BUILD)

# A Debian package of an optimised build, in build-package/.
package: deps
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB

# Installs an optimised build under PREFIX (default /usr/local).
install: deps
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cmake --install $(PACKAGE_BUILD) --prefix $(PREFIX)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD)
