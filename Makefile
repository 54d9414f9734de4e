# Top-level driver over CMake.
#   make deps    install the system packages the build and tests need
#   make build   build build/xml.vlp and build/velloran
#   make check   deps, build, all tests; then the same under ASan+UBSan
#   make demo    run the main example
#   make fuzz    build the libFuzzer targets with clang and run each for
#                FUZZ_SECONDS (default 60); `make check` runs them briefly

MAKEFLAGS += --no-print-directory

LUA ?= lua5.1
JOBS ?= $(shell nproc)
BUILD_DIR := build
ASAN_DIR := build-asan
FUZZ_DIR := build-fuzz
FUZZ_SECONDS ?= 60
# The short pass inside `make check`: seconds per target.
CHECK_FUZZ_SECONDS ?= 5
CMAKE_FLAGS := -DLUA=$(LUA)

.PHONY: all deps build check check-normal check-asan check-fuzz fuzz fuzz-build demo clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

check: deps check-normal check-asan check-fuzz

check-normal: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

check-asan: deps
	@cmake -S . -B $(ASAN_DIR) $(CMAKE_FLAGS) -DSANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

fuzz-build: deps
	@cmake -S . -B $(FUZZ_DIR) $(CMAKE_FLAGS) -DFUZZ=ON -DCMAKE_C_COMPILER=clang \
		-DCMAKE_CXX_COMPILER=clang++ >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz: fuzz-build
	@bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

check-fuzz: fuzz-build
	@bash fuzz/run.sh $(FUZZ_DIR) $(CHECK_FUZZ_SECONDS)

demo: build
	@bash scripts/demo.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
