# Top-level driver over CMake.
#   make deps    install the system packages the build and tests need
#   make build   build build/xml.vlp and build/velloran
#   make check   deps, build, all tests; then the same under ASan+UBSan
#   make demo    run the main example

MAKEFLAGS += --no-print-directory

LUA ?= lua5.1
JOBS ?= $(shell nproc)
BUILD_DIR := build
ASAN_DIR := build-asan
CMAKE_FLAGS := -DLUA=$(LUA)

.PHONY: all deps build check check-normal check-asan demo clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

check: deps check-normal check-asan

check-normal: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

check-asan: deps
	@cmake -S . -B $(ASAN_DIR) $(CMAKE_FLAGS) -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
