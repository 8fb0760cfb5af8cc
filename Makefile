# The two commands of the README: `make run` and `make test`. Both install
# what is missing first (scripts/install-deps), then configure and build.

BUILD ?= build
ARGS ?= list
JOBS ?= $(shell nproc)

.PHONY: run cli test deps build bench fuzz format clean

deps:
	@./scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/app/flickbook

# The command line on the same build: make cli ARGS="info FILE.gif"
cli: build
	@$(BUILD)/cli/flickbook-cli $(ARGS)

# Unit, screen and command-line tests; then the engine's and the app's tests under
# AddressSanitizer and UndefinedBehaviorSanitizer; then a one-minute fuzz run.
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
	@FUZZ_SECONDS=$${FUZZ_SECONDS:-600} ./scripts/fuzz-gif

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-release
