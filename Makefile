# The two commands of the README: `make run` and `make test`.
JOBS ?= $(shell nproc)
HOST := build/host
WIN := build/win32

.PHONY: run test deps host win32 win32-config fuzz bench dist clean
.NOTPARALLEL:

deps:
	@scripts/deps.sh

host: deps
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(HOST) -j $(JOBS)

win32: win32-config
	@cmake --build $(WIN) -j $(JOBS)

# Optimised for size: the program ships stripped, with the minimal debug
# information for backtraces (functions, lines) beside it in veltrane.exe.debug.
win32-config: deps
	@cmake -S . -B $(WIN) -DCMAKE_BUILD_TYPE=MinSizeRel "-DCMAKE_CXX_FLAGS_MINSIZEREL=-Os -g1 -DNDEBUG" \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null

fuzz: deps
	@cmake -S . -B build/fuzz -DVELTRANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
	@cmake --build build/fuzz -j $(JOBS)

# Benchmarks measure an optimised build without sanitizers.
bench: deps
	@cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DVELTRANE_SANITIZE=OFF >/dev/null
	@cmake --build build/bench -j $(JOBS) --target bench

# The installer, build/veltrane-setup.exe.
dist: win32-config
	@cmake --build $(WIN) -j $(JOBS) --target veltrane
	@makensis -V2 -DEXE=$(CURDIR)/$(WIN)/veltrane.exe -DHELP=$(CURDIR)/app/Veltrane.txt \
		-DICON=$(CURDIR)/main/res/veltrane.ico -DOUT=$(CURDIR)/build/veltrane-setup.exe installer/veltrane.nsi

# Only what it runs: the program, its installer, and the driver that
# waits for its window before a screenshot.
run: dist
	@cmake --build $(WIN) -j $(JOBS) --target vdriver
	@scripts/run.sh

test: host win32 dist fuzz bench
	@scripts/test.sh

clean:
	rm -rf build
