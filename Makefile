# Morvane: the two commands a newcomer needs are `make demo` and `make check`.
# Every target first installs what it is missing (scripts/install-deps): the
# demo only a compiler, CMake, Ninja and Asio's headers; make check everything.

JOBS ?= 2
CMAKE_FLAGS ?=
CONFIGURE = cmake -S . -G Ninja -Wno-dev $(CMAKE_FLAGS)
# The test runs fail, rather than skip, when the capture fixtures are missing.
# Their builds keep line tables only (-g1): enough for every sanitizer's,
# valgrind's and a crash's stack with file and line, at two thirds of the
# compile time of full debug information.
TEST_CONFIGURE = $(CONFIGURE) -DMORVANE_REQUIRE_FIXTURES=ON -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"

PROFILES = demo native windows fuzz bench

.PHONY: all deps $(PROFILES:%=deps-%) native win32 check demo demo-irc dist bench fuzz soak \
        test-dist test-native test-asan test-tsan test-win32 test-fuzz clean

all: native

# Everything any target needs; deps-PROFILE what one kind of target needs.
deps:
	@scripts/install-deps

$(PROFILES:%=deps-%): deps-%:
	@scripts/install-deps $*

# The native module with the console host and the simulators beside it.
native: deps-native
	$(CONFIGURE) -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/native -j$(JOBS) --target Morvane morvane-host morvane-gamesim morvane-ini morvane-irc

# The Windows module (i686, stdcall) with the Windows console host and simulators.
win32: deps-windows
	$(CONFIGURE) -B build/win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
	cmake --build build/win32 -j$(JOBS) --target Morvane morvane-host morvane-gamesim morvane-ini morvane-irc

# The test runs' parallelism: the tests mostly wait (sockets, timers, paced
# replies), so ctest runs more of them at once than there are cores. Under
# Wine each test also keeps the wine server busy, and the worker's tests with
# 300 ms time-outs missed them with four at once on 2 cores: the Windows
# tests keep one per core (JOBS).
TEST_JOBS ?= 4
# A compile that runs beside tests (make check) gives way to them.
NICE =

# The steps of the test targets, shared by the targets below and make check.
define build-native
	$(TEST_CONFIGURE) -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
	$(NICE) cmake --build build/native -j$(JOBS)
endef
define run-native
	ctest --test-dir build/native -j$(TEST_JOBS) --output-on-failure
endef
define build-asan
	$(TEST_CONFIGURE) -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=address
	$(NICE) cmake --build build/asan -j$(JOBS)
endef
# The sanitizer runs leave out the checks against independent peers
# (gamedig, minecraft-protocol), which the sanitizers add nothing to, unless
# PEERS is set: make check runs them here, as it builds no plain native tree.
PEERS =
define run-asan
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build/asan -j$(TEST_JOBS) --output-on-failure $(if $(PEERS),,-LE peers)
endef
# ThreadSanitizer watches what runs on more than one thread: the tests whose
# code runs on one thread only are left out of this build (see
# tests/tests.cmake); ASan+UBSan (and test-native) run them.
define build-tsan
	$(TEST_CONFIGURE) -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=thread -DMORVANE_SINGLE_THREADED_TESTS=OFF
	$(NICE) cmake --build build/tsan -j$(JOBS)
endef
define run-tsan
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --test-dir build/tsan -j$(TEST_JOBS) --output-on-failure -LE peers
endef
WINDOWS_TEST = env JOBS=$(JOBS) CMAKE_FLAGS="$(CMAKE_FLAGS) -DMORVANE_REQUIRE_FIXTURES=ON" scripts/test-windows

test-native: deps-native
	$(build-native)
	$(run-native)

test-asan: deps-native
	$(build-asan)
	$(run-asan)

test-tsan: deps-native
	$(build-tsan)
	$(run-tsan)

# The Windows tests under Wine: the i686 build's own, or, on a machine that runs
# no 32-bit programs, the x86_64 build's (see scripts/test-windows).
test-win32: deps-windows
	$(WINDOWS_TEST) -j$(JOBS) --output-on-failure

# Each fuzz target over its seeds and regression cases, then a few seconds each.
test-fuzz: deps-fuzz
	scripts/fuzz --smoke

# Everything built, every test passed: ASan+UBSan (every test, the checks
# against the peers too), TSan, Win32 under Wine, the Windows release zip run
# under Wine, and the fuzz targets' smoke run. A plain native tree would run
# the same tests again without the sanitizers, and its build would add a
# fifth of the time: make check leaves it to test-native. (The optimised
# product is tested as the Windows build.)
#
# The builds use the cores and the tests mostly wait, so each build's tests
# run while the next build compiles (at a lower priority, so that the tests'
# timing is theirs): one compile and one test run at a time, the compiles in
# the order below and the test runs in the same order. Each step's output is
# shown whole when it ends (make -O). The last compile, the fuzz targets',
# runs beside the Windows tests; the release zip's run and the fuzz smoke run
# go side by side at the end.
CHECK_STEPS = check-build-asan check-build-tsan check-build-windows check-build-fuzz \
  check-run-asan check-run-tsan check-run-windows check-run-dist check-run-fuzz

.PHONY: $(CHECK_STEPS)

check: deps
	$(MAKE) --no-print-directory -j2 -Otarget $(CHECK_STEPS)
	@echo "make check: all test runs passed"

$(filter check-build-%,$(CHECK_STEPS)) check-run-fuzz: private NICE = nice -n 19

check-build-asan:
	$(build-asan)
check-build-tsan: check-build-asan
	$(build-tsan)
check-build-windows: check-build-tsan
	$(NICE) $(WINDOWS_TEST) --build-only
check-build-fuzz: check-build-windows
	$(NICE) scripts/fuzz --build-only

check-run-asan: private PEERS = 1
check-run-asan: check-build-asan
	$(run-asan)
check-run-tsan: check-build-tsan check-run-asan
	$(run-tsan)
check-run-windows: check-build-windows check-run-tsan
	$(WINDOWS_TEST) -j$(JOBS) --output-on-failure
check-run-dist: check-run-windows
	scripts/dist build/win32
	JOBS=$(JOBS) scripts/dist-test
check-run-fuzz: check-build-fuzz check-run-windows
	$(NICE) scripts/fuzz --smoke

# Only what the demo runs: the module, the console host and the simulators,
# in a build folder of their own without the tests.
demo: deps-demo
	$(CONFIGURE) -B build/demo -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF
	cmake --build build/demo -j$(JOBS) --target Morvane morvane-host morvane-gamesim
	scripts/demo build/demo

# A short real IRC session: ngircd, the simulators, morvane-irc and a scripted
# client, whose transcript it prints.
demo-irc: native
	scripts/demo-irc

# The Windows release zip, build/dist/morvane-<version>-win32.zip.
dist: win32
	scripts/dist build/win32

# The zip unpacked and run under Wine: simulators, host, plug-in, settings.
test-dist: dist
	JOBS=$(JOBS) scripts/dist-test

bench: deps-bench
	$(CONFIGURE) -B build/bench -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF -DMORVANE_BENCH=ON
	cmake --build build/bench -j$(JOBS)
	scripts/bench build/bench
	scripts/bench-e2e build/bench

fuzz: deps-fuzz
	scripts/fuzz

# The long soak: 20000 requests natively, then 2000 under valgrind's memcheck.
soak: deps-native
	$(CONFIGURE) -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build/native -j$(JOBS) --target soak_test
	MORVANE_SOAK_REQUESTS=$${SOAK_REQUESTS:-20000} build/native/soak_test
	MORVANE_SOAK_REQUESTS=$${SOAK_VALGRIND_REQUESTS:-2000} MORVANE_SOAK_MEMORY_CHECK=0 valgrind --error-exitcode=1 --leak-check=full \
	  --errors-for-leak-kinds=definite,indirect build/native/soak_test

clean:
	rm -rf build
