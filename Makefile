# Top-level driver over CMake.
#   make deps    install the system packages the build and tests need
#   make build   build build/xml.vlp and build/velloran
#   make check   deps, build, all tests; then the same under ASan+UBSan
#   make demo    run the main example
#   make fuzz    build the libFuzzer targets with clang and run each for
#                FUZZ_SECONDS (default 60); `make check` runs them briefly
#   make bench   optimised build, then the benchmark suite (bench/README.md)
#   make install the host, the plugin, the Lua module and the documentation
#                under $(DESTDIR)$(PREFIX) (PREFIX=/usr/local); make uninstall
#   make check-cross     the tests and the demo built for 32-bit PowerPC and
#                        s390x (both big-endian), run under qemu (build-ppc/,
#                        build-s390x/; scripts/cross.sh)
#   make check-debian13  make check in a fresh Debian 13 root, as a new user
#                        would run it (build-debian13/; scripts/debian13.sh)
#
# LUA=luajit builds the host against LuaJIT instead of Lua 5.1, in folders
# of its own (build-luajit/, build-asan-luajit/, build-bench-luajit/).

MAKEFLAGS += --no-print-directory

LUA ?= lua5.1
JOBS ?= $(shell nproc)
ifeq ($(LUA),lua5.1)
ENGINE_SUFFIX :=
else
ENGINE_SUFFIX := -$(LUA)
endif
BUILD_DIR := build$(ENGINE_SUFFIX)
ASAN_DIR := build-asan$(ENGINE_SUFFIX)
BENCH_DIR := build-bench$(ENGINE_SUFFIX)
BENCH_DATA := build/bench
FUZZ_DIR := build-fuzz$(ENGINE_SUFFIX)
FUZZ_SECONDS ?= 60
# The short pass inside `make check`: seconds per target.
CHECK_FUZZ_SECONDS ?= 5
CMAKE_FLAGS := -DLUA=$(LUA)

PREFIX ?= /usr/local

.PHONY: all deps build check check-normal check-asan check-fuzz fuzz fuzz-build demo bench clean \
	check-cross check-debian13 install uninstall

all: build

deps:
	@bash scripts/deps.sh $(LUA)

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

# An optimised build of its own, then every workload in rounds; the table is
# printed and written to build/bench/results$(ENGINE_SUFFIX).md.
bench:
	@bash scripts/deps.sh $(LUA) bench
	@cmake -S . -B $(BENCH_DIR) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)
	@mkdir -p $(BENCH_DATA)
	/usr/bin/python3 bench/run.py --build $(BENCH_DIR) --data $(BENCH_DATA) \
		--out $(BENCH_DATA)/results$(ENGINE_SUFFIX).md $(BENCH_FLAGS)

install: build
	@DESTDIR="$(DESTDIR)" bash scripts/install.sh install $(BUILD_DIR) $(PREFIX)

uninstall:
	@DESTDIR="$(DESTDIR)" bash scripts/install.sh uninstall $(PREFIX)
# The cross builds compare their demo with the native build's.
check-cross: build
	@bash scripts/cross.sh ppc $(JOBS)
	@bash scripts/cross.sh s390x $(JOBS)

check-debian13:
	@bash scripts/debian13.sh check $(JOBS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR) $(FUZZ_DIR) build-ppc build-s390x
	@bash scripts/debian13.sh clean
