# The two commands of the README: `make run` and `make test`. Both install
# what is missing first (scripts/install-deps), then configure and build.

BUILD ?= build
ARGS ?= list
JOBS ?= $(shell nproc)

.PHONY: run cli test deps configure build bench fuzz monkey format clean

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The window alone: the app and what it links, not the tests and benchmarks.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target flickbook
	@$(BUILD)/app/flickbook

# The command line on the same build: make cli ARGS="info FILE.gif"
cli: configure
	@cmake --build $(BUILD) -j $(JOBS) --target flickbook-cli
	@$(BUILD)/cli/flickbook-cli $(ARGS)

# Unit, screen and command-line tests; then the engine's and the app's tests under
# AddressSanitizer and UndefinedBehaviorSanitizer; then a one-minute fuzz run of each target.
test: deps
	@./scripts/test-all

bench: deps
	@./bench/run-gif-decode
	@./bench/run-media
	@./bench/run-encode
	@./bench/run-history
	@./bench/run-photos
	@./bench/run-player
	@./bench/run-trim
	@./bench/run-video-picker
	@./bench/run-camera

fuzz: deps
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-600} ./scripts/fuzz

# The window driven by random input under the sanitizers for an hour:
# make monkey MONKEY_SEED=N MONKEY_MINUTES=M
monkey: deps
	@./scripts/monkey

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-release
