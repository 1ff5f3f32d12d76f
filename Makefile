# The two commands a newcomer needs: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
PACKAGE_BUILD ?= build-package
PREFIX     ?= /usr/local
JOBS       ?= $(shell nproc)
space     := $(subst ,, )

.PHONY: all deps build run test format-check test-asan test-tsan bench package install format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/bin/vrel-web-camera

# The formatting first, then every test in a plain debug build, then again under AddressSanitizer
# and UndefinedBehaviorSanitizer, then the download and camera-window tests under ThreadSanitizer.
test: format-check build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan
	@$(MAKE) --no-print-directory test-tsan

test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON -DVREL_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -LE 'desktop|package'

# The download worker's threads meet the user-interface thread in these tests only, so only they
# are built. Debian's Qt is not instrumented: what its own threads do (QtTest's watchdog, the
# thread pool QPainter scales images on) looks like races, so accesses from inside Qt are not
# checked (ignore_noninstrumented_modules); the watchdog's end and the posted-event queue a
# worker's signal crosses are suppressed (see the file, which says why; the net tests set the
# same file themselves). die_after_fork=0 lets the tests start nginx and openssl.
TSAN_TESTS := tst_HTTPGet tst_TCurlHttpClient tst_fImageFetch tst_fImage tst_fImageRevalidate
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVREL_WERROR=ON -DVREL_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TESTS)
	TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 ignore_noninstrumented_modules=1 suppressions=$(CURDIR)/tests/net/tsan.supp" \
		ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -R '^($(subst $(space),|,$(TSAN_TESTS)))$$'

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVREL_BENCH=ON >/dev/null
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

# The tracked sources as they stand must already be formatted; `make format` mends them.
format-check: deps
	@git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror \
		|| { echo "format-check: files above are not formatted; run make format" >&2; exit 1; }

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD)
