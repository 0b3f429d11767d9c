# The two commands a newcomer needs: `make run` and `make test`.
BUILD     ?= build
BUILDTYPE ?= RelWithDebInfo
JOBS      ?= $(shell nproc)
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: all deps configure build run test bench fuzz format clean

all: build

deps:
	@./scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILDTYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./velda

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@./scripts/install-bench-deps.sh
	@for b in $(BUILD)/bench/bench_*; do \
	    [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	    echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" --benchmark_repetitions=5 \
	        --benchmark_report_aggregates_only=true || exit 1; \
	done
	@echo "== expressions beside numpy"; /usr/bin/python3 bench/compare_numpy.py $(BUILD)/bench/bench_eval

fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) -DVELDA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	    [ -f "$$f" ] && [ -x "$$f" ] || continue; \
	    echo "== $$f"; mkdir -p $(FUZZ_BUILD)/corpus/$$(basename $$f); \
	    "$$f" -max_total_time=$(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus/$$(basename $$f) \
	        fuzz/corpus/$$(basename $$f) 2>&1 | tail -n 3 || exit 1; \
	done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
