# make demo | make test | make bench | make bench-detect | make fuzz | make install
BUILD      ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local

.PHONY: all deps build build-asan test tsan bench bench-peers bench-detect demo fuzz install clean

all: build

deps:
	@bash tools/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOJIRO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j$(JOBS)

# The threaded paths under ThreadSanitizer: the engine's tests and the
# batch run's, without the windows.
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMOJIRO_TSAN=ON -DMOJIRO_GUI=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j$(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMOJIRO_BENCH=ON -DMOJIRO_TESTS=OFF -DMOJIRO_GUI=OFF
	cmake --build $(BENCH_BUILD) -j$(JOBS) --target mojiro_bench
	$(BENCH_BUILD)/bench/mojiro_bench --benchmark_out=$(BENCH_BUILD)/bench.json --benchmark_out_format=json
	python3 bench/ratio.py $(BENCH_BUILD)/bench.json

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DMOJIRO_FUZZ=ON -DMOJIRO_TESTS=OFF -DMOJIRO_GUI=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	mkdir -p $(FUZZ_BUILD)/corpus
	$(FUZZ_BUILD)/fuzz/convert_fuzz -max_total_time=$${FUZZ_SECONDS:-60} -max_len=8192 -len_control=0 \
	  $(FUZZ_BUILD)/corpus fuzz/corpus

bench-peers: build
	@bash tools/install-deps.sh --peers
	python3 tools/bench_peers.py --mojiro $(BUILD)/app/mojiro $(PEERS_ARGS)

# Detection on texts made from the Japanese manual pages, beside nkf --guess.
bench-detect: build
	@bash tools/install-deps.sh --peers
	python3 tools/bench_detect.py --mojiro $(BUILD)/app/mojiro $(DETECT_ARGS)

demo: build
	@bash tools/demo.sh $(BUILD)

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
