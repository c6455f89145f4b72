# The README's commands. Each one installs what is missing and builds what it needs first.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
BENCH ?= OFF

.PHONY: deps configure build shipped run demo test bench install deb format

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
		-DPRESSWICK_BENCH=$(BENCH) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Only the installed programs: what `make run`, `make install` and the package need.
shipped: configure
	@cmake --build $(BUILD) -j$(JOBS) --target shipped

run: shipped
	@scripts/run.sh

demo: shipped
	@scripts/run.sh --sandbox

test: build
	@scripts/test.sh

bench:
	@$(MAKE) --no-print-directory build BENCH=ON
	@scripts/bench.sh

install: shipped
	@cmake --install $(BUILD) --prefix $(PREFIX)

# presswick_<version>_amd64.deb in this directory, built from $(BUILD) (only the shipped programs).
deb: deps
	@scripts/deb.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i
