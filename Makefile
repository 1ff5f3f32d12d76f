# The two commands a newcomer needs: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)

.PHONY: all deps build run test format-check test-asan bench format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/bin/vrel-web-camera

# The formatting first, then every test in a plain debug build, then again under AddressSanitizer
# and UndefinedBehaviorSanitizer.
test: format-check build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON -DVREL_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE desktop

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVREL_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-benchmarks.sh $(BENCH_BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# The tracked sources as they stand must already be formatted; `make format` mends them.
format-check: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror \
		|| { echo "format-check: files above are not formatted; run make format" >&2; exit 1; }

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
