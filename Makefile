# The README's commands.
BUILD       ?= build/test
BENCH_BUILD ?= build/bench
RUN_BUILD   ?= build/release
JOBS        ?= $(shell nproc)
PREFIX      ?= /usr/local
CMAKE_GEN   := -G Ninja

.PHONY: deps run build test bench fuzz clean format install deb

deps:
	scripts/install-deps

$(RUN_BUILD)/build.ninja: | deps
	cmake -S . -B $(RUN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DMELOTAG_TESTS=OFF

build: deps $(RUN_BUILD)/build.ninja
	cmake --build $(RUN_BUILD) -j $(JOBS)

run: build
	$(RUN_BUILD)/bin/Melotag

test: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DMELOTAG_SANITIZE=ON -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

bench: deps
	cmake -S . -B $(BENCH_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DMELOTAG_TESTS=OFF -DMELOTAG_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-bench $(BENCH_BUILD)

# libFuzzer targets of the tag reader and writer (clang; FUZZ_SECONDS per target, 120 unless set).
fuzz: deps
	scripts/fuzz

install: build
	cmake --install $(RUN_BUILD) --prefix $(PREFIX)

deb: build
	cd $(RUN_BUILD) && cpack -G DEB

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
