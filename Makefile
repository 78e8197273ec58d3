# The two commands of the README: `make run` and `make test`.
.PHONY: all deps release run test test-cluster test-long asan-test tsan-test fuzz fuzz-long bench quality gui screenshot docs package install clean

FUZZ_SECONDS ?= 60

QUORVANE_RELEASE := build/release/src/quorvane

all: test

deps:
	scripts/install-deps

release: deps
	cmake --preset release
	cmake --build --preset release

run: release
	@scripts/run-samples $(QUORVANE_RELEASE)

test: deps
	cmake --preset dev
	cmake --build --preset dev
	ctest --preset dev

# The Dask job of examples/dask on a scheduler and two workers on 127.0.0.1,
# over 500 generated recordings and a folder, against one machine's output.
# Stops by itself: timeout ends the whole process group.
test-cluster: deps
	cmake --preset dev
	cmake --build --preset dev --target quorvane
	timeout -k 10 600 /usr/bin/python3 tests/cluster/cluster_test.py build/dev/src/quorvane

# Tests too slow for every run: a recording larger than 4 GiB, and a soak of
# SOAK_HOURS of generated line audio through standard input into dtmf and
# robust caller ID, every event counted and memory watched.
SOAK_HOURS ?= 1000
test-long: deps
	cmake --preset long
	cmake --build --preset long
	ctest --preset long
	/usr/bin/python3 tests/long/soak.py build/long/src/quorvane --hours $(SOAK_HOURS)

# The tests that run inputs and streams side by side, under ThreadSanitizer.
tsan-test: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

fuzz: deps
	scripts/run-fuzz $(FUZZ_SECONDS)

# The long campaign: every target to 10^7 executions (FUZZ_RUNS) or an hour
# (FUZZ_LONG_SECONDS); the figures go to docs/fuzzing.md.
fuzz-long: deps
	scripts/run-fuzz --long

asan-test: deps
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

bench: release
	build/release/bench/quorvane_bench
	build/release/bench/quorvane_codec_bench
	scripts/bench-files $(QUORVANE_RELEASE)
	scripts/bench-hostile $(QUORVANE_RELEASE)
	scripts/bench-calls build/release

# Detection quality on graded recordings, written to docs/*-quality.md.
quality: release
	bench/quality/run-all build/release

# A Debian package of the release build in build/release/package/; its
# dependencies come from dpkg-shlibdeps; scripts/check-package checks its
# contents, and lintian does where installed.
package: release
	cd build/release && cpack -G DEB
	scripts/check-package "$$(ls -t build/release/package/quorvane_*.deb | head -n 1)"

# Installs the release build under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: release
	cmake --install build/release --prefix $(PREFIX)

gui: release
	build/release/src/quorvane-gui

# The README's picture of the window, drawn under Xvfb with the CJK font.
screenshot: test
	xvfb-run -a -s "-screen 0 1024x768x24" build/dev/tests/app/quorvane-screenshot docs/main-window.png

# The README's plots, drawn from the bundled samples.
docs: deps
	cmake --preset dev
	cmake --build --preset dev --target quorvane
	build/dev/src/quorvane plot samples/dtmf-keys.pcm --what dtmf --to 1.25 -o docs/plot-dtmf.png
	build/dev/src/quorvane plot samples/callerid-mdmf.pcm --what callerid --from 0.47 --to 0.81 -o docs/plot-callerid.png

clean:
	rm -rf build
