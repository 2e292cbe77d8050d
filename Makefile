# The two commands of the README: `make test` and `make run`.
#
# build/i686 holds the product (32-bit Windows). Tests run on the build whose
# programs this machine can run under Wine: build/i686, or build/x86_64 where
# the kernel cannot run 32-bit programs.
BUILD ?= build
JOBS  ?= $(shell nproc)
DEPS  ?= $(abspath $(BUILD))/deps
CTEST_ARGS ?=

.PHONY: all deps build test run clean FORCE

all: build

deps:
	bash tools/install-deps.sh
	bash tools/build-libpng.sh $(DEPS) i686 x86_64

build-%: deps FORCE
	cmake -S . -B $(BUILD)/$* -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/toolchain-$*-mingw.cmake) \
	  -DTAVREL_DEPS_PREFIX=$(DEPS)/$* -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build $(BUILD)/$* -j$(JOBS)

build: build-i686

# A test that fails once fails the run: nothing is run again.
test: build-i686
	@arch=$$(bash tools/wineenv.sh arch); \
	if [ "$$arch" != i686 ]; then \
	  bash tools/arch.sh why; \
	  $(MAKE) --no-print-directory build-$$arch; \
	fi; \
	cd $(BUILD)/$$arch && ctest --output-on-failure -j$(JOBS) $(CTEST_ARGS)

# Builds the architecture this machine runs and starts the program in a Wine
# prefix of its own (tools/run.sh).
run: build-i686
	@arch=$$(bash tools/wineenv.sh arch); \
	if [ "$$arch" != i686 ]; then $(MAKE) --no-print-directory build-$$arch; fi; \
	bash tools/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)
FORCE:
