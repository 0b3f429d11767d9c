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

# Warnings are errors for `make test` (and so CI); `make run` leaves the
# build folder's choice as it is (off in a new one).
WERROR ?=
test: WERROR = ON

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILDTYPE) \
	    $(if $(WERROR),-DVELDA_WERROR=$(WERROR)) >/dev/null

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

# Every fuzz target runs from its own seed corpus; a target without one is an
# error, not a silent skip. A crash or a finding fails the run.
fuzz: deps
	@for src in fuzz/fuzz_*.cpp; do \
	    name=$$(basename $$src .cpp); \
	    if [ -z "$$(ls -A fuzz/corpus/$$name 2>/dev/null)" ]; then \
	        echo "fuzz/corpus/$$name: no seed corpus for $$name" >&2; exit 1; \
	    fi; \
	done
	@cmake -S . -B $(FUZZ_BUILD) -DVELDA_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for src in fuzz/fuzz_*.cpp; do \
	    name=$$(basename $$src .cpp); f=$(FUZZ_BUILD)/fuzz/$$name; \
	    echo "== $$name"; mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
	    "$$f" -max_total_time=$(FUZZ_SECONDS) $(FUZZ_BUILD)/corpus/$$name \
	        fuzz/corpus/$$name > $(FUZZ_BUILD)/$$name.log 2>&1; rc=$$?; \
	    tail -n 3 $(FUZZ_BUILD)/$$name.log; \
	    if [ $$rc -ne 0 ]; then echo "$$name failed ($$rc), see $(FUZZ_BUILD)/$$name.log" >&2; exit 1; fi; \
	done

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
