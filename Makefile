# make demo   the main job: an installer that updates the practice's sample
#             database on the embedded SQLite default
# make test   every test tier: unit, export table check, integration, windows
# make dist   the plug-in in its three flavors and the practice stand-ins
# make bench  the benchmarks
SHELL := /bin/bash
JOBS ?= 2
FLAVORS := x86-ansi x86-unicode amd64-unicode
arch = $(if $(filter amd64-%,$(1)),x86_64,i686)

.PHONY: all deps native flavors dist test demo bench clean $(FLAVORS)

all: dist

deps:
	@scripts/install-deps.sh

native: deps
	@cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build/native -j$(JOBS)

$(FLAVORS): deps
	@cmake -S . -B build/$@ -DTN_FLAVOR=$@ -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-$(call arch,$@).cmake >/dev/null
	@cmake --build build/$@ -j$(JOBS)

flavors: $(FLAVORS)

dist: native flavors
	@scripts/dist.sh

test: dist
	@scripts/test.sh

demo: dist
	@scripts/demo.sh

bench: native
	@scripts/bench.sh

clean:
	rm -rf build dist out
