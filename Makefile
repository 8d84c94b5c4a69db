# The README's two commands: "make run" and "make test". Both install what is
# missing first, configure with CMake + Ninja and build.

SANITIZE ?= 0
# Warnings are errors in the everyday build as in CI (WERROR=0 turns that
# off): one compiler line for both, so the compiler cache serves both.
WERROR ?= 1
JOBS ?= 2
FUZZ_SECONDS ?= 45
CMAKE_FLAGS ?=

ifeq ($(SANITIZE),1)
BUILD_DIR ?= build-asan
CMAKE_FLAGS += -DDPU_SANITIZE=ON -DDPU_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
TEST_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0 \
           LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
else
BUILD_DIR ?= build
CMAKE_FLAGS += -DCMAKE_BUILD_TYPE=RelWithDebInfo
TEST_ENV =
endif

# WERROR=1 turns every compiler warning into an error. The option is passed
# on each configure so an existing build folder follows it.
ifeq ($(WERROR),1)
CMAKE_FLAGS += -DDPU_WERROR=ON
else
CMAKE_FLAGS += -DDPU_WERROR=OFF
endif

.PHONY: all deps configure build test run bench fuzz valgrind assets package package-test windows windows-test windows-zip windows-installer qt-mingw format-check clean

all: build

deps:
	@scripts/setup-deps.sh

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS); \
	elif ! grep -q "^DPU_WERROR:BOOL=$(if $(filter 1,$(WERROR)),ON,OFF)$$" $(BUILD_DIR)/CMakeCache.txt; then \
	  cmake $(BUILD_DIR) $(CMAKE_FLAGS); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && env QT_QPA_PLATFORM=offscreen $(TEST_ENV) \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

run: build
	@scripts/run.sh $(BUILD_DIR)

bench: build
	@scripts/bench.sh $(BUILD_DIR)

fuzz: deps
	@scripts/fuzz.sh build-fuzz $(FUZZ_SECONDS)

# make-rom under memcheck over the whole BMP suite.
valgrind: build
	@scripts/valgrind-corpus.sh $(BUILD_DIR)

# The editor and the tool as static Windows programs (build-winapp/bin), with
# the MinGW Qt below (built on first use, reused afterwards).
windows: deps
	@JOBS=$(JOBS) scripts/windows-build.sh build-winapp

# The Windows build with its tests (build-wintest) run under Wine, then the
# end-to-end scripts of the tool and the editor.
windows-test: deps
	@JOBS=$(JOBS) WERROR=$(WERROR) scripts/windows-test.sh build-wintest

# The Windows programs and their files in one zip that runs from any folder:
# WIN_BUILD_DIR/dpu510tk3-VERSION-windows-x64.zip.
WIN_BUILD_DIR ?= build-winapp
windows-zip: deps
	@JOBS=$(JOBS) scripts/windows-zip.sh $(WIN_BUILD_DIR)

# The same files in an installer that needs no administrator:
# WIN_BUILD_DIR/dpu510tk3-VERSION-windows-x64-setup.exe.
windows-installer: deps
	@JOBS=$(JOBS) scripts/windows-installer.sh $(WIN_BUILD_DIR)

# A static Qt for MinGW-w64, built from Debian's qt6-base source outside the
# repository (~/.cache/dpu510tk3) and reused while its configuration holds.
qt-mingw: deps
	@JOBS=$(JOBS) scripts/build-qt-mingw.sh

assets: build
	@scripts/make-assets.sh $(BUILD_DIR)

# The Debian packages from debian/ (build-deb/dpu510tk3*_VERSION_*.deb),
# built by dpkg-buildpackage from a copy of the tracked files in
# build-deb/src; it installs only the missing Build-Depends. The version is
# debian/changelog's newest entry (DPU_VERSION=x.y only checks that it is).
# Then its checks, which compare it with the everyday build.
PKG_BUILD_DIR ?= build-deb
DPU_VERSION ?=
package:
	@JOBS=$(JOBS) WERROR=$(WERROR) scripts/package-build.sh $(PKG_BUILD_DIR) $(DPU_VERSION)

package-test: build package
	@scripts/package-test.sh $(BUILD_DIR) $(PKG_BUILD_DIR)

# Reports every tracked .cpp/.h that clang-format would change; changes nothing.
format-check: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

clean:
	rm -rf build build-asan build-fuzz build-win build-deb
