# Two commands: `make play` builds the engine and shows it at work; `make test` builds and runs
# every test. Under CI (CI set in the environment) warnings are errors.
BUILD ?= build
JOBS ?= 2
WERROR ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS ?=

.PHONY: all build play test sanitize release clean

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

clean:
	rm -rf build build-sanitize
