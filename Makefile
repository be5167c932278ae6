# Two commands: `make play` builds the engine and shows it at work; `make test` builds and runs
# every test. Under CI (CI set in the environment) warnings are errors.
BUILD ?= build
JOBS ?= 2
WERROR ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS ?=

.PHONY: all build play test sanitize tsan release clean baseline

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKESTA_WERROR=$(WERROR) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

play: build
	./tools/play-demo.sh $(BUILD)
	./$(BUILD)/kesta-tool selfplay --rule freestyle --size 15 --turn-time 200

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DKESTA_SANITIZE=ON -DKESTA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo"

# The protocol tests, whose brains read their input on a second thread, under ThreadSanitizer; a
# race ends the brain or the test at once.
TSAN_TESTS ?= Protocol|BrainPipe|BrainStop|BrainFiles|Manager|MatchSettings|ConfigFile|Threads
tsan:
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTA_SANITIZE_THREAD=ON -DKESTA_BENCH=OFF \
	  -DKESTA_WERROR=$(WERROR)
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 $(TSAN_OPTIONS)" \
	  ctest --output-on-failure -j$(JOBS) -R '$(TSAN_TESTS)'
	# The protocol sessions again, each think on two search threads.
	cd build-tsan && KESTA_TEST_THREADS=2 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 $(TSAN_OPTIONS)" \
	  ctest --output-on-failure -j$(JOBS) -R 'Protocol'

clean:
	rm -rf build build-sanitize build-tsan

# A frozen build to match changes against: `make baseline REV=<commit>` builds that revision's
# brain and tool into build-baseline/<short hash>/. Without REV, the baseline of the current round
# of strength work.
BASELINE_REV ?= 437245c
baseline:
	./tools/build-baseline.sh $(or $(REV),$(BASELINE_REV))

# Windows: the same sources cross-compiled with mingw-w64 into $(WIN_BUILD), linked static
# (pbrain-kesta64.exe, kesta-tool.exe, kesta-tests.exe). Needs `.ci/install-deps.sh windows`.
# `make test-windows` runs the Windows CI: imports check, unit tests and protocol sessions under
# Wine, release folders. `make release` fills $(BUILD)/release and $(WIN_BUILD)/release.
WIN_BUILD ?= build-win

.PHONY: windows test-windows

windows:
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DKESTA_WERROR=$(WERROR) -DKESTA_BENCH=OFF $(WIN_CMAKE_FLAGS)
	cmake --build $(WIN_BUILD) -j$(JOBS)

test-windows:
	bash .ci/windows.sh

release: build windows
	cmake --build $(BUILD) --target release
	cmake --build $(WIN_BUILD) --target release
