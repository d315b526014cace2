# make run   - set up, build and run the main job against the built-in simulated sensors
# make test  - set up, build and run the whole test suite
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap configure build run test test-asan test-tsan bench format clean

all: build

bootstrap:
	@./scripts/bootstrap

configure: bootstrap
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@mkdir -p $(BUILD)/run && cd $(BUILD)/run && ../bin/yoxa demo

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan CMAKE_FLAGS="-DYOXA_SANITIZE=address,undefined"

# The threaded tests under ThreadSanitizer.
test-tsan:
	@$(MAKE) --no-print-directory build BUILD=build-tsan CMAKE_FLAGS="-DYOXA_SANITIZE=thread"
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --test-dir build-tsan --output-on-failure -L threaded -j $(JOBS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

format:
	@git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-tsan
