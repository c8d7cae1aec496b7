# SPDX-License-Identifier: Apache-2.0
# The two commands a newcomer needs: `make run` and `make test`.
# Both install what is missing first, so they work from a fresh clone.

BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_GEN  := -G Ninja
JOBS       ?= $(shell nproc)

.PHONY: all deps configure build run test test-plain test-asan bench package clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBREL_WERROR=ON

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DOMBREL_WERROR=ON \
	    -DOMBREL_SANITIZE=ON -DOMBREL_BUILD_BENCH=OFF

configure: $(BUILD)/build.ninja

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/ui/ombrel

test: test-plain test-asan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The library's benchmark, then whole processes: ombrel-cli against the openssl command, and
# the desktop program's start-up against a minimal Qt dialog.
bench: build
	scripts/bench $(BUILD)
	bench/process/run $(BUILD)
	BUILD=$(BUILD) bench/startup/measure

# The Debian package, with its dependencies read from the binaries, in $(BUILD)/.
package: build
	cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
