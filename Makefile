# The two entry points: `make demo` runs the main job, `make test` builds and runs every test.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_DEMO ?= build-demo
JOBS       ?= $(shell nproc)

.PHONY: deps check configure build build-asan build-fuzz demo test package clean format fuzz reliability bench \
        mutate help-mutate

deps:
	@bash scripts/install-deps.sh

# The house rules, without building: format, include directions, function length, named
# parameterised test cases.
check: deps
	@bash scripts/check_format.sh
	@python3 scripts/check_includes.py
	@python3 scripts/check_function_length.py
	@python3 scripts/check_test_names.py

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMWELL_WERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRIMWELL_SANITIZE=ON \
	  -DBRIMWELL_WERROR=ON -DBRIMWELL_LONG_RUNS=OFF
	cmake --build $(BUILD_ASAN) -j $(JOBS)

# A build of its own, only to run: only the programs the demo runs (the plug-in and the desktop
# module come with the host), unoptimised and without debug information, no tests configured.
demo: deps
	cmake -S . -B $(BUILD_DEMO) -G Ninja -DCMAKE_BUILD_TYPE=Demo -DBRIMWELL_WERROR=ON \
	  -DBUILD_TESTING=OFF -DBRIMWELL_LONG_RUNS=OFF
	cmake --build $(BUILD_DEMO) -j $(JOBS) --target springboard-sim BrimwellViewer
	@bash scripts/demo.sh $(BUILD_DEMO)

# The checkout is left as it was: a test that writes into it (rather than its own temporary
# folder) fails the run. So does a skipped test, with why (`make deps` installs what the tests
# need); ALLOW_SKIPS=1 lets skips pass, each listed.
ALLOW_SKIPS ?=
check_skips = python3 scripts/check_skips.py $(if $(filter-out 0,$(ALLOW_SKIPS)),--allow-skips)
test: check build build-asan
	@bash scripts/check_untouched.sh before $(BUILD)/untouched-before
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) --output-junit test-results.xml
	@$(check_skips) $(BUILD)/test-results.xml
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS) --output-junit test-results.xml
	@$(check_skips) $(BUILD_ASAN)/test-results.xml
	@bash scripts/check_untouched.sh after $(BUILD)/untouched-before

# The Debian package, build/brimwell_<version>_<arch>.deb, checked by lintian.
package: build
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/brimwell_*.deb

# The long runs: not part of `make test`.
FUZZ_SECONDS ?= 600
build-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBRIMWELL_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build build-fuzz -j $(JOBS)

fuzz: build-fuzz
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

reliability: build
	$(BUILD)/bin/torn_read_stress 20000
	bash reliability/leaks_and_growth.sh $(BUILD) 100000 10000

bench: build
	$(BUILD)/bin/brimwell_bench --benchmark_min_time=1 --benchmark_repetitions=5 \
	  --benchmark_report_aggregates_only=true
	bash bench/idle.sh $(BUILD) 60 180
	bash bench/replay_memory.sh $(BUILD)
	bash bench/service_memory.sh $(BUILD) 300
	bash bench/demo_time.sh

# Mutation testing: small plausible mistakes in the product, one at a time, against the suite;
# the survivors are listed with their diffs. MUTATE names files or folders (default: the rooms
# whose decisions the tests must pin down), MUTATE_FLAGS passes options (--sample N, --tests RE).
MUTATE ?= host/low_battery host/estimate history viewer/output viewer/table/status_summary.cpp \
          host/app/status_file_lock.cpp host/app/status_file_guard.cpp
MUTATE_FLAGS ?= --sample 20
mutate: deps
	python3 scripts/mutate.py $(MUTATE_FLAGS) $(MUTATE)

help-mutate:
	@python3 scripts/mutate.py --help

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_DEMO) build-mutate
